// MT19937 with its 1998 seeding (linear congruential multiplier 69069). A library engine seeded
// with the same number gives other numbers, hence this own implementation.
#pragma once

#include <cstdint>

namespace quintor {

void SeedGenerator(std::uint32_t seed);
std::uint32_t NextRandom();        // seeds with 4357 when never seeded
void RandomizeGenerator();         // seed := milliseconds since midnight UTC
std::uint32_t ClockSeed();         // that seed, without seeding
int RandomDie();                   // 1..6
int RandomBelow(int n);            // 0..n-1; RangeError for n < 1

}  // namespace quintor
