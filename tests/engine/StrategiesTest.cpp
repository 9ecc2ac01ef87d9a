// Strategy records, the choice rules of the five kinds, the console dialogue and the min-score
// computation.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>

#include "EngineTables.h"
#include "core/GeneralStuff.h"

namespace quintor {
namespace {

using namespace enginetest;

CategorySet Cats(std::initializer_list<int> cs) {
    CategorySet s = 0;
    for (int c : cs) s = WithCategory(s, c);
    return s;
}

std::string FailureText(const std::function<void()>& f) {
    try {
        f();
    } catch (const CheckFailure& e) {
        return e.what();
    }
    return "";
}

TEST(QuintorStrategies, AreCreatedInOrderWithTheirChecks) {
    const QuintorStrategyState* all[] = {UserStrategy, SimpleStrategy, OptimalStrategy,
                                         MinScoreStrategy, DandWStrategy};
    const char* names[][2] = {{"User", "You"},
                              {"Simple Minded", "Simpl"},
                              {"Optimal Official Quintor", "Zelk"},
                              {"Optimal MinScore Quintor", "Murvo"},
                              {"Dovan and Wemli", "DandW"}};
    for (int k = 0; k < 5; ++k) {
        ASSERT_NE(all[k], nullptr);
        EXPECT_EQ(all[k]->Kind, StrategyKind(k));
        EXPECT_EQ(all[k]->LongName, names[k][0]);
        EXPECT_EQ(all[k]->ShortName, names[k][1]);
        EXPECT_EQ(all[k]->Rules, OfficialRules);
    }
    EXPECT_EQ(SimpleStrategy->Cache, nullptr);
    EXPECT_EQ(DandWStrategy->ExpectedCache, nullptr);
    EXPECT_EQ(DandWStrategy->VarianceCache, nullptr);

    QuintorStrategyState* S = nullptr;
    CreateQuintorStrategy(S, "Five", "abcde", OfficialRules, User);
    ASSERT_NE(S, nullptr);
    EXPECT_EQ(S->LastShownState.free, 0);
    EXPECT_EQ(FailureText([] {
                  QuintorStrategyState* T = nullptr;
                  CreateQuintorStrategy(T, "Six", "abcdef", OfficialRules, Optimal);
              }),
              "CreateQuintorStrategy: length(shnm)<=MaxShortNameLength FAILED");
    EXPECT_EQ(FailureText([] {
                  QuintorStrategyState* T = nullptr;
                  CreateQuintorStrategy(T, "None", "x", nullptr, Optimal);
              }),
              "CreateQuintorStrategy: YR<>nil FAILED");
}

TEST(ChooseEvent, SimpleOptimalAndUnruledKinds) {
    UseCompleteOptimalTable();
    const GameState g = State(Cats({Aces, Threes, SmallStraight, Chance}), 20, false);
    Event e;
    ChooseEvent(SimpleStrategy, g, TurnState{2, ToChoose, Bag("66666")}, 0, e, false);
    EXPECT_EQ(e.aspect, Scoring);
    EXPECT_EQ(e.category, Aces);

    // Optimal: scores with no roll left, else keeps exactly when rolling on is worth more.
    const CacheState& C = *OptimalStrategy->Cache;
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        for (int l = 0; l < NRollsPerTurn; ++l) {
            const TurnState t{std::uint8_t(l), ToChoose, ValueBagRank(r)};
            ChooseEvent(OptimalStrategy, g, t, 0, e, false);
            if (l > 0 && C.RollValue[0][r] < C.RollValue[l][r]) {
                ASSERT_EQ(e.aspect, Keeping);
                ASSERT_EQ(e.arg, C.BestKeeper[l][r]);
            } else {
                ASSERT_EQ(e.aspect, Scoring) << l << " " << r;
                ASSERT_EQ(e.category, C.BestCategory[r]);
            }
        }
    }
    Event kept;
    kept.aspect = Rolling;
    kept.category = 7;
    kept.arg = 4242;
    Event same = kept;
    ChooseEvent(DandWStrategy, g, TurnState{1, ToChoose, Bag("12346")}, 0, same, true);
    EXPECT_EQ(same.aspect, kept.aspect);
    EXPECT_EQ(same.category, kept.category);
    EXPECT_EQ(same.arg, kept.arg);

    EXPECT_THROW(ChooseEvent(SimpleStrategy, g, TurnState{1, ToRoll, Bag("12")}, 0, e, false),
                 RangeError);
    EXPECT_THROW(ChooseEvent(OptimalStrategy, g, TurnState{3, ToChoose, Bag("12346")}, 0, e, false),
                 RangeError);
}

// The console dialogue on a scripted console.
struct Console {
    std::istringstream in;
    std::ostringstream out;
    explicit Console(const std::string& text) : in(text) { SetConsole(&in, &out); }
    ~Console() { SetConsole(&std::cin, &std::cout); }
    int Count(const std::string& s) const {
        int n = 0;
        const std::string text = out.str();
        for (std::size_t at = text.find(s); at != std::string::npos; at = text.find(s, at + 1)) ++n;
        return n;
    }
};

TEST(ChooseEvent, UserDialogueRejectsWhatItMustAndAsksAgain) {
    const GameState g = State(Cats({Aces, Twos, Chance}), 5, false);
    const TurnState roll{2, ToChoose, Bag("11236")};
    UserStrategy->LastShownState.free = 0;
    {
        Console con("x\nk 4 4\nr 11236\ns 3\nk 1,1;\n");
        Event e;
        ChooseEvent(UserStrategy, g, roll, 17, e, true);
        EXPECT_EQ(e.aspect, Keeping);
        EXPECT_EQ(e.arg, Bag("11"));
        EXPECT_EQ(con.Count("  Choice [k <keepers> | s <category>]? "), 5);
        EXPECT_EQ(con.Count("\nGame state: " + GameStateToString(g) + ", Total= 17\n"), 1);
        EXPECT_EQ(con.Count("      Roll: " + TurnStateToString(roll, false, false) + "\n"), 1);
        EXPECT_EQ(con.Count("the roll holds no such dice"), 1);
        EXPECT_EQ(con.Count("that category is used already"), 1);
        EXPECT_EQ(con.Count("the dice are rolled already"), 1);
        EXPECT_TRUE(EqualGameStates(UserStrategy->LastShownState, g));
    }
    {
        // No roll left: no keepers offered or accepted; the state is not shown twice.
        Console con("k 11\nS 1 and the rest of the line\n");
        Event e;
        const TurnState last{0, ToChoose, Bag("11236")};
        ChooseEvent(UserStrategy, g, last, 17, e, true);
        EXPECT_EQ(e.aspect, Scoring);
        EXPECT_EQ(e.category, Aces);
        EXPECT_EQ(e.arg, 2);
        EXPECT_EQ(con.Count("  Choice [s <category>]? "), 2);
        EXPECT_EQ(con.Count("k <keepers>"), 0);
        EXPECT_EQ(con.Count("no roll is left"), 1);
        EXPECT_EQ(con.Count("Game state: "), 0);
        EXPECT_EQ(con.Count("  " + EventToString(e, true, true) + "\n"), 1);
    }
    {
        Console con("s h\n");
        Event e;
        EXPECT_THROW(ChooseEvent(UserStrategy, g, roll, 0, e, false), EndOfInput);
        EXPECT_EQ(con.Count("Roll: "), 0);
    }
}

TEST(MinScore, GuaranteesTheWorstCaseOfBruteForceAndCreatesItsCacheOnFirstUse) {
    QuintorStrategyState* S = nullptr;
    CreateQuintorStrategy(S, "Min", "Min", OfficialRules, OptimalMinScore);
    const GameState states[] = {
        State(Cats({Chance}), 0, false),          State(Cats({Sixes}), 12, false),
        State(Cats({QuintorCat}), 0, false),      State(Cats({ThreeOfAKind}), 0, true),
        State(Cats({FullHouse}), 0, true),        State(Cats({Aces, Chance}), 3, false),
        State(Cats({SmallStraight, LargeStraight}), 0, false)};
    for (const GameState& g : states) {
        EXPECT_NEAR(MinScoreValue(S, g, InitialTurnState), BruteForceValue(g, true), 1e-9)
            << GameStateToString(g);
    }
    ASSERT_NE(S->Cache, nullptr);
    EXPECT_EQ(S->Cache->Line, GrandTotal);
    EXPECT_EQ(S->Cache->Table[GameStateIndex(states[0])], 5.0);   // five ones in Chance

    // The choice rule reads the strategy's own turn tables.
    const GameState g = states[5];
    Event e;
    ChooseEvent(S, g, TurnState{2, ToChoose, Bag("11156")}, 0, e, false);
    const CacheState& C = *S->Cache;
    EXPECT_TRUE(C.HoldsTurn(g));
    EXPECT_EQ(C.KeeperValue[3][0], MinScoreValue(S, g, InitialTurnState));
    EXPECT_EQ(MinScoreValue(S, g, TurnState{2, ToChoose, Bag("11156")}),
              C.RollValue[2][Bag("11156")]);
    EXPECT_EQ(MinScoreValue(S, g, TurnState{1, ToRoll, Bag("111")}), C.KeeperValue[1][Bag("111")]);
    // Three aces now (3 + 35, then at least 5 in Chance) is all the dice can be forced to give:
    // rolling on ties, so the strategy scores.
    EXPECT_EQ(C.RollValue[0][Bag("11156")], 43.0);
    EXPECT_EQ(C.RollValue[2][Bag("11156")], 43.0);
    EXPECT_EQ(e.aspect, Scoring);
    EXPECT_EQ(e.category, Aces);
}

}  // namespace
}  // namespace quintor
