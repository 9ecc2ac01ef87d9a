// The complete tables the analysis tests read, built once per test program.
#pragma once

#include "engine/QuintorStrategyAnalysis.h"

namespace quintor::testtables {

// The optimal strategy with the complete expected-score table of the engine tests and a complete
// variance table from the bulk run. Tests that change the variance cache get it
// back from the reference copy on the next call.
QuintorStrategyState* OptimalWithTables();

// The variance table as the bulk run (threads = hardware) produced it.
const GameStateTable& ReferenceVarianceTable();

// A fresh cache of unknown entries, allocated once per call and never freed, like every cache.
CacheState* FreshCache(const std::string& name);

// A strategy record of the given kind sharing the optimal strategy's choice cache.
QuintorStrategyState* StrategyLike(StrategyKind kind, CacheState* expected, CacheState* variance);

}  // namespace quintor::testtables
