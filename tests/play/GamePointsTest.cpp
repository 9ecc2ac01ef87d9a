// The points of a recorded game, as the game session passed through them, and the chance to
// reach a target at each, against the engine's chances at single points.
#include <gtest/gtest.h>

#include "PlayTestSupport.h"
#include "tests/support/SessionPlay.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"
#include "play/QuintorLuckAndSkill.h"

namespace quintor {
namespace {

bool SamePoint(const GamePoint& a, const GamePoint& b) {
    return EqualGameStates(a.game, b.game) && a.total == b.total &&
           a.turn.phase == b.turn.phase && a.turn.rollsLeft == b.turn.rollsLeft &&
           a.turn.dice == b.turn.dice;
}

// A game with fair dice that keeps the first two shown dice after a turn's first roll and the
// first three after its second in every third turn, else scores the first free category; it
// stops before step abortAt. seen: the session's point before the first roll and after every
// roll and every choice.
GameSession Play(std::uint32_t seed, std::vector<GamePoint>& seen, int abortAt = -1) {
    return testsupport::PlaySessionWith(
        seed, abortAt,
        [](GameSession& s) {
            const int turn = NTurnsPerGame - CategorySetSize(s.gameState.free);
            if (turn % 3 == 0 && s.turnState.rollsLeft > 0)
                SessionKeep(s, testsupport::FirstShownDice(s, s.turnState.rollsLeft == 2 ? 2 : 3));
            else
                SessionScore(s, testsupport::FirstFreeCategory(s));
        },
        [&seen](const GameSession& s) { seen.push_back({s.gameState, SessionTotal(s), s.turnState}); });
}

TEST(GamePoints, TheSessionsPointsAndTheChancesAtThem) {
    UseCompleteOptimalTable();
    const GameStateTable& table = OptimalStrategy->Cache->Table;
    std::vector<GamePoint> seen;
    const GameSession s = Play(77, seen);
    ASSERT_EQ(s.phase, gpGameOver);
    const std::vector<GamePoint> points = GamePoints(s.recording, OptimalStrategy->Rules);
    ASSERT_EQ(points.size(), 1 + 2 * std::size_t(s.recording.len));
    ASSERT_EQ(points.size(), seen.size());
    int keeps = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        // The session leaves its turn as it was when the game ends; the game's end is no turn.
        if (i + 1 == points.size())
            seen[i].turn = InitialTurnState;
        EXPECT_TRUE(SamePoint(points[i], seen[i])) << i;
        keeps += i > 0 && i % 2 == 0 && points[i].turn.phase == ToRoll && points[i].turn.rollsLeft < 3;
    }
    EXPECT_GE(keeps, 4);   // kept dice after the first and after the second roll
    EXPECT_TRUE(GameOver(points.back().game));
    EXPECT_EQ(points.back().total, SessionTotal(s));

    // The last turns' points (three categories free or fewer), a few targets: each chance is
    // the engine's at that point, and after a choice the chance of that option at the roll.
    std::size_t from = 0;
    while (CategorySetSize(points[from].game.free) > 3) ++from;
    const std::vector<GamePoint> tail(points.begin() + std::ptrdiff_t(from), points.end());
    ASSERT_GE(tail.size(), 6u);
    for (int target : {SessionTotal(s) - 20, SessionTotal(s), SessionTotal(s) + 1}) {
        std::vector<std::pair<int, int>> progress;
        const std::vector<double> c =
            ChancesThroughGame(table, tail, target, nullptr,
                               [&progress](int done, int all) { progress.push_back({done, all}); });
        ASSERT_EQ(c.size(), tail.size());
        for (std::size_t i = 0; i < tail.size(); ++i) {
            const GamePoint& p = tail[i];
            EXPECT_NEAR(c[i], ChancesToReach(table, p.game, p.total, p.turn, target).point, 1e-12) << i;
        }
        for (std::size_t i = 0; i + 1 < tail.size(); ++i) {
            if (tail[i].turn.phase != ToChoose) continue;
            const TargetChances at = ChancesToReach(table, tail[i].game, tail[i].total, tail[i].turn, target);
            const GameRecordingEntry& e = s.recording.entry[(from + i - 1) / 2];
            bool found = false;
            for (std::size_t o = 0; o < at.options.size(); ++o) {
                const PointOption& op = at.options[o];
                if (op.aspect != e.event.aspect ||
                    (e.event.aspect == Scoring ? op.category != e.event.category : op.bag != e.event.arg))
                    continue;
                found = true;
                EXPECT_NEAR(c[i + 1], at.chance[o], 1e-12) << i;
            }
            EXPECT_TRUE(found) << i;
        }
        // The finished game: reached or not.
        EXPECT_EQ(c.back(), SessionTotal(s) >= target ? 1.0 : 0.0);
        // Progress layer by layer of both passes (two and one free and the end, forward and
        // back), to the end.
        ASSERT_EQ(progress.size(), 4u);
        for (std::size_t k = 1; k < progress.size(); ++k) EXPECT_GT(progress[k].first, progress[k - 1].first);
        EXPECT_EQ(progress.back(), std::make_pair(4, 4));
    }
    // Asked to stop: before the first group nothing is computed, after it nothing is returned.
    std::atomic<bool> stop{true};
    int calls = 0;
    EXPECT_TRUE(ChancesThroughGame(table, tail, 250, &stop, [&calls](int, int) { ++calls; }).empty());
    EXPECT_EQ(calls, 0);
    stop = false;
    EXPECT_TRUE(ChancesThroughGame(table, tail, 250, &stop, [&stop](int, int) { stop = true; }).empty());

    // An aborted game ends at the position after its last choice.
    seen.clear();
    const GameSession aborted = Play(78, seen, 10);
    const std::vector<GamePoint> part = GamePoints(aborted.recording, OptimalStrategy->Rules);
    ASSERT_EQ(part.size(), 1 + 2 * std::size_t(aborted.recording.len));
    ASSERT_EQ(part.size(), seen.size());
    for (std::size_t i = 0; i < part.size(); ++i) EXPECT_TRUE(SamePoint(part[i], seen[i])) << i;
    EXPECT_FALSE(GameOver(part.back().game));
}

}  // namespace
}  // namespace quintor
