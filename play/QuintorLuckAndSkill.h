// Luck and skill in a recorded game: the loss of every choice, the luck of every roll, and the
// split of the result into the expectation at the start, the luck and the losses.
//
// V is the optimal expected final score of a position, the total so far included. A roll's luck
// is V of the rolled position (the value of its best option) minus V just before the roll (the
// value of the kept dice, or of the turn's start); a choice's loss is V of the best option minus
// V of the chosen one, the report's delta. Since the position after a choice is the one before
// the next roll, the sums telescope: V at the start + luck - loss = V after the last choice, which
// is the final score of a finished game.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "engine/QuintorScoreDistribution.h"
#include "play/QuintorGameRecordings.h"

namespace quintor {

struct ChoiceAnalysis {
    int turn = 0;            // 1-based, as the report counts turns
    double before = 0.0;     // V just before the roll that led to the choice
    double rolled = 0.0;     // V of the rolled position: the value of its best option
    double chosen = 0.0;     // V of the option chosen
    double luck = 0.0;       // rolled - before
    double loss = 0.0;       // rolled - chosen: the report's delta
    bool noChoice = false;   // a single option
    bool identical = false;  // the choice is the best option itself
    int deltaClass = -1;     // the loss class of a choice that is not the best option, else -1
    Event best;              // the best option
};

struct LuckAndSkill {
    double start = 0.0;      // V at the start of the game
    double luck = 0.0;       // sum of the luck of the rolls
    double loss = 0.0;       // sum of the losses of the choices
    bool finished = false;   // the last choice left no category free
    int finalScore = 0;      // the total after the last choice
    double end = 0.0;        // V after the last choice: the final score of a finished game
    std::vector<ChoiceAnalysis> choices;   // one per recorded choice, in order
};

// The numbers of a recorded game (finished or aborted) against strategy S (the optimal one,
// whose expected-score table must be complete).
LuckAndSkill AnalyseLuckAndSkill(const GameRecording& rec, QuintorStrategyState* S);

// "Expected at start %.2f + luck %.2f - loss %.2f = %d", or for an aborted game "... = %.2f
// expected at the abort".
std::string SplitLine(const LuckAndSkill& a);
// "%d is better than %.1f%% of games played perfectly".
std::string PercentileLine(int score, const ScoreDistribution& d);
// The "Luck and Skill" block the console program prints after the report; the percentile line
// only for a finished game.
void WriteLuckAndSkill(std::vector<std::string>& lines, const LuckAndSkill& a,
                       const ScoreDistribution& d);

// The points of a recorded game in the order of its chart: the start of its first turn (the start
// of the game for every game played from the start), then for each choice the rolled position it
// was made in and the position it led to (the kept dice before the next roll, or the start of the
// next turn; after the last scoring of a finished game, its end). 1 + 2 x rec.len points.
std::vector<GamePoint> GamePoints(const GameRecording& rec, const QuintorRulesState* rules);

// P(final >= target) under optimal play from each of the points (ChancesAtPoints):
// progress(done, all) follows the passes layer by layer, and once *stop is set the work ends at
// the next layer and the result is empty.
std::vector<double> ChancesThroughGame(const GameStateTable& table,
                                       const std::vector<GamePoint>& points, int target,
                                       const std::atomic<bool>* stop = nullptr,
                                       const std::function<void(int, int)>& progress = {});

// Indexes of the up to n costliest choices that are not the best option, largest loss first
// (equal losses in game order).
std::vector<int> CostliestChoices(const LuckAndSkill& a, int n = 5);
// A choice in words: "keep 3456_" or "score T for 25".
std::string ShortChoiceText(const Event& e);

}  // namespace quintor
