// A game played through the game session, analysed against the complete optimal table, turned
// into a history game, stored and read back.
#include <cmath>

#include "hardening/HardeningSupport.h"
#include "history/HistoryRecording.h"
#include "play/PlayTestSupport.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"
#include "play/QuintorStateAnalyzer.h"

using namespace quintor;
using quintor::hardening::TempFolder;

namespace {

// A fixed game with fair dice: on odd turns the first roll keeps the first two shown dice,
// then the first free category is scored (often not the best). Stops before step abortAt.
GameSession PlaySession(std::uint32_t seed, int abortAt = -1) {
    SeedGenerator(seed);
    GameSession s;
    NewGameSession(s);
    for (int step = 0; s.phase != gpGameOver; ++step) {
        if (step == abortAt) {
            AbortSession(s);
            break;
        }
        if (s.turnState.phase == ToRoll) {
            SessionRoll(s, FairDice());
        } else if (s.turnState.rollsLeft == 2 && CategorySetSize(s.gameState.free) % 2 == 1) {
            ValueList first;
            ExtendValueList(first, s.shownDice.val[0], 1);
            ExtendValueList(first, s.shownDice.val[1], 1);
            ValueBag b;
            ValueBagFromValueList(b, first);
            SessionKeep(s, RankFromValueBag(b));
        } else {
            int c = 0;
            while (!InSet(s.gameState.free, c)) ++c;
            SessionScore(s, Category(c));
        }
    }
    return s;
}

// Uniform over 0..399: the percentile of s is (s + 0.5) / 4 percent.
ScoreDistribution Uniform400() {
    ScoreDistribution d(NFinalScores, 0.0);
    for (int s = 0; s < 400; ++s) d[std::size_t(s)] = 1.0 / 400.0;
    return d;
}

}  // namespace

TEST(HistoryRecording, FinishedAndAbortedGamesFromTheSessionStoredAndReadBack) {
    UseCompleteOptimalTable();
    TempFolder folder;
    HistoryDatabase db(folder / HistoryFileName);
    const ScoreDistribution d = Uniform400();

    for (const int abortAt : {-1, 17}) {
        SCOPED_TRACE(abortAt);
        const GameSession s = PlaySession(4242, abortAt);
        const LuckAndSkill a = AnalyseLuckAndSkill(s.recording, OptimalStrategy);
        const HistoryGame g = HistoryGameFromRecording(s.recording, a, d, "fair", 1'700'000'000, 1'700'000'321);
        ASSERT_EQ(HistoryGameError(g), "");
        EXPECT_EQ(g.finished, abortAt < 0);
        EXPECT_EQ(g.finalScore, SessionTotal(s));
        EXPECT_EQ(g.started, 1'700'000'000);
        EXPECT_EQ(g.ended, 1'700'000'321);
        EXPECT_EQ(g.version, VersionText);
        if (g.finished) {
            ASSERT_TRUE(g.percentile.has_value());
            EXPECT_NEAR(*g.percentile, (g.finalScore + 0.5) / 4.0, 1e-9);
            EXPECT_NEAR(g.startValue + g.sumLuck - g.sumLoss, g.finalScore, 1e-6);
            EXPECT_EQ(g.endValue, g.finalScore);
        } else {
            EXPECT_FALSE(g.percentile.has_value());
            EXPECT_LT(g.choices.size(), 39u);
        }
        EXPECT_NEAR(g.startValue, 254.58961, 1e-4);

        // The counts are the report's: choices with more than one option, identical ones, and
        // the others by the report's delta classes.
        ASSERT_EQ(g.choices.size(), std::size_t(s.recording.len));
        ChoiceCounts expected;
        double loss = 0.0, luck = 0.0;
        for (const ChoiceAnalysis& c : a.choices) {
            loss += c.loss;
            luck += c.luck;
            if (c.noChoice) continue;
            ++expected.choices;
            if (c.identical) ++expected.identical;
            if (c.deltaClass >= 0) ++expected.byClass[std::size_t(c.deltaClass)];
        }
        EXPECT_EQ(g.counts.choices, expected.choices);
        EXPECT_EQ(g.counts.identical, expected.identical);
        EXPECT_EQ(g.counts.byClass, expected.byClass);
        EXPECT_GT(g.counts.choices - g.counts.identical, 0);   // first-free scoring loses somewhere
        EXPECT_NEAR(g.sumLoss, loss, 1e-9);
        EXPECT_NEAR(g.sumLuck, luck, 1e-9);

        // Every choice: its position reads back as the recorded one, the turn counts as the
        // report counts, and the values are the analysis's.
        for (int i = 0; i < s.recording.len; ++i) {
            const GameRecordingEntry& r = s.recording.entry[std::size_t(i)];
            const HistoryChoice& c = g.choices[std::size_t(i)];
            AbstractState st;
            ASSERT_TRUE(ReadAbstractState(c.position, st)) << c.position << ": " << st.error;
            EXPECT_TRUE(EqualGameStates(st.gameState, r.gameState)) << c.position;
            EXPECT_EQ(st.total, r.total);
            EXPECT_EQ(st.turnState.dice, r.turnState.dice);
            EXPECT_EQ(st.turnState.rollsLeft, r.turnState.rollsLeft);
            EXPECT_TRUE(EqualEvents(c.choice, r.event));
            EXPECT_EQ(c.turn, NCategories + 1 - CategorySetSize(r.gameState.free));
            EXPECT_EQ(c.loss, a.choices[std::size_t(i)].loss);
            EXPECT_EQ(c.luck, a.choices[std::size_t(i)].luck);
            EXPECT_NEAR(c.bestValue - c.value, c.loss, 1e-12);
            EXPECT_EQ(c.options == 1, a.choices[std::size_t(i)].noChoice);
            if (!a.choices[std::size_t(i)].noChoice) {
                EXPECT_EQ(c.options, RecordedOptionCount(r));
            }
            EXPECT_EQ(EqualEvents(c.choice, c.best), a.choices[std::size_t(i)].identical || c.options == 1);
        }

        const HistoryResult stored = db.StoreGame(g);
        ASSERT_TRUE(stored.ok) << stored.message;
    }
    // Both come back as they went in.
    const std::optional<HistoryGame> first = db.ReadGame(1), second = db.ReadGame(2);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->finished);
    EXPECT_FALSE(second->finished);
    const GameSession s = PlaySession(4242);
    EXPECT_EQ(first->finalScore, SessionTotal(s));
    ASSERT_EQ(first->choices.size(), std::size_t(s.recording.len));
    const HistoryGame again = HistoryGameFromRecording(
        s.recording, AnalyseLuckAndSkill(s.recording, OptimalStrategy), d, "fair", 1'700'000'000, 1'700'000'321);
    for (std::size_t i = 0; i < again.choices.size(); ++i) {
        EXPECT_EQ(first->choices[i].position, again.choices[i].position);
        EXPECT_TRUE(EqualEvents(first->choices[i].best, again.choices[i].best));
        EXPECT_DOUBLE_EQ(first->choices[i].value, again.choices[i].value);
    }
    EXPECT_EQ(first->counts.byClass, again.counts.byClass);
}
