#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ConceptsTestHelpers.h"
#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

using namespace quintor;
using quintor::test::Bag;
using quintor::test::List;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

GameState State(long long free, long long need, bool chip) {
    GameState g;
    MakeGameState(g, free, need, chip);
    return g;
}

}  // namespace

TEST(Printouts, ConfigurationAndRules) {
    std::ostringstream conf;
    WriteConfiguration(conf);
    const std::vector<std::string> confLines{
        "", "CONFIGURATION:", "MaxSmallNat        =      15", "MinValue           =       1",
        "MaxValue           =       6", "NDice              =       5",
        "MaxRollsPerTurn    =       5", "MaxBonusThreshold  =      63"};
    EXPECT_EQ(Lines(conf.str()), confLines);

    ASSERT_NE(OfficialRules, nullptr);
    EXPECT_EQ(OfficialRules->Name, "Official");
    std::ostringstream rules;
    WriteQuintorRules(rules, OfficialRules);
    const std::vector<std::string> ruleLines{
        "", "Official Quintor Rules", "NTurnsPerGame      =    13", "NRollsPerTurn      =     3",
        "BonusThreshold     =    63", "UpperSectionBonus  =    35", "ExtraQuintorBonus  =   100",
        "JokerRule          =  TRUE",
        "InitialGameState: free=  123456TFHSLQC, upper section need= 63, chip= FALSE",
        "InitialTurnState: rolls left= 3, phase= Roll into , dice= _ _ _ _ _ "};
    EXPECT_EQ(Lines(rules.str()), ruleLines);
    EXPECT_EQ(rules.str().back(), '\n');
    try {
        WriteQuintorRules(rules, nullptr);
        ADD_FAILURE() << "no failure without a rule set";
    } catch (const CheckFailure& f) {
        EXPECT_STREQ(f.what(), "WriteQuintorRules: YR <> nil FAILED");
    }
}

TEST(GameState, MakeEqualAndOver) {
    EXPECT_TRUE(EqualGameStates(InitialGameState, State(8191, 63, false)));
    EXPECT_FALSE(EqualGameStates(State(5, 3, false), State(5, 3, true)));
    EXPECT_FALSE(GameOver(InitialGameState));
    EXPECT_TRUE(GameOver(State(0, 17, true)));
    GameState g = State(100, 10, true);
    EXPECT_THROW(MakeGameState(g, 8192, 0, false), RangeError);
    EXPECT_THROW(MakeGameState(g, -1, 0, false), RangeError);
    EXPECT_THROW(MakeGameState(g, 0, 64, false), RangeError);
    EXPECT_TRUE(EqualGameStates(g, State(100, 10, true)));
    EXPECT_EQ(InitialTurnState.rollsLeft, 3);
    EXPECT_EQ(InitialTurnState.phase, ToRoll);
    EXPECT_EQ(InitialTurnState.dice, 0);
}

TEST(GameState, NextGameStateSteps) {
    auto step = [](GameState g, bool more, GameState want) {
        EXPECT_EQ(NextGameState(g), more);
        EXPECT_EQ(GameStateToString(g), GameStateToString(want));
        EXPECT_EQ(g.chip, want.chip);
    };
    const CategorySet noQ = WithoutCategory(FullCategorySet, QuintorCat);
    step(State(8191, 63, false), true, State(8191, 62, false));
    step(State(8191, 0, false), true, State(8190, 63, false));
    step(State(noQ, 5, false), true, State(noQ, 5, true));
    step(State(noQ, 5, true), true, State(noQ, 4, false));
    step(State(0b1010000, 0, true), true, State(0b1001111, 63, false));
    step(State(0, 0, false), true, State(0, 0, true));
    step(State(0, 0, true), false, State(8191, 63, false));

    // From the initial state the walk meets every state once and ends where it began.
    std::vector<bool> seen(8192 * 64 * 2);
    GameState g = InitialGameState;
    long count = 0;
    do {
        const std::size_t i = (std::size_t(g.free) * 64 + g.need) * 2 + g.chip;
        ASSERT_FALSE(seen[i]) << GameStateToString(g);
        ASSERT_FALSE(g.chip && InSet(g.free, QuintorCat));
        seen[i] = true;
        ++count;
    } while (NextGameState(g));
    EXPECT_EQ(count, 786432);
    EXPECT_TRUE(EqualGameStates(g, InitialGameState));
}

TEST(StateTexts, GameAndTurnStates) {
    EXPECT_EQ(GameStateToString(InitialGameState), "123456TFHSLQC;63-");
    EXPECT_EQ(GameStateToString(State(0, 0, true)), "_____________; 0+");
    EXPECT_EQ(GameStateToString(State(0b1000000000011, 7, false)), "12__________C; 7-");
    std::ostringstream out;
    WriteGameState(out, "> ", State(1, 0, true));
    EXPECT_EQ(out.str(), "> free=  1____________, upper section need= 0, chip= TRUE\n");

    const TurnState kept{2, ToRoll, Bag("66")};
    EXPECT_EQ(TurnStateToString(kept, true, true), "Roll into  6 6 _ _ _ ;2");
    EXPECT_EQ(TurnStateToString(kept, false, false), "66___;2");
    EXPECT_EQ(TurnStateToString(kept, true, false), "R 66___;2");
    EXPECT_EQ(TurnStateToString(InitialTurnState, false, false), "_____;3");
    const TurnState rolled{0, ToChoose, Bag("54321")};
    EXPECT_EQ(TurnStateToString(rolled, true, true), "Choose for 1 2 3 4 5 ;0");
    EXPECT_THROW(TurnStateToString(TurnState{1, ToRoll, 462}, false, false), RangeError);
    out.str("");
    WriteTurnState(out, "T: ", rolled);
    EXPECT_EQ(out.str(), "T: rolls left= 0, phase= Choose for, dice= 1 2 3 4 5 \n");
}

TEST(EventTexts, EqualityAndForms) {
    const Event roll{Rolling, 0, RankFromValueList(List("31416"))};
    const Event keep{Keeping, 0, Bag("113")};
    const Event chance{Scoring, Chance, 23};
    EXPECT_TRUE(EqualEvents(chance, Event{Scoring, Chance, 0}));
    EXPECT_FALSE(EqualEvents(chance, Event{Scoring, Sixes, 23}));
    EXPECT_FALSE(EqualEvents(Event{Rolling, 0, 40}, Event{Keeping, 0, 40}));
    EXPECT_TRUE(EqualEvents(Event{Keeping, 3, 40}, Event{Keeping, 5, 40}));
    EXPECT_FALSE(EqualEvents(Event{Rolling, 0, 40}, Event{Rolling, 0, 41}));

    EXPECT_EQ(EventToString(roll, false, false), "31416");
    EXPECT_EQ(EventToString(roll, true, false), "R31416");
    EXPECT_EQ(EventToString(roll, true, true), "Rolling3 1 4 1 6 ");
    EXPECT_EQ(EventToString(keep, false, false), "113__");
    EXPECT_EQ(EventToString(chance, false, false), "C  23");
    EXPECT_EQ(EventToString(chance, true, true), "Scoring  C  23   ");
    EXPECT_EQ(EventToString(Event{Scoring, Aces, 0}, false, false), "1   0");

    EXPECT_EQ(EventToOptionText(Event{Rolling, 0, RankFromValueList(List("12345"))}, List("12345")),
              "Rolling 1 2 3 4 5  ");
    EXPECT_EQ(EventToOptionText(Event{Keeping, 0, Bag("13")}, List("31416")), "Keeping 3 1 _ _ _ ");
    EXPECT_EQ(EventToOptionText(chance, List("66543")), "Scoring   C  23   ");

    std::ostringstream out;
    WriteEvent(out, "> ", roll);
    WriteEvent(out, "", keep);
    WriteEvent(out, "", chance);
    EXPECT_EQ(out.str(),
              "> rolling  3 1 4 1 6\n"
              "keeping [1] 2, ___ _, [3] 1, ___ _, ___ _, ___ _\n"
              "scoring  23 via Chance\n");
    EXPECT_THROW(EventToString(Event{Rolling, 0, 9331}, false, false), RangeError);
    EXPECT_THROW(EventToString(Event{Scoring, 13, 0}, false, false), RangeError);
}
