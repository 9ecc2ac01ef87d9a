// Dice written as digit strings, so cases read like the rules they pin down.
#pragma once

#include <string_view>

#include "concepts/QuintorConcepts.h"

namespace quintor::test {

inline ValueList List(std::string_view digits) {
    ValueList l;
    for (char c : digits) l.val[l.siz++] = DieValue(c - '0');
    return l;
}

inline ValueBagRank Bag(std::string_view digits) {
    ValueBag b;
    for (char c : digits) ++b.cnt[std::size_t(c - '1')];
    return RankFromValueBag(b);
}

}  // namespace quintor::test
