// The bulk arithmetic of the optimal strategy's variance table: one turn per game state on the
// dice lattice of the turn kernel, the layers of game states spread over threads.
//
// The law of total variance is applied one die at a time: the variance of holding a bag of s dice
// is the mean, over the value of one more die, of the squared shift of the expected value plus the
// variance of holding the bigger bag. Over all dice still to roll this is the completion-list sum
// of the memoised definition, at a quarter of the work.
#pragma once

#include "engine/QuintorStrategies.h"
#include "engine/QuintorTurnKernel.h"

namespace quintor::kernel {

// The variance turn tables of one game state, laid out like TurnTables.
struct VarianceTables {
    std::array<std::array<double, NValueBag5Ranks>, NRollsPerTurn> K;   // l = 1, 2
    std::array<std::array<double, NRolls>, NRollsPerTurn> R;           // l = 0..2
    double start = 0.0;
};

// Index of the game state that scoring roll i of g in category c leads to; g is the state of
// entry index; c must be free in g.
int ScoringSuccessorIndex(int index, const GameState& g, int i, Category c);

// Fills V for g (free not empty) from the optimal choices and expected values T of g (from
// ComputeTurnTables with choices) and the variance entries of g's successors in vtable.
void ComputeVarianceTables(const GameStateTable& vtable, const GameState& g, int index,
                           const TurnTables& T, VarianceTables& V);

// Fills every unknown variance entry of one group from the complete expected-score table;
// returns how many entries became known. Safe for different groups of one layer at once.
std::int64_t FillVarianceGroup(const GameStateTable& etable, GameStateTable& vtable,
                               const StateGroup& grp);

}  // namespace quintor::kernel

namespace quintor {

// Makes every entry of variance known for the optimal strategy, whose expected-score cache is
// expected (completed first when it is not). Byte-identical for every thread count; the variance
// progress step runs on the calling thread.
void ComputeAllOptimalVariances(CacheState& expected, CacheState& variance, int threads);

}  // namespace quintor
