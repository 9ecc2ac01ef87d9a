// Runs without the module start-up, so the generator is still unseeded at the first test.
#include <gtest/gtest.h>

#include <vector>

#include "core/GeneralStuff.h"
#include "play/PseudoRandomGenerator.h"

namespace quintor {
namespace {

// Must stay the only test of this program: it relies on the generator never having been seeded.
TEST(PseudoRandomGenerator, KnownOutputsAlsoWhenNeverSeededAndRandomBelow) {
    const auto Outputs = [](int n) { std::vector<std::uint32_t> v; while (n-- > 0) v.push_back(NextRandom()); return v; };
    const std::vector<std::uint32_t> unseeded = Outputs(700);   // past one regeneration
    EXPECT_EQ(std::vector<std::uint32_t>(unseeded.begin(), unseeded.begin() + 5),
              (std::vector<std::uint32_t>{2867219139u, 1585203162u, 3113124129u, 2953900839u, 2463794868u}));
    SeedGenerator(4357);
    EXPECT_EQ(Outputs(700), unseeded);
    SeedGenerator(4357);
    for (int die : {5, 3, 5, 5, 4}) EXPECT_EQ(RandomDie(), die);
    SeedGenerator(0);   // the seed at midnight must not leave the generator stuck at zero
    const std::vector<std::uint32_t> zero = Outputs(5);
    SeedGenerator(1);
    EXPECT_TRUE(zero != std::vector<std::uint32_t>(5, 0u) && Outputs(5) != zero);
    EXPECT_LE(ClockSeed(), 86399999u);
    // RandomBelow divides by the largest quotient that fits (no rejection in this stretch).
    for (auto [n, divisor] : {std::pair{252, 17043521u}, std::pair{7776, 552336u}, std::pair{6, 715827882u}}) {
        SeedGenerator(4357);
        for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(RandomBelow(n), int(unseeded[i] / divisor)) << n;
    }
    EXPECT_THROW(RandomBelow(0), RangeError);
}

}  // namespace
}  // namespace quintor
