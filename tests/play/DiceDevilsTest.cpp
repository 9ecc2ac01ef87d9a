#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <vector>

#include "PlayTables.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/DiceDevils.h"
#include "play/PseudoRandomGenerator.h"

namespace quintor {
namespace {

std::vector<int> Values(ValueListRank r) {
    const ValueList& l = ValueListTbl[r].list;
    return std::vector<int>(l.val.begin(), l.val.begin() + l.siz);
}

ValueBagRank Bag(std::initializer_list<int> values) {
    ValueBag b;
    for (int v : values) AddToBag(b, v, 1);
    return RankFromValueBag(b);
}

TurnState Kept(std::initializer_list<int> values, int rollsLeft) {
    return TurnState{static_cast<std::uint8_t>(rollsLeft), ToRoll, Bag(values)};
}

// Feeds scripted console input and collects the prompts; restores the standard streams after.
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

int Count(const std::string& s, const std::string& what) {
    int n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

TEST(DiceDevils, TheEightSourcesInKindOrder) {
    const std::vector<std::string> names = {"User", "PRNG (per dice)", "PRNG (per list)",
                                            "PRNG (per bag)", "Demon for Zelk", "Angel for Zelk",
                                            "Special dice", "Stuck-at dice"};
    for (int k = 0; k < NDiceDevilKinds; ++k) {
        ASSERT_NE(DiceDevil[k], nullptr);
        EXPECT_EQ(DiceDevil[k]->Name, names[k]);
        EXPECT_EQ(DiceDevil[k]->Kind, k);
        DiceDevilKind kind = dkUser;
        EXPECT_TRUE(DiceDevilKindFromWord(DiceDevilWord(static_cast<DiceDevilKind>(k)), kind));
        EXPECT_EQ(kind, k);
    }
    EXPECT_EQ(FairDice(), DiceDevil[dkPerDice]);
    EXPECT_EQ(DemonDice()->Kind, dkDemon);
    DiceDevilKind kind = dkAngel;
    EXPECT_FALSE(DiceDevilKindFromWord("Fair", kind));
    EXPECT_FALSE(DiceDevilKindFromWord("", kind));
    EXPECT_EQ(kind, dkAngel);

    DiceDevilState* again = SpecialDice();
    CreateDiceDevil(again, "Special dice", dkSpecial);   // reuses the record
    EXPECT_EQ(again, SpecialDice());
}

TEST(DiceDevils, NothingToRollConsumesNothing) {
    const TurnState allKept = Kept({1, 2, 3, 4, 5}, 2);
    ResetDiceDevil(SpecialDice());
    ScriptedConsole console("");   // the user source must not even prompt
    for (int k = 0; k < NDiceDevilKinds; ++k) {
        SeedGenerator(99);
        const std::uint32_t expected = NextRandom();
        SeedGenerator(99);
        Event e;
        e.aspect = Scoring;
        e.category = Chance;
        e.arg = 77;
        RollDice(DiceDevil[k], InitialGameState, allKept, e);
        EXPECT_EQ(e.aspect, Rolling) << k;
        EXPECT_EQ(e.category, Chance) << k;   // left as it was
        EXPECT_EQ(e.arg, 0) << k;
        EXPECT_EQ(NextRandom(), expected) << k;
    }
    EXPECT_EQ(console.out.str(), "");
    EXPECT_EQ(SpecialDice()->Cycle, 1);
}

TEST(DiceDevils, SpecialAndStuckAtDiceFollowTheirPatterns) {
    DiceDevilState* special = SpecialDice();
    special->Cycle = 4;
    ResetDiceDevil(special);
    Event e;
    RollDice(special, InitialGameState, InitialTurnState, e);
    EXPECT_EQ(Values(e.arg), (std::vector<int>{1, 2, 3, 4, 5}));
    RollDice(special, InitialGameState, Kept({4, 4, 4}, 2), e);
    EXPECT_EQ(Values(e.arg), (std::vector<int>{6, 1}));
    RollDice(special, InitialGameState, Kept({4}, 1), e);
    EXPECT_EQ(Values(e.arg), (std::vector<int>{2, 3, 4, 5}));
    ResetDiceDevil(special);
    RollDice(special, InitialGameState, Kept({2, 2, 2, 2}, 1), e);
    EXPECT_EQ(Values(e.arg), (std::vector<int>{1}));

    DiceDevilState* stuck = StuckAtDice();
    ResetDiceDevil(stuck);
    for (int kept = 0; kept < 5; ++kept) {
        TurnState ts = InitialTurnState;
        ValueBag b;
        AddToBag(b, 3, kept);
        ts.dice = RankFromValueBag(b);
        RollDice(stuck, InitialGameState, ts, e);
        EXPECT_EQ(Values(e.arg), std::vector<int>(static_cast<std::size_t>(5 - kept), 6));
    }
    EXPECT_EQ(stuck->Cycle, 6);
}

TEST(DiceDevils, RandomSourcesDrawAsDescribed) {
    Event e;
    SeedGenerator(4357);
    RollDice(FairDice(), InitialGameState, InitialTurnState, e);
    EXPECT_EQ(Values(e.arg), (std::vector<int>{5, 3, 5, 5, 4}));
    RollDice(FairDice(), InitialGameState, Kept({1, 1}, 2), e);
    EXPECT_EQ(Values(e.arg), (std::vector<int>{5, 2, 6}));

    // Per list: one draw below the number of lists of that size, from the size's first rank.
    for (auto [kept, first, count] : {std::tuple{Kept({}, 3), 1555, 7776}, std::tuple{Kept({6, 6, 6}, 1), 7, 36},
                                      std::tuple{Kept({1, 2, 3, 4}, 2), 1, 6}}) {
        SeedGenerator(77);
        const int draw = RandomBelow(count);
        SeedGenerator(77);
        RollDice(PerListDice(), InitialGameState, kept, e);
        EXPECT_EQ(e.arg, first + draw);
        EXPECT_EQ(ValueListTbl[e.arg].siz, 5 - ValueBagTbl[kept.dice].siz);
    }
    // Per bag: the drawn bag's values in ascending order.
    for (auto [kept, first, count] : {std::tuple{Kept({}, 3), 210, 252}, std::tuple{Kept({5, 5}, 2), 28, 56}}) {
        SeedGenerator(1234);
        const int draw = RandomBelow(count);
        SeedGenerator(1234);
        RollDice(PerBagDice(), InitialGameState, kept, e);
        EXPECT_EQ(e.arg, ValueBagTbl[first + draw].vlr);
        const std::vector<int> v = Values(e.arg);
        EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
        EXPECT_EQ(v.size(), static_cast<std::size_t>(5 - ValueBagTbl[kept.dice].siz));
    }
}

TEST(DiceDevils, UserSourceAsksUntilExactlyTheMissingDiceAreTyped) {
    {
        ScriptedConsole console("1 2 3\n1 2 7 3 4\n6 5 4 3 2 1\nx\n6,5_4 3 2\n");
        Event e;
        RollDice(UserDice(), InitialGameState, InitialTurnState, e);
        EXPECT_EQ(Values(e.arg), (std::vector<int>{6, 5, 4, 3, 2}));
        EXPECT_EQ(Count(console.out.str(), "Enter dice roll of 5 dice: "), 5);
    }
    {
        ScriptedConsole console("3;\n");
        Event e;
        RollDice(UserDice(), InitialGameState, Kept({2, 2, 2, 2}, 2), e);
        EXPECT_EQ(Values(e.arg), (std::vector<int>{3}));
        EXPECT_EQ(console.out.str().rfind("Enter dice roll of 1 dice: ", 0), 0u);
    }
    {
        ScriptedConsole console("4 4\n");   // too few, then the input ends
        Event e;
        EXPECT_THROW(RollDice(UserDice(), InitialGameState, InitialTurnState, e), EndOfInput);
    }
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
    keep.arg = Bag({2, 5});
    ApplyTurnEvent(ts, keep);
    EXPECT_EQ(ts.dice, Bag({2, 5}));
    EXPECT_EQ(ts.phase, ToRoll);
    EXPECT_EQ(ts.rollsLeft, 1);

    // Keeping all five and rolling nothing still uses up a roll.
    TurnState full{2, ToChoose, Bag({1, 3, 3, 4, 6})};
    keep.arg = full.dice;
    ApplyTurnEvent(full, keep);
    Event none;
    MakeRollingEvent(none, 0);
    ApplyTurnEvent(full, none);
    EXPECT_EQ(full.dice, Bag({1, 3, 3, 4, 6}));
    EXPECT_EQ(full.rollsLeft, 1);
    EXPECT_EQ(full.phase, ToChoose);

    const TurnState before = full;
    Event score;
    score.aspect = Scoring;
    ApplyTurnEvent(full, score);
    EXPECT_EQ(full.dice, before.dice);
    EXPECT_EQ(full.rollsLeft, before.rollsLeft);

    TurnState last{0, ToRoll, Bag({1})};
    EXPECT_THROW(ApplyTurnEvent(last, e), CheckFailure);
    TurnState wrongSize = Kept({1}, 2);
    EXPECT_THROW(ApplyTurnEvent(wrongSize, e), RangeError);
    TurnState table{1, ToChoose, Bag({1, 1, 1, 1, 1})};
    keep.arg = Bag({2});
    EXPECT_THROW(ApplyTurnEvent(table, keep), RangeError);
    EXPECT_EQ(table.phase, ToChoose);
}

TEST(DiceDevils, DemonAndAngelPickTheExtremeRoll) {
    UseCompleteOptimalTable();
    Event demon, angel;
    RollDice(DemonDice(), InitialGameState, InitialTurnState, demon);
    RollDice(AngelDice(), InitialGameState, InitialTurnState, angel);
    const auto valueOf = [](const GameState& g, TurnState t, ValueListRank roll) {
        Event e;
        MakeRollingEvent(e, roll);
        ApplyTurnEvent(t, e);
        return OptimalTurnValue(g, t);
    };
    const double worst = valueOf(InitialGameState, InitialTurnState, demon.arg);
    const double best = valueOf(InitialGameState, InitialTurnState, angel.arg);
    TurnState t{2, ToChoose, 0};
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        t.dice = static_cast<ValueBagRank>(r);
        const double v = OptimalTurnValue(InitialGameState, t);
        EXPECT_LE(worst, v);
        EXPECT_GE(best, v);
    }
    EXPECT_LT(worst, best);
    const std::vector<int> shown = Values(demon.arg);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    Event again;
    RollDice(DemonDice(), InitialGameState, InitialTurnState, again);
    EXPECT_EQ(again.arg, demon.arg);

    // With dice kept, only the completions of the kept bag compete.
    GameState late;
    MakeGameState(late, (1u << Sixes) | (1u << QuintorCat), 12, false);
    const TurnState kept = Kept({6, 6}, 1);
    RollDice(AngelDice(), late, kept, angel);
    RollDice(DemonDice(), late, kept, demon);
    ASSERT_EQ(ValueListTbl[angel.arg].siz, 3);
    const double high = valueOf(late, kept, angel.arg);
    const double low = valueOf(late, kept, demon.arg);
    int firstLowest = -1;
    for (int r = ValueBagRanks[3].firstvbr; r <= ValueBagRanks[3].lastvbr; ++r) {
        const double v = valueOf(late, kept, ValueBagTbl[r].vlr);
        EXPECT_LE(v, high);
        EXPECT_GE(v, low);
        if (v == low && firstLowest < 0) firstLowest = r;
    }
    ASSERT_GE(firstLowest, 0);
    EXPECT_EQ(demon.arg, ValueBagTbl[firstLowest].vlr);   // the first among equals
    EXPECT_EQ(Values(angel.arg), (std::vector<int>{6, 6, 6}));
}

}  // namespace
}  // namespace quintor
