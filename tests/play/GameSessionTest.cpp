#include <gtest/gtest.h>

#include <vector>

#include "PlayTestSupport.h"
#include "engine/QuintorStrategies.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor {
namespace {

std::string Shown(const GameSession& s) { return ValueListToString(s.shownDice, false); }

TEST(GameSession, ScoreTextAndHints) {
    ScoreCard d;
    EXPECT_EQ(ScoreText(d), "0");
    d.set(Chance, 25);
    d.set(GrandTotal, 25);
    EXPECT_EQ(ScoreText(d), "25");
    ScoreCard bonus;
    bonus.set(Sixes, 18);
    bonus.set(UpperSectionBonusItem, 35);
    bonus.set(GrandTotal, 53);
    bonus.set(QuintorsRolled, 1);   // rows past 14 are not parts of the sum
    EXPECT_EQ(ScoreText(bonus), "18+35=53");

    const TurnState quintor{0, ToChoose, Bag({6, 6, 6, 6, 6})};
    const GameState start = InitialGameState;
    EXPECT_EQ(ScoreHint(OfficialRules, start, quintor, QuintorCat), "Quintor: Score 50 now");
    EXPECT_EQ(ScoreHint(OfficialRules, start, quintor, FullHouse), "Quintor: Score 0 now");
    GameState need18;
    MakeGameState(need18, FullCategorySet, 18, false);
    const TurnState sixes{1, ToChoose, Bag({6, 6, 6, 2, 3})};
    EXPECT_EQ(ScoreHint(OfficialRules, need18, sixes, Sixes), "Score 18+35=53 now");
    EXPECT_EQ(ScoreHint(OfficialRules, need18, sixes, FourOfAKind), "Score 0 now");
    // Sixes and the Quintor box (with 50) used: the joker and the extra bonus.
    GameState used;
    MakeGameState(used, WithoutCategory(WithoutCategory(FullCategorySet, Sixes), QuintorCat), 0, true);
    EXPECT_EQ(ScoreHint(OfficialRules, used, quintor, LargeStraight), "Joker Quintor: Score 40+100=140 now");
    EXPECT_EQ(ScoreHint(OfficialRules, used, quintor, Sixes), "Quintor: Score 30+100=130 now");   // used box
    EXPECT_EQ(ScoreHint(OfficialRules, used, quintor, QuintorCat), "Quintor: Score 50+100=150 now");
}

TEST(GameSession, KeepsRollsAndScoresInTheControllersOrder) {
    GameSession s;
    NewGameSession(s);
    EXPECT_EQ(s.phase, gpGameNotStarted);
    EXPECT_EQ(SessionAbstractState(s), "123456TFHSLQC;63-   0  ;3");
    ResetDiceDevil(SpecialDice());

    Event roll = SessionRoll(s, SpecialDice());
    EXPECT_EQ(roll.aspect, Rolling);
    EXPECT_EQ(s.phase, gpGameInProgress);
    EXPECT_EQ(Shown(s), "12345");
    EXPECT_EQ(SessionAbstractState(s), "123456TFHSLQC;63-   0  12345;2");
    EXPECT_THROW(SessionKeep(s, Bag({6})), RangeError);
    EXPECT_EQ(s.recording.len, 0);

    SessionKeep(s, Bag({2, 4}));
    ASSERT_EQ(s.recording.len, 1);
    EXPECT_EQ(s.recording.entry[0].turnState.dice, Bag({1, 2, 3, 4, 5}));   // before the keep
    EXPECT_EQ(s.recording.entry[0].turnState.phase, ToChoose);
    EXPECT_EQ(s.turnState.phase, ToRoll);
    EXPECT_EQ(s.turnState.dice, Bag({2, 4}));
    SessionRoll(s, SpecialDice());   // 6, 1, 2 fill the unkept places
    EXPECT_EQ(Shown(s), "62142");
    EXPECT_EQ(s.turnState.dice, Bag({1, 2, 2, 4, 6}));
    SessionKeep(s, Bag({1, 2, 2, 4, 6}));
    SessionRoll(s, SpecialDice());   // nothing left to roll
    EXPECT_EQ(Shown(s), "62142");
    EXPECT_EQ(s.turnState.rollsLeft, 0);
    EXPECT_THROW(SessionKeep(s, Bag({})), RangeError);
    EXPECT_THROW(SessionRoll(s, SpecialDice()), RangeError);

    const Event scored = SessionScore(s, Twos);
    EXPECT_EQ(scored.arg, 4);
    ASSERT_EQ(s.recording.len, 3);
    const GameRecordingEntry& e = s.recording.entry[2];
    EXPECT_TRUE(EqualGameStates(e.gameState, InitialGameState));   // not yet advanced
    EXPECT_EQ(e.total, 0);
    EXPECT_EQ(e.event.arg, 4);
    EXPECT_EQ(SessionTotal(s), 4);
    EXPECT_EQ(s.gameState.need, 59);
    EXPECT_EQ(s.turnState.rollsLeft, 3);
    EXPECT_EQ(SessionAbstractState(s), "1_3456TFHSLQC;59-   4  ;3");
    EXPECT_THROW(SessionScore(s, Twos), RangeError);   // dice not rolled yet

    // The first roll of the next turn throws all five dice.
    SessionRoll(s, SpecialDice());
    EXPECT_EQ(Shown(s), "34561");
    EXPECT_THROW(SessionScore(s, Twos), RangeError);   // used
    EXPECT_EQ(s.recording.len, 3);

    NewGameSession(s);   // also mid-game
    EXPECT_EQ(s.recording.len, 0);
    EXPECT_EQ(SessionTotal(s), 0);
    EXPECT_EQ(s.phase, gpGameNotStarted);
}

TEST(GameSession, ScoringAfterEveryFirstRollGivesThirteenEntries) {
    GameSession s;
    NewGameSession(s);
    ResetDiceDevil(StuckAtDice());
    int expected = 0;
    for (int c = 0; c < NCategories; ++c) {
        SessionRoll(s, StuckAtDice());
        expected += SessionScore(s, static_cast<Category>(c)).arg;
    }
    EXPECT_EQ(s.phase, gpGameOver);
    EXPECT_TRUE(GameOver(s.gameState));
    EXPECT_EQ(s.recording.len, 13);
    for (int i = 0; i < s.recording.len; ++i) EXPECT_EQ(s.recording.entry[i].event.aspect, Scoring);
    // Nothing in the free boxes before Sixes (30, no bonus), 30 in both kinds, no joker while the
    // Quintor box is free, 50 in it, then Chance 30 with the extra bonus.
    EXPECT_EQ(expected, 270);
    EXPECT_EQ(SessionTotal(s), 270);
    EXPECT_EQ(s.scoreCard[JokersApplied], 0);
    EXPECT_EQ(s.scoreCard[QuintorsRolled], 13);
    EXPECT_EQ(s.scoreCard[UpperSectionBonusItem], 0);   // 0+0+0+0+0+30 < 63
    EXPECT_EQ(s.scoreCard[ExtraQuintorBonusItem], 100);   // only Chance came after the 50
    EXPECT_THROW(SessionRoll(s, StuckAtDice()), RangeError);

    std::vector<std::string> lines;
    WriteGameAnalysis(lines, s.recording, "You", OfficialRules, false, nullptr);
    EXPECT_EQ(lines[20], std::string(34, ' ') + Format("%5d", expected));
    EXPECT_NE(std::find(lines.begin(), lines.end(), Format("%5d GRAND TOTAL", expected)), lines.end());
}

TEST(GameSession, AnOptimallyPlayedGameAgreesWithTheReference) {
    UseCompleteOptimalTable();
    SeedGenerator(4357);
    GameSession s;
    NewGameSession(s);
    while (s.phase != gpGameOver) {
        SessionRoll(s, FairDice());
        Event choice;
        ChooseEvent(OptimalStrategy, s.gameState, s.turnState, SessionTotal(s), choice, false);
        if (choice.aspect == Keeping)
            SessionKeep(s, choice.arg);
        else
            SessionScore(s, choice.category);
        // The written state always reads back as the session's position.
        AbstractState read;
        ASSERT_TRUE(ReadAbstractState(SessionAbstractState(s), read)) << SessionAbstractState(s);
        EXPECT_TRUE(EqualGameStates(read.gameState, s.gameState));
        EXPECT_EQ(read.total, SessionTotal(s));
        EXPECT_EQ(read.turnState.phase, s.turnState.phase);
        EXPECT_EQ(read.turnState.dice, s.turnState.dice);
        EXPECT_EQ(read.turnState.rollsLeft, s.turnState.rollsLeft);
    }
    EXPECT_GE(s.recording.len, 13);
    EXPECT_LE(s.recording.len, 39);

    std::vector<std::string> lines;
    WriteGameAnalysis(lines, s.recording, "You", OfficialRules, true, OptimalStrategy);
    const auto find = [&](const std::string& prefix) {
        for (const std::string& l : lines)
            if (l.rfind(prefix, 0) == 0) return l;
        return std::string();
    };
    const std::string total = std::string(34, ' ') + Format("%5d", SessionTotal(s));
    EXPECT_NE(find(total), "");
    const std::string choices = find("  # Choices (one option = no choice)  :");
    const std::string identical = find("  # Choices identical to  Zelk        :");
    ASSERT_NE(choices, "");
    EXPECT_EQ(choices.substr(39, 4), identical.substr(39, 4));   // every choice was the best one
    EXPECT_EQ(find("  Mean delta per choice"), "  Mean delta per choice               :   0.000");
    EXPECT_NE(find(Format("%5d GRAND TOTAL", SessionTotal(s))), "");
}

}  // namespace
}  // namespace quintor
