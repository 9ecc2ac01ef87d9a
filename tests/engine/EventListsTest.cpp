// Choice and roll-outcome lists on the complete tables, their sort and search.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "AnalysisTables.h"
#include "engine/QuintorEventLists.h"

namespace quintor {
namespace {

using testtables::OptimalWithTables;
using testtables::ReferenceVarianceTable;

ValueBagRank Bag(const char* digits) {
    ValueBag b;
    for (const char* p = digits; *p != 0; ++p) AddToBag(b, *p - '0', 1);
    return RankFromValueBag(b);
}

double Sd(const GameState& g) { return std::sqrt(ReferenceVarianceTable()[GameStateIndex(g)]); }

TEST(EventLists, ChoicesWithoutRollsLeftAreTheScoringsInCategoryOrder) {
    QuintorStrategyState* S = OptimalWithTables();
    GameState g;
    MakeGameState(g, (1 << Twos) | (1 << FullHouse) | (1 << QuintorCat) | (1 << Chance), 4, false);
    const TurnState t{0, ToChoose, Bag("22255")};
    EList list;
    ListChoiceOptions(list, S, g, 100, t);
    ASSERT_EQ(list.len, 4);
    EXPECT_TRUE(EqualGameStates(list.gameState, g));
    EXPECT_EQ(list.turnState.dice, t.dice);
    const Category want[] = {Twos, FullHouse, QuintorCat, Chance};
    const int points[] = {6 + 35, 25, 0, 16};   // three twos reach the need of 4: the bonus too
    for (int i = 0; i < 4; ++i) {
        const EListEntry& e = list.entry[i];
        EXPECT_EQ(e.event.aspect, Scoring);
        EXPECT_EQ(e.event.category, want[i]);
        EXPECT_EQ(e.event.arg, points[i]);
        GameState g2;
        ScoreCard d;
        Event ev = e.event;
        ApplyScoringEvent(OfficialRules, g, t, g2, d, ev);
        EXPECT_DOUBLE_EQ(e.expected, OptimalStateValue(g2) + 100 + points[i]);
        EXPECT_DOUBLE_EQ(e.sd, Sd(g2));
    }
    // The best scoring is the optimal value of the roll.
    SortEList(list);
    EXPECT_DOUBLE_EQ(list.entry[0].expected, OptimalTurnValue(g, t) + 100);
    // A typed total at the top of its range still adds the points of every scoring.
    EList top;
    ListChoiceOptions(top, S, g, MaxPoints, t);
    ASSERT_EQ(top.len, 4);
    ListChoiceOptions(list, S, g, 100, t);
    for (int i = 0; i < 4; ++i)
        EXPECT_DOUBLE_EQ(top.entry[i].expected, list.entry[i].expected + (MaxPoints - 100));
}

TEST(EventLists, ChoicesWithRollsLeftAddEverySubBagFromAllToNone) {
    QuintorStrategyState* S = OptimalWithTables();
    EList list;
    const TurnState t{2, ToChoose, Bag("12346")};
    ListChoiceOptions(list, S, InitialGameState, 0, t);
    ASSERT_EQ(list.len, 13 + 32);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(list.entry[i].event.category, i);
    EXPECT_EQ(list.entry[13].event.aspect, Keeping);
    EXPECT_EQ(list.entry[13].event.arg, t.dice);   // all five first
    EXPECT_EQ(list.entry[44].event.arg, 0);        // none last
    std::set<int> kept;
    double best = -1.0;
    for (int i = 13; i < 45; ++i) {
        const EListEntry& e = list.entry[i];
        ASSERT_EQ(e.event.aspect, Keeping);
        EXPECT_TRUE(IsSubBag(ValueBagTbl[e.event.arg].bag, ValueBagTbl[t.dice].bag));
        kept.insert(e.event.arg);
        const TurnState k{2, ToRoll, ValueBagRank(e.event.arg)};
        EXPECT_DOUBLE_EQ(e.expected, OptimalTurnValue(InitialGameState, k));
        EXPECT_DOUBLE_EQ(e.sd, std::sqrt(StrategyVariance(S, InitialGameState, k)));
        EXPECT_GT(e.sd, 0.0);
        best = std::max(best, e.expected);
    }
    EXPECT_EQ(kept.size(), 32u);
    EXPECT_DOUBLE_EQ(best, OptimalTurnValue(InitialGameState, t));

    // A roll with repeated values has fewer distinct sub-bags: 2 * 5 for one five and four sixes.
    ListChoiceOptions(list, S, InitialGameState, 0, TurnState{2, ToChoose, Bag("56666")});
    EXPECT_EQ(list.len, 23);
}

TEST(EventLists, RollOutcomesFollowTheCompletionsAndFillTheList) {
    QuintorStrategyState* S = OptimalWithTables();
    GameState g;
    MakeGameState(g, (1 << Sixes) | (1 << Chance), 18, false);
    EList list;
    ListRollOutcomes(list, S, g, 200, TurnState{1, ToRoll, 0});
    ASSERT_EQ(list.len, MaxEListIndex);
    std::set<int> ranks;
    for (int i = 0; i < list.len; ++i) {
        const EListEntry& e = list.entry[i];
        const ValueBagRank r = CompletionTbl[CompletionRanges[0].first + i].vbr;
        EXPECT_EQ(e.event.aspect, Rolling);
        EXPECT_EQ(e.event.arg, ValueBagTbl[r].vlr);
        const TurnState t{0, ToChoose, r};
        EXPECT_DOUBLE_EQ(e.expected, OptimalTurnValue(g, t) + 200);
        EXPECT_DOUBLE_EQ(e.sd, std::sqrt(StrategyVariance(S, g, t)));
        ranks.insert(e.event.arg);
    }
    EXPECT_EQ(ranks.size(), 252u);
    try {
        ExtendEList(list, list.entry[0].event, 0.0, -1.0);
        ADD_FAILURE() << "a full list grew";
    } catch (const CheckFailure& f) {
        EXPECT_STREQ(f.what(), "ExtendEList: len<MaxEListIndex FAILED");
    }
    EXPECT_EQ(list.len, MaxEListIndex);

    // Holding four dice: six outcomes at most, fewer when the kept values repeat.
    ListRollOutcomes(list, S, g, 0, TurnState{2, ToRoll, Bag("6663")});
    EXPECT_EQ(list.len, 6);
    ListRollOutcomes(list, S, g, 0, TurnState{2, ToRoll, Bag("66666")});
    ASSERT_EQ(list.len, 1);
    EXPECT_EQ(list.entry[0].event.arg, ValueBagTbl[Bag("66666")].vlr);

    // A finished game has no options at all.
    const GameState over{0, 0, true};
    ListChoiceOptions(list, S, over, 300, TurnState{2, ToChoose, Bag("12345")});
    EXPECT_EQ(list.len, 0);
    ListRollOutcomes(list, S, over, 300, TurnState{2, ToRoll, Bag("66")});
    EXPECT_EQ(list.len, 0);

    EXPECT_THROW(ListRollOutcomes(list, S, g, 0, TurnState{0, ToRoll, Bag("66")}), RangeError);
    EXPECT_THROW(ListRollOutcomes(list, S, g, 0, TurnState{1, ToChoose, Bag("12345")}), RangeError);
    EXPECT_THROW(ListRollOutcomes(list, S, g, 0, TurnState{3, ToRoll, Bag("66")}), RangeError);
    EXPECT_THROW(ListChoiceOptions(list, S, g, 1576, TurnState{1, ToChoose, Bag("12345")}),
                 RangeError);
    EXPECT_THROW(ListChoiceOptions(list, S, g, 0, TurnState{1, ToChoose, Bag("1234")}), RangeError);
}

TEST(EventLists, WithoutVarianceTableEveryDeviationIsMinusOne) {
    QuintorStrategyState* S = OptimalWithTables();
    CacheState* saved = S->VarianceCache;
    S->VarianceCache = nullptr;
    EList choices, rolls;
    ListChoiceOptions(choices, S, InitialGameState, 0, TurnState{1, ToChoose, Bag("11456")});
    ListRollOutcomes(rolls, S, InitialGameState, 0, TurnState{2, ToRoll, Bag("11")});
    S->VarianceCache = saved;
    ASSERT_EQ(choices.len, 13 + 24);
    ASSERT_EQ(rolls.len, 56);
    for (int i = 0; i < choices.len; ++i) EXPECT_EQ(choices.entry[i].sd, -1.0);
    for (int i = 0; i < rolls.len; ++i) EXPECT_EQ(rolls.entry[i].sd, -1.0);
}

TEST(EventLists, SortIsDescendingAndStable) {
    GameState g;
    EList list;
    InitEList(list, g, InitialTurnState);
    SortEList(list);
    EXPECT_EQ(list.len, 0);
    Event e;
    e.aspect = Keeping;
    const double values[] = {3.0, 5.0, 3.0, 7.0, 5.0, 3.0, 1.0};
    for (int i = 0; i < 7; ++i) {
        e.arg = std::uint16_t(i);
        ExtendEList(list, e, values[i], double(i));
    }
    SortEList(list);
    const int order[] = {3, 1, 4, 0, 2, 5, 6};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(list.entry[i].event.arg, order[i]) << i;
        EXPECT_EQ(list.entry[i].sd, double(order[i]));   // entries move whole
    }

    InitEList(list, g, InitialTurnState);
    ExtendEList(list, e, 2.0, 1.0);
    SortEList(list);
    EXPECT_EQ(list.len, 1);
    EXPECT_EQ(list.entry[0].expected, 2.0);

    // A real list: equal values keep their order, scorings before keepings.
    QuintorStrategyState* S = OptimalWithTables();
    ListChoiceOptions(list, S, InitialGameState, 0, TurnState{1, ToChoose, Bag("66666")});
    EList sorted = list;
    SortEList(sorted);
    for (int i = 1; i < sorted.len; ++i) {
        ASSERT_GE(sorted.entry[i - 1].expected, sorted.entry[i].expected);
        if (sorted.entry[i - 1].expected == sorted.entry[i].expected) {
            EXPECT_LT(FindEvent(list, sorted.entry[i - 1].event),
                      FindEvent(list, sorted.entry[i].event));
        }
    }
    EXPECT_EQ(sorted.entry[0].event.aspect, Scoring);
    EXPECT_EQ(sorted.entry[0].event.category, QuintorCat);
}

TEST(EventLists, FindEventReturnsTheFirstMatchOrRefuses) {
    QuintorStrategyState* S = OptimalWithTables();
    EList list;
    ListChoiceOptions(list, S, InitialGameState, 0, TurnState{2, ToChoose, Bag("12346")});
    Event e;
    e.aspect = Scoring;
    e.category = Aces;
    EXPECT_EQ(FindEvent(list, e), 0);
    e.category = Chance;
    e.arg = 999;   // points play no part in the match
    EXPECT_EQ(FindEvent(list, e), 12);
    e.aspect = Keeping;
    e.arg = Bag("1234");
    const int at = FindEvent(list, e);
    EXPECT_EQ(list.entry[at].event.arg, Bag("1234"));
    EXPECT_GT(at, 13);
    e.arg = Bag("55");   // not part of the roll
    EXPECT_THROW(FindEvent(list, e), RangeError);
    Event roll;
    MakeRollingEvent(roll, 0);
    EXPECT_THROW(FindEvent(list, roll), RangeError);
}

}  // namespace
}  // namespace quintor
