// Helpers shared by the play tests.
#pragma once

#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

namespace quintor {

// The complete optimal table, computed once per test program on first use.
void UseCompleteOptimalTable();

inline ValueBagRank Bag(std::initializer_list<int> values) {
    ValueBag b;
    for (int v : values) AddToBag(b, v, 1);
    return RankFromValueBag(b);
}

inline std::vector<int> Values(const ValueList& l) {
    return std::vector<int>(l.val.begin(), l.val.begin() + l.siz);
}
inline std::vector<int> Values(ValueListRank r) { return Values(ValueListTbl[r].list); }

// Feeds scripted console input and collects the output; restores the standard streams after.
struct ScriptedConsole {
    std::istringstream in;
    std::ostringstream out;
    explicit ScriptedConsole(const std::string& text) : in(text) {
        SetConsole(&in, &out);
        ClearLookAhead();
    }
    ~ScriptedConsole() {
        SetConsole(&std::cin, &std::cout);
        ClearLookAhead();
    }
};

}  // namespace quintor
