// Lists of the options at one point of a game (choices or roll outcomes) with the expected final
// score and its standard deviation under a strategy.
#pragma once

#include <array>

#include "engine/QuintorStrategyAnalysis.h"

namespace quintor {

constexpr int MaxEListIndex = 252;

struct EListEntry {
    double expected = 0.0;   // expected final score, the total so far included
    double sd = -1.0;        // its standard deviation; -1.0 without a variance table
    Event event;
};

// A plain value; entries 0..len-1 are in use.
struct EList {
    GameState gameState;
    TurnState turnState;
    int len = 0;
    std::array<EListEntry, MaxEListIndex> entry;
};

void InitEList(EList& list, const GameState& g, const TurnState& t);
void ExtendEList(EList& list, const Event& e, double expected, double sd);   // Fail when full
void ListChoiceOptions(EList& list, QuintorStrategyState* S, const GameState& g, int total,
                       const TurnState& t);
void ListRollOutcomes(EList& list, QuintorStrategyState* S, const GameState& g, int total,
                      const TurnState& t);
// Expected value descending, values that tie (TieTolerance) in the order of appending; first the
// option that a choice among them takes: the first appended of those that tie with the largest.
void SortEList(EList& list);
// 0-based index of the first entry whose event equals e; RangeError when there is none.
int FindEvent(const EList& list, const Event& e);

}  // namespace quintor
