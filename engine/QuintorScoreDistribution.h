// The exact distribution of the final score under optimal play from the start of a game, its
// small file beside the tables, and what it tells about one final score.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/QuintorStrategies.h"

namespace quintor {

constexpr int NFinalScores = MaxPoints + 1;   // final scores 0..1575
constexpr std::size_t DistributionFileBytes = std::size_t(NFinalScores) * sizeof(double);
inline constexpr const char* DistributionFileName = "OptEScore-Official-D.dist";

// P(final score = s) for s = 0..1575; always NFinalScores entries.
using ScoreDistribution = std::vector<double>;

// Forward over the game states layer by layer (number of categories scored), each reached state
// carrying the distribution of the score so far over the range it can have. The choices are the
// optimal strategy's: the turn tables' best keepers and categories and KeepRatherThanScore.
// table must be complete (RangeError otherwise); progress(k) is called on the calling thread after
// k turns. The result is the same for every thread count. From another start state than the
// game's, it is the distribution of the points still to be scored from the start of its turn.
ScoreDistribution ComputeScoreDistribution(const GameStateTable& table, int threads = 0,
                                           const std::function<void(int)>& progress = {},
                                           const GameState& start = InitialGameState);

// The file is the raw image of the 1576 little-endian doubles. Saving writes a run-log line and
// replaces the file atomically. Loading raises IOError naming the file when it is missing, not
// exactly 12,608 bytes, holds an entry that is no probability, does not sum to 1 (within 1e-9),
// or has a mean other than expectedMean (within 1e-6: a file made from other tables); d is left
// untouched then.
// The distribution of the final score under optimal play from any point of a game: the game
// state g, the total so far and the turn state t (the start of a turn, a roll to choose from with
// t.rollsLeft rolls left, or kept dice t.dice about to be rolled with t.rollsLeft rolls left).
// The total does not change what is still to come; it only shifts it. RangeError for a turn
// state that is no point of a turn or a final score above 1575.
ScoreDistribution DistributionFrom(const GameStateTable& table, const GameState& g, int total,
                                   const TurnState& t, int threads = 0);

// One option of a point: a scoring or a keeping of the roll (phase ToChoose) or an outcome of the
// roll (phase ToRoll), with the point it leads to and its probability (outcomes only; 1 else).
struct PointOption {
    EventAspect aspect = Scoring;
    Category category = 0;     // scorings
    ValueBagRank bag = 0;      // keepings: the kept dice; outcomes: the rolled five-dice bag
    GameState game;
    int total = 0;
    TurnState turn;
    double p = 1.0;
};
// Every option of a point: the scorings in category order, then the keepings of the roll in
// sub-bag order (with rolls left), or the outcomes of the roll in bag order.
std::vector<PointOption> PointOptions(const GameState& g, int total, const TurnState& t);

// P(final >= target) from a point and from each of its options (in PointOptions order).
struct TargetChances {
    double point = 0.0;
    std::vector<PointOption> options;
    std::vector<double> chance;
};
// step as for ChancesAtPoints: once it returns false, the result is empty (no options).
TargetChances ChancesToReach(const GameStateTable& table, const GameState& g, int total,
                             const TurnState& t, int target, int threads = 0,
                             const std::function<bool(int, int)>& step = {});

// A point of a game: the game state, the total so far and the turn state.
struct GamePoint {
    GameState game;
    int total = 0;
    TurnState turn;
};
// P(final >= target) under optimal play from each of the points (in their order), for example
// every point of one recorded game. RangeError as for DistributionFrom. step(done, all), when
// given, is called on the calling thread after each of the passes' layers; once it returns false
// the work ends there and the result is empty.
std::vector<double> ChancesAtPoints(const GameStateTable& table,
                                    const std::vector<GamePoint>& points, int target,
                                    int threads = 0,
                                    const std::function<bool(int, int)>& step = {});

void SaveScoreDistribution(const std::string& fileName, const ScoreDistribution& d);
void LoadScoreDistribution(const std::string& fileName, double expectedMean, ScoreDistribution& d);

// The creation run, after the expected-score table's: run-log lines, the distribution of the
// optimal strategy's complete table, saved as location/OptEScore-Official-D.dist.
// progress as for ComputeScoreDistribution.
void CreateScoreDistribution(const std::string& location, int threads = 0,
                             const std::function<void(int)>& progress = {});
// The distribution for the optimal strategy's table: read from location when the file there is
// good, else computed and saved there (a location that takes no file is only logged).
ScoreDistribution OptimalScoreDistribution(const std::string& location,
                                           const std::function<void(int)>& progress = {});

double DistributionSum(const ScoreDistribution& d);
double DistributionMean(const ScoreDistribution& d);
double DistributionVariance(const ScoreDistribution& d);
// The share (0..1) of optimal games that score less than score, plus half of those scoring it.
double ScorePercentile(const ScoreDistribution& d, int score);
// P(final >= score): the chance that an optimal player reaches score.
double ChanceToReach(const ScoreDistribution& d, int score);
// The smallest score s with P(final <= s) >= p (0 < p <= 1).
int ScoreAtPercentile(const ScoreDistribution& d, double p);

}  // namespace quintor
