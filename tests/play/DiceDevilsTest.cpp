#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include "PlayTestSupport.h"
#include "play/DiceDevils.h"
#include "play/PseudoRandomGenerator.h"

namespace quintor {
namespace {

TurnState Kept(std::initializer_list<int> values, int rollsLeft) { return {std::uint8_t(rollsLeft), ToRoll, Bag(values)}; }
Event Roll(DiceDevilState* devil, const TurnState& ts, const GameState& gs = InitialGameState) {
    Event e{Scoring, Chance, 77};
    RollDice(devil, gs, ts, e);
    EXPECT_TRUE(e.aspect == Rolling && e.category == Chance);   // the category is left as it was
    return e;
}
std::string Dice(DiceDevilState* d, const TurnState& ts) { return ValueListToString(ValueListTbl[Roll(d, ts).arg].list, false); }

struct Console {   // reads in and writes out while it lives
    Console(std::istream& in, std::ostream& out) { SetConsole(&in, &out), ClearLookAhead(); }
    ~Console() { SetConsole(&std::cin, &std::cout), ClearLookAhead(); }
};

TEST(DiceDevils, EachSourceRollsTheDiceNotKept) {
    std::istringstream in;   // the console of the user source
    std::ostringstream out;
    for (DiceDevilState* devil : DiceDevil) {   // nothing to roll: no prompt, no draw, no step of the special dice
        Console console(in, out);
        SeedGenerator(4357);
        EXPECT_EQ(Roll(devil, Kept({1, 2, 3, 4, 5}, 2)).arg, 0) << devil->Name;
        EXPECT_EQ(NextRandom(), 2867219139u) << devil->Name;   // still the first output
    }
    EXPECT_EQ(out.str(), "");
    SpecialDice()->Cycle = 4;
    ResetDiceDevil(SpecialDice());   // counts on across rolls, from 1 again
    EXPECT_EQ(Dice(SpecialDice(), InitialTurnState), "12345");
    EXPECT_EQ(Dice(SpecialDice(), Kept({4, 4, 4}, 2)), "61");
    ResetDiceDevil(StuckAtDice());
    EXPECT_EQ(Dice(StuckAtDice(), Kept({1, 3}, 1)), "666");
    SeedGenerator(4357);
    EXPECT_EQ(Dice(FairDice(), InitialTurnState), "53554");
    EXPECT_EQ(Dice(FairDice(), Kept({1, 1}, 2)), "526");
    // One draw per roll: per list from the size's first list rank, per bag from its first bag.
    for (auto [bags, kept, first, count] : {std::tuple{false, Kept({}, 3), 1555, 7776},
                                            std::tuple{false, Kept({6, 6, 6}, 1), 7, 36}, std::tuple{true, Kept({}, 3), 210, 252},
                                            std::tuple{true, Kept({5, 5}, 2), 28, 56}}) {
        SeedGenerator(77);
        const int draw = RandomBelow(count);
        SeedGenerator(77);
        EXPECT_EQ(Roll(bags ? PerBagDice() : PerListDice(), kept).arg, bags ? ValueBagTbl[first + draw].vlr : first + draw);
    }
    // The user source asks until exactly the missing dice are typed, saying what was wrong with a
    // roll of too few or too many; the end of input ends it.
    in.str("1 2 3\n1 2 7 3 4\n6 5 4 3 2 1\n6,5_4 3 2\n3 4\n3;\n4 4\n");
    {
        Console console(in, out);
        EXPECT_EQ(Dice(UserDice(), InitialTurnState), "65432");
        EXPECT_EQ(Dice(UserDice(), Kept({2, 2, 2, 2}, 2)), "3");
        EXPECT_THROW(Roll(UserDice(), InitialTurnState), EndOfInput);
    }
    const std::string five = "Enter dice roll of 5 dice: ";
    const std::string one = "Enter dice roll of 1 dice: ";
    EXPECT_EQ(out.str(), five + "5 dice values expected, not 3\n" + five + "Dice value 1..6 expected, not '7'\n" + five +
                             "Too many dice values\n" + five + one + "1 die value expected, not 2\n" + one + five +
                             "5 dice values expected, not 2\n" + five);

    // Demon and angel pick the first worst and the first best roll for the optimal player, values
    // that tie (TieTolerance) counting as equal.
    UseCompleteOptimalTable();
    const auto after = [](const GameState& g, TurnState t, ValueListRank roll) {
        ApplyTurnEvent(t, Event{Rolling, 0, roll});
        return OptimalTurnValue(g, t);
    };
    GameState late;
    MakeGameState(late, (1u << Sixes) | (1u << QuintorCat), 12, false);
    for (auto [g, ts] : {std::pair{InitialGameState, InitialTurnState}, std::pair{late, Kept({6, 6}, 1)}}) {
        const Event demon = Roll(DemonDice(), ts, g), angel = Roll(AngelDice(), ts, g);
        EXPECT_EQ(Roll(DemonDice(), ts, g).arg, demon.arg);   // the same in every game
        const ValueBagRange bags = ValueBagRanks[NDice - ValueBagTbl[ts.dice].siz];
        std::vector<double> v;   // the value of each roll, in bag order: the first extreme wins among equals
        for (int r = bags.firstvbr; r <= bags.lastvbr; ++r) v.push_back(after(g, ts, ValueBagTbl[r].vlr));
        const double lo = *std::min_element(v.begin(), v.end()), hi = *std::max_element(v.begin(), v.end());
        EXPECT_LT(lo, hi);
        const auto low = std::find_if(v.begin(), v.end(), [lo](double x) { return TiesWithBest(-x, -lo); });
        const auto high = std::find_if(v.begin(), v.end(), [hi](double x) { return TiesWithBest(x, hi); });
        EXPECT_EQ(demon.arg, ValueBagTbl[bags.firstvbr + (low - v.begin())].vlr);
        EXPECT_EQ(angel.arg, ValueBagTbl[bags.firstvbr + (high - v.begin())].vlr);
    }
}

// Rolls worth the same in exact arithmetic whose computed values differ in their last bits: the
// demon and the angel take the first of them, not the one with the smaller or larger bits.
TEST(DiceDevils, DemonAndAngelTakeTheFirstOfRollsTiedButForTheLastBits) {
    UseCompleteOptimalTable();
    int seen = 0;
    for (unsigned free = 1; free < 8192; free += 37) {
        GameState g;
        MakeGameState(g, CategorySet(free), int(free % 64), false);
        for (int k = 0; k < NValueBag5Ranks; ++k) {
            const int kept = ValueBagTbl[k].siz;
            if (kept == NDice) continue;
            for (int l = 1; l <= (k == 0 ? 3 : 2); ++l) {
                const TurnState ts{std::uint8_t(l), ToRoll, ValueBagRank(k)};
                const ValueBagRange bags = ValueBagRanks[NDice - kept];
                std::vector<double> v;
                for (int r = bags.firstvbr; r <= bags.lastvbr; ++r) {
                    TurnState t = ts;
                    ApplyTurnEvent(t, Event{Rolling, 0, ValueBagTbl[r].vlr});
                    v.push_back(OptimalTurnValue(g, t));
                }
                const auto low = std::min_element(v.begin(), v.end()), high = std::max_element(v.begin(), v.end());
                const auto firstLow = std::find_if(v.begin(), v.end(), [&](double x) { return TiesWithBest(-x, -*low); });
                const auto firstHigh = std::find_if(v.begin(), v.end(), [&](double x) { return TiesWithBest(x, *high); });
                if (firstLow == low && firstHigh == high) continue;
                ++seen;
                EXPECT_EQ(Roll(DemonDice(), ts, g).arg, ValueBagTbl[bags.firstvbr + (firstLow - v.begin())].vlr);
                EXPECT_EQ(Roll(AngelDice(), ts, g).arg, ValueBagTbl[bags.firstvbr + (firstHigh - v.begin())].vlr);
            }
        }
    }
    EXPECT_GT(seen, 0) << "no roll tied but for its last bits";
}

}  // namespace
}  // namespace quintor
