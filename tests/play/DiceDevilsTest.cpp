#include <gtest/gtest.h>

#include <algorithm>

#include "PlayTestSupport.h"
#include "engine/QuintorStrategies.h"
#include "play/DiceDevils.h"
#include "play/PseudoRandomGenerator.h"

namespace quintor {
namespace {

TurnState Kept(std::initializer_list<int> values, int rollsLeft) {
    return TurnState{static_cast<std::uint8_t>(rollsLeft), ToRoll, Bag(values)};
}

std::vector<int> Roll(DiceDevilState* devil, const TurnState& ts, const GameState& gs = InitialGameState) {
    Event e;
    RollDice(devil, gs, ts, e);
    EXPECT_EQ(e.aspect, Rolling);
    return Values(e.arg);
}

TEST(DiceDevils, SourcesInKindOrderAndTheirWords) {
    const char* names[] = {"User", "PRNG (per dice)", "PRNG (per list)", "PRNG (per bag)",
                           "Demon for Zelk", "Angel for Zelk", "Special dice", "Stuck-at dice"};
    for (int k = 0; k < NDiceDevilKinds; ++k) {
        ASSERT_NE(DiceDevil[k], nullptr);
        EXPECT_EQ(DiceDevil[k]->Name, names[k]);
        EXPECT_EQ(DiceDevil[k]->Kind, k);
        DiceDevilKind kind = dkUser;
        EXPECT_TRUE(DiceDevilKindFromWord(DiceDevilWord(static_cast<DiceDevilKind>(k)), kind));
        EXPECT_EQ(kind, k);
    }
    DiceDevilKind kind = dkAngel;
    EXPECT_FALSE(DiceDevilKindFromWord("Fair", kind));
    EXPECT_EQ(kind, dkAngel);
}

TEST(DiceDevils, NothingToRollConsumesNothing) {
    ResetDiceDevil(SpecialDice());
    ScriptedConsole console("");   // the user source must not even prompt
    for (int k = 0; k < NDiceDevilKinds; ++k) {
        SeedGenerator(99);
        const std::uint32_t next = NextRandom();
        SeedGenerator(99);
        Event e;
        e.category = Chance;
        e.arg = 77;
        RollDice(DiceDevil[k], InitialGameState, Kept({1, 2, 3, 4, 5}, 2), e);
        EXPECT_EQ(e.aspect, Rolling);
        EXPECT_EQ(e.category, Chance) << k;   // left as it was
        EXPECT_EQ(e.arg, 0) << k;
        EXPECT_EQ(NextRandom(), next) << k;
    }
    EXPECT_EQ(console.out.str(), "");
    EXPECT_EQ(SpecialDice()->Cycle, 1);
}

TEST(DiceDevils, FixedAndRandomSourcesRollAsDescribed) {
    DiceDevilState* special = SpecialDice();
    special->Cycle = 4;
    ResetDiceDevil(special);
    EXPECT_EQ(Roll(special, InitialTurnState), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Roll(special, Kept({4, 4, 4}, 2)), (std::vector<int>{6, 1}));
    EXPECT_EQ(Roll(special, Kept({4}, 1)), (std::vector<int>{2, 3, 4, 5}));
    ResetDiceDevil(StuckAtDice());
    EXPECT_EQ(Roll(StuckAtDice(), InitialTurnState), std::vector<int>(5, 6));
    EXPECT_EQ(Roll(StuckAtDice(), Kept({1, 3}, 1)), std::vector<int>(3, 6));

    SeedGenerator(4357);
    EXPECT_EQ(Roll(FairDice(), InitialTurnState), (std::vector<int>{5, 3, 5, 5, 4}));
    EXPECT_EQ(Roll(FairDice(), Kept({1, 1}, 2)), (std::vector<int>{5, 2, 6}));
    // One draw per roll: per list from the size's first list rank, per bag from its first bag.
    for (auto [kept, first, count] : {std::tuple{Kept({}, 3), 1555, 7776}, std::tuple{Kept({6, 6, 6}, 1), 7, 36}}) {
        SeedGenerator(77);
        const int draw = RandomBelow(count);
        SeedGenerator(77);
        Event e;
        RollDice(PerListDice(), InitialGameState, kept, e);
        EXPECT_EQ(e.arg, first + draw);
    }
    for (auto [kept, first, count] : {std::tuple{Kept({}, 3), 210, 252}, std::tuple{Kept({5, 5}, 2), 28, 56}}) {
        SeedGenerator(1234);
        const int draw = RandomBelow(count);
        SeedGenerator(1234);
        Event e;
        RollDice(PerBagDice(), InitialGameState, kept, e);
        EXPECT_EQ(e.arg, ValueBagTbl[first + draw].vlr);   // ascending values
    }
}

TEST(DiceDevils, UserSourceAsksUntilExactlyTheMissingDiceAreTyped) {
    {
        ScriptedConsole console("1 2 3\n1 2 7 3 4\n6 5 4 3 2 1\n6,5_4 3 2\n");
        EXPECT_EQ(Roll(UserDice(), InitialTurnState), (std::vector<int>{6, 5, 4, 3, 2}));
        const std::string out = console.out.str();
        int prompts = 0;
        for (std::size_t p = out.find("Enter dice roll of 5 dice: "); p != std::string::npos;
             p = out.find("Enter dice roll of 5 dice: ", p + 1))
            ++prompts;
        EXPECT_EQ(prompts, 4);
    }
    {
        ScriptedConsole console("3;\n");
        EXPECT_EQ(Roll(UserDice(), Kept({2, 2, 2, 2}, 2)), (std::vector<int>{3}));
        EXPECT_EQ(console.out.str(), "Enter dice roll of 1 dice: ");
    }
    ScriptedConsole console("4 4\n");   // too few, then the input ends
    Event e;
    EXPECT_THROW(RollDice(UserDice(), InitialGameState, InitialTurnState, e), EndOfInput);
}

TEST(DiceDevils, ApplyTurnEventCompletesAndKeeps) {
    TurnState ts = Kept({2, 2, 2}, 2);
    ValueList roll;
    ExtendValueList(roll, 6, 1);
    ExtendValueList(roll, 5, 1);
    Event e;
    MakeRollingEvent(e, RankFromValueList(roll));
    ApplyTurnEvent(ts, e);
    EXPECT_EQ(ts.dice, Bag({2, 2, 2, 5, 6}));
    EXPECT_EQ(ts.phase, ToChoose);
    EXPECT_EQ(ts.rollsLeft, 1);

    Event keep;
    keep.aspect = Keeping;
    keep.arg = ts.dice;   // all five, then a roll of none still uses up a roll
    ApplyTurnEvent(ts, keep);
    EXPECT_EQ(ts.phase, ToRoll);
    MakeRollingEvent(e, 0);
    ApplyTurnEvent(ts, e);
    EXPECT_EQ(ts.dice, Bag({2, 2, 2, 5, 6}));
    EXPECT_EQ(ts.rollsLeft, 0);

    TurnState none{0, ToRoll, Bag({1})};
    EXPECT_THROW(ApplyTurnEvent(none, e), CheckFailure);
    TurnState wrongSize = Kept({1}, 2);
    EXPECT_THROW(ApplyTurnEvent(wrongSize, e), RangeError);
    TurnState table{1, ToChoose, Bag({1, 1, 1, 1, 1})};
    keep.arg = Bag({2});
    EXPECT_THROW(ApplyTurnEvent(table, keep), RangeError);
    EXPECT_EQ(table.phase, ToChoose);
}

double ValueAfter(const GameState& g, TurnState t, ValueListRank roll) {
    Event e;
    MakeRollingEvent(e, roll);
    ApplyTurnEvent(t, e);
    return OptimalTurnValue(g, t);
}

TEST(DiceDevils, DemonAndAngelPickTheFirstExtremeRoll) {
    UseCompleteOptimalTable();
    GameState late;
    MakeGameState(late, (1u << Sixes) | (1u << QuintorCat), 12, false);
    for (auto [g, ts] : {std::pair{InitialGameState, InitialTurnState}, std::pair{late, Kept({6, 6}, 1)}}) {
        Event demon, angel, again;
        RollDice(DemonDice(), g, ts, demon);
        RollDice(AngelDice(), g, ts, angel);
        RollDice(DemonDice(), g, ts, again);
        EXPECT_EQ(again.arg, demon.arg);   // the same in every game
        const int n = NDice - ValueBagTbl[ts.dice].siz;
        const double low = ValueAfter(g, ts, demon.arg);
        const double high = ValueAfter(g, ts, angel.arg);
        int firstLow = -1, firstHigh = -1;
        for (int r = ValueBagRanks[n].firstvbr; r <= ValueBagRanks[n].lastvbr; ++r) {
            const double v = ValueAfter(g, ts, ValueBagTbl[r].vlr);
            EXPECT_GE(v, low);
            EXPECT_LE(v, high);
            if (v == low && firstLow < 0) firstLow = r;
            if (v == high && firstHigh < 0) firstHigh = r;
        }
        ASSERT_GE(firstLow, 0);
        ASSERT_GE(firstHigh, 0);
        EXPECT_EQ(demon.arg, ValueBagTbl[firstLow].vlr);
        EXPECT_EQ(angel.arg, ValueBagTbl[firstHigh].vlr);
        EXPECT_LT(low, high);
    }
}

}  // namespace
}  // namespace quintor
