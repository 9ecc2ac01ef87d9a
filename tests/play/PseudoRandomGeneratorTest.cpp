// Runs without the module start-up, so the generator is still unseeded at the first test.
#include <gtest/gtest.h>

#include <vector>

#include "core/GeneralStuff.h"
#include "play/PseudoRandomGenerator.h"

namespace quintor {
namespace {

std::vector<std::uint32_t> Outputs(int n) {
    std::vector<std::uint32_t> v;
    for (int i = 0; i < n; ++i) v.push_back(NextRandom());
    return v;
}

// Must stay the first test of this program: it relies on the generator never having been seeded.
TEST(PseudoRandomGenerator, KnownOutputsAlsoWhenNeverSeeded) {
    const std::vector<std::uint32_t> unseeded = Outputs(700);   // past one regeneration
    EXPECT_EQ(std::vector<std::uint32_t>(unseeded.begin(), unseeded.begin() + 5),
              (std::vector<std::uint32_t>{2867219139u, 1585203162u, 3113124129u, 2953900839u,
                                          2463794868u}));
    SeedGenerator(4357);
    EXPECT_EQ(Outputs(700), unseeded);

    SeedGenerator(4357);
    std::vector<int> dice;
    for (int i = 0; i < 10; ++i) dice.push_back(RandomDie());
    EXPECT_EQ(dice, (std::vector<int>{5, 3, 5, 5, 4, 5, 2, 6, 1, 6}));

    SeedGenerator(0);   // the seed at midnight
    const std::vector<std::uint32_t> zero = Outputs(5);
    EXPECT_NE(zero, std::vector<std::uint32_t>(5, 0u));
    SeedGenerator(1);
    EXPECT_NE(Outputs(5), zero);
    EXPECT_LE(ClockSeed(), 86399999u);
}

TEST(PseudoRandomGenerator, RandomBelowDividesByTheLargestFittingQuotient) {
    SeedGenerator(4357);
    const std::vector<std::uint32_t> raw = Outputs(40);
    for (auto [n, divisor] : {std::pair{252, 17043521u}, std::pair{7776, 552336u}, std::pair{6, 715827882u}}) {
        SeedGenerator(4357);
        for (std::uint32_t r : raw) {
            ASSERT_LT(r / divisor, static_cast<std::uint32_t>(n));   // no rejection in this stretch
            EXPECT_EQ(RandomBelow(n), static_cast<int>(r / divisor)) << "n = " << n;
        }
    }
    for (int i = 0; i < 50; ++i) EXPECT_EQ(RandomBelow(1), 0);
    EXPECT_THROW(RandomBelow(0), RangeError);
    EXPECT_THROW(RandomBelow(-3), RangeError);
}

}  // namespace
}  // namespace quintor
