// The tutor: a choice measured against the best option of its position, the question put to the
// player, and the notes the answers leave in the recording.
#include <cmath>

#include <gtest/gtest.h>

#include "PlayTestSupport.h"
#include "play/QuintorTutor.h"

namespace quintor {
namespace {

Event Keep(std::initializer_list<int> values) { return {.aspect = Keeping, .arg = Bag(values)}; }
Event Score(Category c, int points = 0) {
    return {.aspect = Scoring, .category = c, .arg = std::uint16_t(points)};
}

// A session in its first turn after a roll of 66612, two rolls left.
GameSession Rolled66612() {
    GameSession s;
    NewGameSession(s);
    s.phase = gpGameInProgress;
    s.turnState = {2, ToChoose, Bag({6, 6, 6, 1, 2})};
    for (int v : {6, 6, 6, 1, 2}) ExtendValueList(s.shownDice, v, 1);
    return s;
}

TEST(Tutor, AssessesAChoiceAgainstTheBestOptionOfItsPosition) {
    UseCompleteOptimalTable();
    const GameSession s = Rolled66612();
    EList list;
    ListChoiceOptions(list, OptimalStrategy, s.gameState, 0, s.turnState);
    SortEList(list);
    ASSERT_EQ(list.len, 4 * 2 * 2 + NCategories);   // every sub-bag of 66612, every category

    // Every option: its own value, the list's first as the best, the difference as the loss.
    for (int i = 0; i < list.len; ++i) {
        const EListEntry& o = list.entry[std::size_t(i)];
        Event e = o.event;
        if (e.aspect == Scoring) e.arg = 0;   // the windows raise scorings without points
        const ChoiceAssessment a = SessionAssess(s, OptimalStrategy, e);
        EXPECT_EQ(a.options, list.len);
        EXPECT_EQ(a.mine.expected, o.expected);
        EXPECT_EQ(a.mine.event.arg, o.event.arg);   // a scoring comes back with its points
        EXPECT_TRUE(EqualEvents(a.best.event, list.entry[0].event));
        EXPECT_EQ(a.loss, list.entry[0].expected - o.expected);
        EXPECT_GE(a.loss, 0.0);
        EXPECT_EQ(a.identical, i == 0);
        // The tutor asks exactly when the loss reaches the threshold.
        for (double t : TutorThresholds) EXPECT_EQ(TutorQuestions(a, t), i > 0 && a.loss >= t);
    }
    // The best keep of 66612 is 666; scoring it in Aces loses more than 5 points.
    const ChoiceAssessment aces = SessionAssess(s, OptimalStrategy, Score(Aces));
    EXPECT_EQ(ValueBagToString(ValueBagTbl[aces.best.event.arg].bag, false), "666__");
    EXPECT_EQ(aces.mine.event.arg, 1);
    EXPECT_TRUE(TutorQuestions(aces, 5.0));
    // The questions in this position, with the values the advisor lists for it.
    EXPECT_EQ(TutorQuestion(SessionAssess(s, OptimalStrategy, Keep({6, 6}))),
              "Keeping 66 loses 11.18 points against keeping 666 (265.12). Play it anyway?");
    EXPECT_EQ(TutorQuestion(SessionAssess(s, OptimalStrategy, Score(Sixes))),
              "Scoring 18 in Sixes loses 14.59 points against keeping 666 (265.12). Play it "
              "anyway?");

    // Not a choice here: dice that are not on the table, a roll, a used category, no roll left
    // to keep for, or no dice rolled.
    EXPECT_THROW(SessionAssess(s, OptimalStrategy, Keep({5})), RangeError);
    EXPECT_THROW(SessionAssess(s, OptimalStrategy, Event{.aspect = Rolling}), RangeError);
    GameSession used = s;
    used.gameState.free = WithoutCategory(used.gameState.free, Chance);
    EXPECT_THROW(SessionAssess(used, OptimalStrategy, Score(Chance)), RangeError);
    GameSession last = s;
    last.turnState.rollsLeft = 0;
    EXPECT_THROW(SessionAssess(last, OptimalStrategy, Keep({6, 6, 6})), RangeError);
    EXPECT_NO_THROW(SessionAssess(last, OptimalStrategy, Score(Sixes)));
    GameSession fresh;
    NewGameSession(fresh);
    EXPECT_THROW(SessionAssess(fresh, OptimalStrategy, Score(Chance)), RangeError);

    // One option (the last roll, one category free) is no choice: never questioned.
    GameSession one = last;
    MakeGameState(one.gameState, 1u << Aces, 63, false);
    const ChoiceAssessment only = SessionAssess(one, OptimalStrategy, Score(Aces));
    EXPECT_EQ(only.options, 1);
    EXPECT_FALSE(TutorQuestions(only, 0.01));
}

TEST(Tutor, ThresholdsQuestionTextsAndBoundaries) {
    ChoiceAssessment a;
    a.options = 40;
    a.mine.event = Keep({6, 6});
    a.best.event = Keep({6, 6, 6});
    a.best.expected = 241.03;
    a.loss = 3.42;
    EXPECT_EQ(TutorQuestion(a),
              "Keeping 66 loses 3.42 points against keeping 666 (241.03). Play it anyway?");
    a.mine.event = Score(Aces, 12);
    a.best.event = Score(FullHouse, 25);
    a.best.expected = 199.5;
    a.loss = 0.004999;
    EXPECT_EQ(TutorQuestion(a), "Scoring 12 in Aces loses 0.00 points against scoring 25 in "
                                "Full House (199.50). Play it anyway?");
    a.mine.event = Keep({});
    a.best.event = Score(ThreeOfAKind, 23);
    EXPECT_EQ(ChoiceText(a.mine.event), "keeping nothing");
    EXPECT_EQ(ChoiceText(a.best.event), "scoring 23 in Three of a Kind");
    EXPECT_THROW(ChoiceText(Event{.aspect = Rolling}), RangeError);

    // A loss at the threshold is questioned, one just below it is not, as the report's classes.
    for (double t : TutorThresholds) {
        a.loss = t;
        EXPECT_TRUE(TutorQuestions(a, t)) << t;
        a.loss = std::nextafter(t, 0.0);
        EXPECT_FALSE(TutorQuestions(a, t)) << t;
    }
    a.loss = 9.0;
    a.identical = true;
    EXPECT_FALSE(TutorQuestions(a, 0.01));

    // The thresholds as the menu and the settings file write them, and back.
    EXPECT_EQ(TutorThresholdText(0.01), "0.01");
    EXPECT_EQ(TutorThresholdText(1.0), "1.0");
    EXPECT_EQ(TutorThresholdText(5.0), "5.0");
    for (double t : TutorThresholds) EXPECT_EQ(TutorThresholdFromText(TutorThresholdText(t)), t);
    for (const char* bad : {"", "2.0", "1", "0.010", "five", "1.0 "})
        EXPECT_EQ(TutorThresholdFromText(bad), DefaultTutorThreshold) << bad;
}

TEST(Tutor, TheRecordingNotesQuestionedChoicesAndChangesOfMind) {
    UseCompleteOptimalTable();
    GameSession s = Rolled66612();
    // Keep 66 questioned and withdrawn, then 61 questioned and withdrawn, then 666 kept.
    SessionTutorAnswer(s, Keep({6, 6}), false);
    SessionTutorAnswer(s, Keep({6, 1}), false);
    SessionKeep(s, Bag({6, 6, 6}));
    ASSERT_EQ(s.recording.len, 1);
    const TutorNote& first = s.recording.entry[0].tutor;
    EXPECT_FALSE(first.questioned);
    EXPECT_TRUE(first.changedMind);
    EXPECT_TRUE(EqualEvents(first.withdrawn, Keep({6, 6})));

    // The next choice starts with a clean note; Aces questioned and played anyway.
    s.turnState = {1, ToChoose, Bag({6, 6, 6, 1, 1})};
    SessionTutorAnswer(s, Score(Aces, 2), true);
    SessionScore(s, Aces);
    ASSERT_EQ(s.recording.len, 2);
    EXPECT_TRUE(s.recording.entry[1].tutor.questioned);
    EXPECT_FALSE(s.recording.entry[1].tutor.changedMind);

    // Withdrawn once, then questioned again and played: both marks on the one choice.
    s.turnState = {2, ToChoose, Bag({1, 2, 3, 4, 5})};
    SessionTutorAnswer(s, Score(Chance, 15), false);
    SessionTutorAnswer(s, Score(Twos, 2), true);
    SessionScore(s, Twos);
    const TutorNote& both = s.recording.entry[2].tutor;
    EXPECT_TRUE(both.questioned && both.changedMind);
    EXPECT_EQ(both.withdrawn.category, Chance);

    // A choice the tutor left alone has an empty note; the notes change nothing in the report.
    s.turnState = {2, ToChoose, Bag({1, 2, 3, 4, 5})};
    SessionScore(s, LargeStraight);
    EXPECT_FALSE(s.recording.entry[3].tutor.questioned || s.recording.entry[3].tutor.changedMind);
    GameRecording plain = s.recording;
    for (int i = 0; i < plain.len; ++i) plain.entry[std::size_t(i)].tutor = TutorNote{};
    std::vector<std::string> noted, clean;
    WriteGameAnalysis(noted, s.recording, "You", OfficialRules, true, OptimalStrategy);
    WriteGameAnalysis(clean, plain, "You", OfficialRules, true, OptimalStrategy);
    EXPECT_EQ(noted, clean);

    // A pending note does not outlive its game, and a reused entry starts empty.
    SessionTutorAnswer(s, Score(Chance), false);
    NewGameSession(s);
    EXPECT_FALSE(s.pendingNote.changedMind);
    InitGameRecording(plain);
    plain.entry[0].tutor.questioned = true;   // left from an earlier game
    ExtendGameRecording(plain, InitialGameState, 0, Score(Chance), {2, ToChoose, Bag({1, 1, 1, 1, 1})});
    EXPECT_FALSE(plain.entry[0].tutor.questioned);
}

}  // namespace
}  // namespace quintor
