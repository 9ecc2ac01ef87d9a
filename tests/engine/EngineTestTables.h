// The complete tables of the optimal strategy, shared by the engine's test files: computed once
// per test program, put back into the strategy's caches on every call (a test may have replaced
// them), no turn tables held.
#pragma once

#include "engine/QuintorStrategyAnalysis.h"

namespace quintor {

bool SameBytes(const GameStateTable& a, const GameStateTable& b);
// Puts table t into cache C, no turn tables held.
void Restore(CacheState* C, const GameStateTable& t);
// The expected-score table (by one thread); also the optimal strategy's ExpectedCache.
const GameStateTable& OptimalTable();
// The variance table (by every thread), with the expected-score table in place.
const GameStateTable& VarianceTable();

}  // namespace quintor
