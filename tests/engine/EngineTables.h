// The complete expected-score table, built once per test program, and the deliberately plain
// evaluations the engine's numbers are checked against.
#pragma once

#include "engine/QuintorStrategies.h"

namespace quintor::enginetest {

// The bulk run's table (threads = hardware), computed on first use.
const GameStateTable& CompleteOptimalTable();
// Puts the complete table back into the optimal strategy's cache (no turn tables held).
void UseCompleteOptimalTable();

// The optimal cache starts afresh (all entries unknown) for the guard's lifetime; afterwards it
// holds the complete table again.
class FreshOptimalCache {
public:
    FreshOptimalCache();
    ~FreshOptimalCache();
    FreshOptimalCache(const FreshOptimalCache&) = delete;
    FreshOptimalCache& operator=(const FreshOptimalCache&) = delete;
};

// One turn by the literal memoised definition: completion lists, sub-bag lists and
// ApplyScoringEvent, successor values read from T (they must be known).
struct NaiveTurn {
    double keeper[NRollsPerTurn + 1][NValueBag5Ranks];   // [l][k], l = 1..2; [3][0]
    double roll[NRollsPerTurn][NValueBag5Ranks];         // [l][r], r = 210..461
};
void NaiveOptimalTurn(const GameState& g, const GameStateTable& T, NaiveTurn& out);
// Candidate of scoring five-dice bag r in category c: successor entry + points.
double NaiveCandidate(const GameState& g, const GameStateTable& T, ValueBagRank r, Category c);

// Independent of every table: ordered rolls of the dice thrown, every subset of dice positions as
// keepers, ApplyScoringEvent for the points; recursive over the game states. For game states with
// few free categories only. worst: the guaranteed score (minimum over the dice) instead of the
// expectation.
double BruteForceValue(const GameState& g, bool worst);

// Game states by free set, need and chip.
GameState State(CategorySet free, int need, bool chip);
ValueBagRank Bag(const char* dice);   // "11236" -> its value bag rank

}  // namespace quintor::enginetest
