// Helpers shared by the play tests.
#pragma once

#include <unistd.h>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"

namespace quintor {

// The complete optimal table, computed once per test program on first use.
inline void UseCompleteOptimalTable() {
    [[maybe_unused]] static const bool done = [] {
        const auto dir = std::filesystem::temp_directory_path() / ("quintor-play-tests-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        CreateOptimalTable(dir.string(), 2);
        return std::filesystem::remove_all(dir) > 0;
    }();
}

inline ValueBagRank Bag(std::initializer_list<int> values) {
    ValueBag b;
    for (int v : values) AddToBag(b, v, 1);
    return RankFromValueBag(b);
}

}  // namespace quintor
