// Expected final score and variance of the final score under a strategy, and the variance
// table's creation run.
#pragma once

#include "engine/QuintorStrategies.h"

namespace quintor {

double StrategyExpectedValue(QuintorStrategyState* S, const GameState& g, const TurnState& t);
void ComputeStrategyTurn(QuintorStrategyState* S, const GameState& g);
double StrategyVariance(QuintorStrategyState* S, const GameState& g, const TurnState& t);
void ComputeVarianceTurn(QuintorStrategyState* S, const GameState& g);
void ComputeAllVariances(QuintorStrategyState* S, int threads = 0);
// For the optimal strategy, whose expected-score table must be complete; saved as
// location/OptEScore-Official-V.gstbl.
void CreateVarianceTable(const std::string& location, int threads = 0);

}  // namespace quintor
