// The optimal final score distribution against the tables it must agree with on states too large
// for exact play, and its file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/GeneralStuff.h"
#include "engine/QuintorScoreDistribution.h"
#include "engine/QuintorStrategyAnalysis.h"

namespace quintor {
namespace {

namespace fs = std::filesystem;

// Complete expected-score and variance tables, made once and put back into the optimal strategy.
struct Tables {
    GameStateTable expected, variance;
};
const Tables& CompleteTables() {
    static const Tables t = [] {
        Tables r;
        CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
        ComputeAllOptimalValues(0);
        r.expected = OptimalStrategy->Cache->Table;
        OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
        CreateCache(OptimalStrategy->VarianceCache, "Variance in Final Score", GrandTotal, "");
        ComputeAllVariances(OptimalStrategy, 0);
        r.variance = OptimalStrategy->VarianceCache->Table;
        return r;
    }();
    if (OptimalStrategy->Cache->Table != t.expected) {
        OptimalStrategy->Cache->Table = t.expected;
        OptimalStrategy->Cache->CurrentState.free = 0;
    }
    OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
    return t;
}

const ScoreDistribution& FromStart() {
    static const ScoreDistribution d = ComputeScoreDistribution(CompleteTables().expected, 2);
    return d;
}

GameState State(std::initializer_list<int> cats, int need, bool chip) {
    GameState g;
    for (int c : cats) g.free = WithCategory(g.free, Category(c));
    g.need = std::uint16_t(need);
    g.chip = chip;
    return g;
}

TEST(ScoreDistribution, FromTheStartAgreesWithTheExpectedScoreAndVarianceTables) {
    const Tables& t = CompleteTables();
    const ScoreDistribution& d = FromStart();
    ASSERT_EQ(d.size(), std::size_t(NFinalScores));
    for (double p : d) EXPECT_TRUE(p >= 0.0 && p <= 1.0);
    EXPECT_NEAR(DistributionSum(d), 1.0, 1e-12);
    const double mean = t.expected[std::size_t(GameStateIndex(InitialGameState))];
    EXPECT_NEAR(mean, 254.58961, 5e-6);
    EXPECT_NEAR(DistributionMean(d), mean, 1e-9);
    const double variance = t.variance[std::size_t(GameStateIndex(InitialGameState))];
    EXPECT_NEAR(DistributionVariance(d), variance, 1e-6)
        << "variance table " << Format("%.12f", variance);
    // Scores no game can reach, and the certain ones around the middle.
    EXPECT_EQ(d[1], 0.0);   // Chance alone gives at least 5
    EXPECT_GT(d[254], 0.0);
    // One thread and two give the same bits.
    const ScoreDistribution one = ComputeScoreDistribution(t.expected, 1);
    EXPECT_EQ(std::memcmp(one.data(), d.data(), DistributionFileBytes), 0);
}

TEST(ScoreDistribution, FromAnyPointAgreesWithTheTables) {
    const Tables& t = CompleteTables();
    // The start of a game, as a point, is the game's own distribution, bit for bit.
    const ScoreDistribution start = DistributionFrom(t.expected, InitialGameState, 0, InitialTurnState, 2);
    EXPECT_EQ(std::memcmp(start.data(), FromStart().data(), DistributionFileBytes), 0);

    // Start-of-turn points late in a game: mean and variance of the tables, shifted by the total.
    for (const GameState& g : {State({Aces, Fours, FullHouse, QuintorCat, Chance}, 7, false),
                               State({Threes, Sixes, SmallStraight, LargeStraight}, 21, true)}) {
        const int total = 140;
        const ScoreDistribution d = DistributionFrom(t.expected, g, total, InitialTurnState, 2);
        EXPECT_NEAR(DistributionSum(d), 1.0, 1e-12);
        EXPECT_NEAR(DistributionMean(d), total + t.expected[std::size_t(GameStateIndex(g))], 1e-9);
        EXPECT_NEAR(DistributionVariance(d), t.variance[std::size_t(GameStateIndex(g))], 1e-6);
        for (int s = 0; s < total; ++s) EXPECT_EQ(d[std::size_t(s)], 0.0);

        // A roll to choose from, and kept dice about to be rolled: the tables' values.
        const TurnState roll{1, ToChoose, ValueBagRank(NValueBag4Ranks + 100)};
        const ScoreDistribution atRoll = DistributionFrom(t.expected, g, total, roll, 2);
        EXPECT_NEAR(DistributionSum(atRoll), 1.0, 1e-12);
        ComputeOptimalTurn(g);
        const double value = OptimalStrategy->Cache->RollValue[1][roll.dice];
        EXPECT_NEAR(DistributionMean(atRoll), total + value, 1e-9);
        const TargetChances c = ChancesToReach(t.expected, g, total, roll, total + 60, 2);
        EXPECT_NEAR(c.point, ChanceToReach(atRoll, total + 60), 1e-15);
        // Too large for the exact play: the option the strategy takes has the point's chance.
        Event chosen;
        ChooseEvent(OptimalStrategy, g, roll, total, chosen, false);
        int matches = 0;
        for (std::size_t o = 0; o < c.options.size(); ++o) {
            const PointOption& op = c.options[o];
            if (op.aspect == chosen.aspect &&
                (op.aspect == Scoring ? op.category == chosen.category : op.bag == chosen.arg)) {
                ++matches;
                EXPECT_NEAR(c.chance[o], c.point, 1e-14);
            }
        }
        EXPECT_EQ(matches, 1);
        // Each target is its own pair of passes; the chance never rises with it.
        double before = 1.0;
        for (int target = total + 10; target <= total + 150; target += 10) {
            const double now = ChancesToReach(t.expected, g, total, roll, target, 2).point;
            EXPECT_LE(now, before + 1e-15) << "target " << target;
            before = now;
        }
        EXPECT_NEAR(ChancesToReach(t.expected, g, total, roll, total, 2).point, 1.0, 1e-12);
        const TurnState kept{2, ToRoll, ValueBagRank(12)};
        const ScoreDistribution atKeep = DistributionFrom(t.expected, g, total, kept, 2);
        // It is the mixture of its outcomes' distributions, each at its chance.
        ScoreDistribution mix(NFinalScores, 0.0);
        for (const PointOption& op : PointOptions(g, total, kept)) {
            EXPECT_EQ(op.aspect, Rolling);
            const ScoreDistribution od = DistributionFrom(t.expected, op.game, op.total, op.turn, 2);
            for (int s = 0; s < NFinalScores; ++s) mix[std::size_t(s)] += op.p * od[std::size_t(s)];
        }
        for (int s = 0; s < NFinalScores; ++s) EXPECT_NEAR(atKeep[std::size_t(s)], mix[std::size_t(s)], 1e-14);
        EXPECT_NEAR(DistributionMean(atKeep), total + OptimalStrategy->Cache->KeeperValue[2][12], 1e-9);
    }

    // A finished game is its total; points that are none are refused.
    const ScoreDistribution over = DistributionFrom(t.expected, GameState{0, 0, true}, 300, InitialTurnState);
    EXPECT_EQ(over[300], 1.0);
    EXPECT_THROW(DistributionFrom(t.expected, InitialGameState, 0, {3, ToRoll, 5}), RangeError);
    EXPECT_THROW(DistributionFrom(t.expected, InitialGameState, 0, {3, ToChoose, 300}), RangeError);
    EXPECT_THROW(DistributionFrom(t.expected, InitialGameState, 0, {1, ToChoose, 5}), RangeError);
    EXPECT_THROW(DistributionFrom(t.expected, InitialGameState, 2000, InitialTurnState), RangeError);
    EXPECT_THROW(DistributionFrom(t.expected, InitialGameState, 0, {0, ToRoll, 0}), RangeError);
}

TEST(ScoreDistribution, ChancesAlongAGameAreEachPointsOwn) {
    const Tables& t = CompleteTables();
    // Points of two turns of one game and of its end: the start of a turn, rolls to choose from,
    // kept dice about to be rolled. Each point's chance is the tail of its own distribution, which
    // the forward pass computes independently of the backward pass over what play reaches.
    const GameState early = State({Twos, Fives, ThreeOfAKind, FullHouse, LargeStraight, Chance}, 12, true);
    const GameState later = State({Twos, FullHouse, LargeStraight, Chance}, 2, true);
    const std::vector<GamePoint> points = {
        {early, 150, InitialTurnState},
        {early, 150, {2, ToChoose, ValueBagRank(NValueBag4Ranks + 17)}},
        {early, 150, {2, ToRoll, ValueBagRank(9)}},
        {early, 150, {0, ToChoose, ValueBagRank(NValueBag4Ranks + 251)}},
        {later, 201, InitialTurnState},
        {later, 201, {1, ToRoll, ValueBagRank(0)}},
        {later, 201, {1, ToChoose, ValueBagRank(NValueBag4Ranks + 120)}},
        {GameState{0, 0, false}, 260, InitialTurnState},
    };
    for (const int target : {180, 260, 320, 2000}) {
        const std::vector<double> chances = ChancesAtPoints(t.expected, points, target, 2);
        ASSERT_EQ(chances.size(), points.size());
        for (std::size_t n = 0; n < points.size(); ++n) {
            const GamePoint& p = points[n];
            const ScoreDistribution d = DistributionFrom(t.expected, p.game, p.total, p.turn, 2);
            const double tail = target > MaxPoints ? 0.0 : ChanceToReach(d, target);
            EXPECT_NEAR(chances[n], tail, 1e-12) << "point " << n << " target " << target;
            if (p.game.free != 0) {
                EXPECT_NEAR(ChancesToReach(t.expected, p.game, p.total, p.turn, target, 1).point,
                            chances[n], 1e-15)
                    << "point " << n << " target " << target;
            }
        }
    }
    EXPECT_THROW(ChancesAtPoints(t.expected, {{early, 150, {3, ToRoll, 5}}}, 200), RangeError);

    // Both passes report each layer (five free categories after the early turn: five layers
    // forward, five back), and a caller that wants no more gets nothing.
    std::vector<std::pair<int, int>> steps;
    const TargetChances all = ChancesToReach(t.expected, early, 150, points[1].turn, 260, 2,
                                             [&steps](int done, int of) {
                                                 steps.push_back({done, of});
                                                 return true;
                                             });
    EXPECT_FALSE(all.chance.empty());
    ASSERT_EQ(steps.size(), 10u);
    for (std::size_t k = 0; k < steps.size(); ++k) EXPECT_EQ(steps[k], std::make_pair(int(k) + 1, 10));
    int calls = 0;
    const auto stopAtThird = [&calls](int, int) { return ++calls < 3; };
    const TargetChances none = ChancesToReach(t.expected, early, 150, points[1].turn, 260, 2, stopAtThird);
    EXPECT_TRUE(none.options.empty() && none.chance.empty());
    EXPECT_EQ(calls, 3);
    calls = 0;
    EXPECT_TRUE(ChancesAtPoints(t.expected, points, 260, 2, stopAtThird).empty());
    EXPECT_EQ(calls, 3);
}

TEST(ScoreDistribution, PercentilesAndChancesOfAScore) {
    ScoreDistribution d(NFinalScores, 0.0);
    d[100] = 0.25;
    d[200] = 0.5;
    d[300] = 0.25;
    EXPECT_DOUBLE_EQ(ScorePercentile(d, 100), 0.125);
    EXPECT_DOUBLE_EQ(ScorePercentile(d, 150), 0.25);
    EXPECT_DOUBLE_EQ(ScorePercentile(d, 200), 0.5);
    EXPECT_DOUBLE_EQ(ScorePercentile(d, 1575), 1.0);
    EXPECT_DOUBLE_EQ(ChanceToReach(d, 200), 0.75);
    EXPECT_DOUBLE_EQ(ChanceToReach(d, 201), 0.25);
    EXPECT_DOUBLE_EQ(ChanceToReach(d, 0), 1.0);
    EXPECT_EQ(ScoreAtPercentile(d, 0.01), 100);
    EXPECT_EQ(ScoreAtPercentile(d, 0.25), 100);
    EXPECT_EQ(ScoreAtPercentile(d, 0.26), 200);
    EXPECT_EQ(ScoreAtPercentile(d, 0.99), 300);
    EXPECT_EQ(ScoreAtPercentile(d, 1.0), 300);
    EXPECT_THROW(ScorePercentile(d, 1576), RangeError);
    EXPECT_THROW(ChanceToReach(d, -1), RangeError);

    // The real one: the median and the chance of 300 of an optimal player.
    const ScoreDistribution& real = FromStart();
    const int median = ScoreAtPercentile(real, 0.5);
    EXPECT_GT(median, 230);
    EXPECT_LT(median, 260);
    EXPECT_NEAR(ChanceToReach(real, 0), 1.0, 1e-12);
    EXPECT_NEAR(ScorePercentile(real, median), 0.5, 0.02);
}

TEST(ScoreDistribution, FileRoundTripsAndRefusesBadFiles) {
    CompleteTables();
    const fs::path dir = fs::temp_directory_path() / ("quintor-dist-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const double mean = OptimalStateValue(InitialGameState);
    const std::string file = (dir / DistributionFileName).string();
    SaveScoreDistribution(file, FromStart());
    ASSERT_EQ(fs::file_size(file), DistributionFileBytes);
    ScoreDistribution d;
    LoadScoreDistribution(file, mean, d);
    EXPECT_EQ(std::memcmp(d.data(), FromStart().data(), DistributionFileBytes), 0);
    EXPECT_EQ(OptimalScoreDistribution(dir.string()), d);

    const auto expectRefused = [&](const std::string& bytes, const char* why) {
        { std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes; }
        ScoreDistribution kept = d;
        try {
            LoadScoreDistribution(file, mean, kept);
            ADD_FAILURE() << "loaded a file with " << why;
        } catch (const IOError& e) {
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
        }
        EXPECT_EQ(kept, d) << why;
    };
    std::string good(reinterpret_cast<const char*>(d.data()), DistributionFileBytes);
    expectRefused(good.substr(0, 100), "too few bytes");
    expectRefused(good + "x", "a byte too many");
    std::string nan = good;
    const double q = std::nan("");
    std::memcpy(nan.data() + 8 * 250, &q, 8);
    expectRefused(nan, "a NaN");
    std::string shifted(8, '\0');   // every score one point higher: sum 1, mean one more
    shifted += good.substr(0, DistributionFileBytes - 8);
    expectRefused(shifted, "the mean of other tables");
    std::string half = good;
    const double h = d[250] + 0.5;
    std::memcpy(half.data() + 8 * 250, &h, 8);
    expectRefused(half, "a sum above 1");
    // A bad file is computed again and replaced.
    EXPECT_EQ(OptimalScoreDistribution(dir.string()), d);
    ScoreDistribution again;
    LoadScoreDistribution(file, mean, again);
    EXPECT_EQ(again, d);
    fs::remove(file);
    expectRefused(std::string(), "nothing");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace quintor
