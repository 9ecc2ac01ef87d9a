// The bulk arithmetic of the optimal strategy's variance table: one turn per game state on the
// dice lattice of the turn kernel, the layers of game states spread over threads.
//
// The law of total variance is applied one die at a time: the variance of holding a bag of s dice
// is the mean, over the value of one more die, of the squared shift of the expected value plus the
// variance of holding the bigger bag. Over all dice still to roll this is the completion-list sum
// of the memoised definition, at a quarter of the work.
//
// The optimal choices are found in the same pass: the largest keeper value of a roll on the
// lattice (a maximum does not depend on the grouping), then the roll's sub-bag list from its end
// for the first keeper within TieTolerance of it; categories likewise, lowest first. So options
// that tie in exact arithmetic are decided by the tie order, not by the last bits of their sums.
// Expected values and choices come out exactly as the turn kernel's ComputeTurnTables.
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

// One game state g (free not empty) from the complete successors' entries of both tables: T gets
// the expected values and optimal choices, V their variances. scanEveryRoll settles every roll's
// keeper from its sub-bag list, as the lattice does only where it cannot tell (for the tests).
void ComputeVarianceTurnTables(const GameStateTable& etable, const GameStateTable& vtable,
                               const GameState& g, TurnTables& T, VarianceTables& V,
                               bool scanEveryRoll = false);

// Fills every unknown variance entry of one group from the expected-score table; returns how
// many entries became known. Safe for different groups of one layer at once.
std::int64_t FillVarianceGroup(const GameStateTable& etable, GameStateTable& vtable,
                               const StateGroup& grp);

}  // namespace quintor::kernel

namespace quintor {

// Makes every entry of variance known for the optimal strategy, whose expected-score cache is
// expected (completed first when it is not). Byte-identical for every thread count; the variance
// progress step runs on the calling thread.
void ComputeAllOptimalVariances(CacheState& expected, CacheState& variance, int threads);

}  // namespace quintor
