// A game played through the game session, analysed against the complete optimal table, turned
// into a history game, stored and read back, and rebuilt from the history with its report.
#include <cmath>
#include <set>

#include "hardening/HardeningSupport.h"
#include "history/HistoryRecording.h"
#include "tests/support/SessionPlay.h"
#include "play/PlayTestSupport.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"
#include "play/QuintorStateAnalyzer.h"
#include "play/QuintorTutor.h"
#include "history/QuintorDrills.h"
#include "history/SqliteDatabase.h"

using namespace quintor;
using quintor::hardening::TempFolder;

namespace {

// A fixed game with fair dice: on odd turns the first roll keeps the first two shown dice,
// then the first free category is scored (often not the best). Stops before step abortAt.
GameSession PlaySession(std::uint32_t seed, int abortAt = -1) {
    return testsupport::PlaySessionWith(seed, abortAt, [](GameSession& s) {
        if (s.turnState.rollsLeft == 2 && CategorySetSize(s.gameState.free) % 2 == 1)
            SessionKeep(s, testsupport::FirstShownDice(s, 2));
        else
            SessionScore(s, testsupport::FirstFreeCategory(s));
    });
}

// Uniform over 0..399: the percentile of s is (s + 0.5) / 4 percent.
ScoreDistribution Uniform400() {
    ScoreDistribution d(NFinalScores, 0.0);
    for (int s = 0; s < 400; ++s) d[std::size_t(s)] = 1.0 / 400.0;
    return d;
}

}  // namespace

TEST(HistoryRecording, FinishedAndAbortedGamesFromTheSessionCountAndStoreAsTheirAnalysis) {
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

        // Every choice (its position is read back by the rebuilding test below): the turn counts
        // as the report counts, and the values are the analysis's.
        for (int i = 0; i < s.recording.len; ++i) {
            const GameRecordingEntry& r = s.recording.entry[std::size_t(i)];
            const HistoryChoice& c = g.choices[std::size_t(i)];
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
}

namespace {

// The session of PlaySession with the tutor's say at three choices: the first keeping was
// questioned, withdrawn once for keeping nothing and then played; the second scoring was played
// after the question; the third scoring was first tried in the last free category.
GameSession PlayTutoredSession(std::uint32_t seed, int abortAt = -1) {
    int keeps = 0, scorings = 0;
    return testsupport::PlaySessionWith(seed, abortAt, [&keeps, &scorings](GameSession& s) {
        if (s.turnState.rollsLeft == 2 && CategorySetSize(s.gameState.free) % 2 == 1) {
            Event keep;
            keep.aspect = Keeping;
            keep.arg = testsupport::FirstShownDice(s, 2);
            if (keeps++ == 0) {
                Event nothing;
                nothing.aspect = Keeping;
                nothing.arg = RankFromValueBag(ValueBag{});
                SessionTutorAnswer(s, SessionAssess(s, OptimalStrategy, nothing).mine.event, false);
                SessionTutorAnswer(s, keep, true);
            }
            SessionKeep(s, keep.arg);
        } else {
            const Category c = testsupport::FirstFreeCategory(s);
            int last = NCategories - 1;
            while (!InSet(s.gameState.free, last)) --last;
            Event score;
            score.aspect = Scoring;
            score.category = c;
            if (scorings == 1) SessionTutorAnswer(s, score, true);
            if (scorings == 2 && last != c) {
                score.category = Category(last);
                SessionTutorAnswer(s, SessionAssess(s, OptimalStrategy, score).mine.event, false);
            }
            ++scorings;
            SessionScore(s, c);
        }
    });
}

std::vector<std::string> Report(const GameRecording& rec) {
    std::vector<std::string> lines;
    WriteGameAnalysis(lines, rec, "You", OfficialRules, true, OptimalStrategy);
    return lines;
}

void ExpectSameRecording(const GameRecording& a, const GameRecording& b) {
    ASSERT_EQ(a.len, b.len);
    for (int i = 0; i < a.len; ++i) {
        const GameRecordingEntry &x = a.entry[std::size_t(i)], &y = b.entry[std::size_t(i)];
        EXPECT_TRUE(EqualGameStates(x.gameState, y.gameState)) << i;
        EXPECT_EQ(x.total, y.total) << i;
        EXPECT_TRUE(x.turnState.rollsLeft == y.turnState.rollsLeft && x.turnState.phase == y.turnState.phase &&
                    x.turnState.dice == y.turnState.dice) << i;
        EXPECT_TRUE(EqualEvents(x.event, y.event) && x.event.arg == y.event.arg) << i;
        EXPECT_EQ(x.tutor.questioned, y.tutor.questioned) << i;
        EXPECT_EQ(x.tutor.changedMind, y.tutor.changedMind) << i;
        if (x.tutor.changedMind && y.tutor.changedMind) {
            EXPECT_TRUE(EqualEvents(x.tutor.withdrawn, y.tutor.withdrawn) && x.tutor.withdrawn.arg == y.tutor.withdrawn.arg) << i;
        }
    }
}

}  // namespace

TEST(HistoryRecording, TheTutorsNotesAreStoredAndTheGameIsRebuiltWithTheSameReport) {
    UseCompleteOptimalTable();
    TempFolder folder;
    HistoryDatabase db(folder / HistoryFileName);
    for (const int abortAt : {-1, 23}) {
        SCOPED_TRACE(abortAt);
        const GameSession s = PlayTutoredSession(777, abortAt);
        // The notes are where the session put them.
        int questioned = 0, changed = 0;
        for (int i = 0; i < s.recording.len; ++i) {
            questioned += s.recording.entry[std::size_t(i)].tutor.questioned;
            changed += s.recording.entry[std::size_t(i)].tutor.changedMind;
        }
        ASSERT_EQ(questioned, 2);
        ASSERT_EQ(changed, 2);
        const LuckAndSkill a = AnalyseLuckAndSkill(s.recording, OptimalStrategy);
        const HistoryGame g = HistoryGameFromRecording(s.recording, a, {}, "fair", 1'700'000'000, 1'700'000'100);
        ASSERT_TRUE(db.StoreGame(g).ok);
        const std::optional<HistoryGame> back = db.ReadGame(abortAt < 0 ? 1 : 2);
        ASSERT_TRUE(back.has_value());
        ASSERT_EQ(back->choices.size(), std::size_t(s.recording.len));
        GameRecording rebuilt;
        rebuilt.len = 99;   // whatever was there goes
        EXPECT_EQ(RecordingFromHistoryGame(*back, rebuilt), "");
        ExpectSameRecording(rebuilt, s.recording);
        EXPECT_EQ(Report(rebuilt), Report(s.recording));
        const LuckAndSkill again = AnalyseLuckAndSkill(rebuilt, OptimalStrategy);
        EXPECT_EQ(again.loss, a.loss);
        EXPECT_EQ(again.luck, a.luck);
        EXPECT_EQ(again.finished, abortAt < 0);
    }

    // Stored choices that do not make a game are refused with the reason, and nothing is rebuilt.
    const std::optional<HistoryGame> game = db.ReadGame(1);
    ASSERT_TRUE(game.has_value());
    GameRecording rec;
    auto refused = [&](HistoryGame g, const std::string& reason) {
        rec.len = 5;
        const std::string err = RecordingFromHistoryGame(g, rec);
        EXPECT_NE(err.find(reason), std::string::npos) << err;
        EXPECT_EQ(rec.len, 0) << err;
    };
    HistoryGame g = *game;
    std::swap(g.choices[4], g.choices[7]);
    refused(g, "choice 5: the position");
    g = *game;
    g.choices.erase(g.choices.begin() + 1);
    refused(g, "does not follow from the choice before it");
    g = *game;
    std::size_t scoring = 0;
    while (g.choices[scoring].choice.aspect != Scoring) ++scoring;
    g.choices[scoring].choice.arg = std::uint16_t(g.choices[scoring].choice.arg + 1);
    refused(g, Format("choice %zu: the scoring gains", scoring + 1));
    g = *game;
    g.choices.push_back(g.choices.back());
    refused(g, "after the game's last scoring");
    g = *game;
    g.choices[0].position = "no position";
    refused(g, "choice 1: the position \"no position\" is not one after a roll");
    g = *game;
    TutorNote& note = g.choices[scoring + 1].tutor;   // withdrawing the scoring just made
    note.changedMind = true;
    note.withdrawn = g.choices[scoring].choice;
    refused(g, Format("choice %zu: the withdrawn choice: it scores in a category that is not free", scoring + 2));
}

// A file of version 2, made here with that version's schema and SQL: its games have no tutor
// notes, are read as unquestioned choices and reopen with their report.
TEST(HistoryRecording, AGameOfAnOlderFileIsMigratedAndReopened) {
    UseCompleteOptimalTable();
    TempFolder folder;
    const std::string file = folder / "v2.sqlite";
    const GameSession s = PlaySession(99);
    const HistoryGame g =
        HistoryGameFromRecording(s.recording, AnalyseLuckAndSkill(s.recording, OptimalStrategy), {}, "fair", 1000, 2000);
    {
        SqliteDb raw(file, true);
        raw.Exec(HistorySchemaStep(0));
        raw.Exec(HistorySchemaStep(1));
        raw.Exec("PRAGMA user_version = 2");
        SqliteStmt game(raw,
            "INSERT INTO games VALUES(7, 1000, 2000, 'fair', 1, ?1, 254.5, ?2, ?3, ?1, 0, 0, 0, 0, 0, 0, NULL, '1.2.0')");
        game.Bind(1, g.finalScore).Bind(2, g.sumLuck).Bind(3, g.sumLoss).Run();
        SqliteStmt choice(raw,
            "INSERT INTO choices(game, seq, turn, rolls_left, kind, position, choice, choice_category, choice_arg,"
            " best, best_category, best_arg, value, best_value, loss, luck, options, identical)"
            " VALUES(7, ?1, ?2, 0, 0, ?3, 'x', ?4, ?5, 'x', ?4, ?5, 1, 1, ?6, 0, 2, 1)");
        for (std::size_t i = 0; i < g.choices.size(); ++i) {
            const HistoryChoice& c = g.choices[i];
            SqliteStmt::Use use(choice);
            choice.Bind(1, std::int64_t(i)).Bind(2, c.turn).Bind(3, c.position);
            if (c.choice.aspect == Scoring)
                choice.Bind(4, int(c.choice.category));
            else
                choice.BindNull(4);
            choice.Bind(5, int(c.choice.arg)).Bind(6, c.loss).Run();
        }
    }
    std::set<std::string> costly;   // the positions the drills take up
    for (const HistoryChoice& c : g.choices)
        if (c.loss >= DrillMistakeLoss) costly.insert(c.position);
    ASSERT_FALSE(costly.empty());
    HistoryDatabase db(file);
    const std::optional<HistoryGame> old = db.ReadGame(7);
    ASSERT_TRUE(old.has_value());
    ASSERT_EQ(old->choices.size(), g.choices.size());
    for (const HistoryChoice& c : old->choices) EXPECT_FALSE(c.tutor.questioned || c.tutor.changedMind);
    std::set<std::string> scheduled;
    for (const DrillItem& item : DrillSchedule(db)) {
        scheduled.insert(item.position);
        EXPECT_EQ(item.due, 2000);   // when the game ended
    }
    EXPECT_EQ(scheduled, costly);
    GameRecording rec;
    ASSERT_EQ(RecordingFromHistoryGame(*old, rec), "");
    ExpectSameRecording(rec, s.recording);
    EXPECT_EQ(Report(rec), Report(s.recording));
    // The migrated file takes a game with the tutor's notes and gives them back.
    const GameSession tutored = PlayTutoredSession(778);
    ASSERT_TRUE(db.StoreGame(HistoryGameFromRecording(
                                 tutored.recording, AnalyseLuckAndSkill(tutored.recording, OptimalStrategy), {}, "fair",
                                 3000, 4000))
                    .ok);
    const std::optional<HistoryGame> added = db.ReadGame(8);
    ASSERT_TRUE(added.has_value());
    ASSERT_EQ(RecordingFromHistoryGame(*added, rec), "");
    ExpectSameRecording(rec, tutored.recording);
    db.Close();
    SqliteDb raw(file, false);
    SqliteStmt v(raw, "PRAGMA user_version");
    ASSERT_TRUE(v.Step());
    EXPECT_EQ(v.Int(0), 3);
}
