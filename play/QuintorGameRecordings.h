// The record of one game's choices and the "Game Details and Analysis" report written from it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/QuintorEventLists.h"

namespace quintor {

constexpr int MaxGameRecordingIndex = 65;

// What the tutor had to say about a choice; all false while the tutor stayed silent (or off),
// and the report does not read it.
struct TutorNote {
    bool questioned = false;    // the tutor questioned this choice and the player played it anyway
    bool changedMind = false;   // in this position the player withdrew a choice the tutor questioned
    Event withdrawn;            // the first withdrawn choice (when changedMind)
};

struct GameRecordingEntry {
    GameState gameState;   // before the choice
    Points total = 0;      // total score before the choice
    TurnState turnState;   // always in phase ToChoose
    Event event;           // a Keeping or a Scoring (arg = points gained) choice
    TutorNote tutor;
};

// A plain value; entries 0..len-1 are in use.
struct GameRecording {
    int len = 0;
    std::array<GameRecordingEntry, MaxGameRecordingIndex> entry;
};

// The report's loss classes of a choice that differs from the best option, by its delta:
// 0 "<>" (below 0.01), 1 "*" (below 1), 2 "**" (below 5), 3 "***".
constexpr int NDeltaClasses = 4;
int DeltaClassOf(double delta);
const char* DeltaClassMarker(int deltaClass);

void InitGameRecording(GameRecording& rec);
// Appends one choice; the recording must have room and ts must be in phase ToChoose (failed
// checks otherwise). RangeError for a total outside 0..1575.
void ExtendGameRecording(GameRecording& rec, const GameState& gs, int total, const Event& e,
                         const TurnState& ts);

// A choice measured against the best option of its position, as the report measures it.
struct ChoiceAssessment {
    int options = 0;       // options in the position; a single one is no choice
    EListEntry mine;       // the choice (a scoring's arg holds its points)
    EListEntry best;       // the strategy's best option, the first of the sorted list
    bool identical = false;   // the choice is that best option
    double loss = 0.0;     // best.expected - mine.expected, never negative
};

// e is a Keeping or Scoring event of position (gs, total, ts), ts in phase ToChoose; RangeError
// when it is not among the options there.
ChoiceAssessment AssessChoice(QuintorStrategyState* strategy, const GameState& gs, int total,
                              const TurnState& ts, const Event& e);

// Appends the report of the recorded game. With analysis every choice is compared with the best
// option of strategy (whose short name heads the reference columns); without it only the game
// details are written and strategy is not used.
void WriteGameAnalysis(std::vector<std::string>& lines, const GameRecording& rec,
                       const std::string& playerName, const QuintorRulesState* rules,
                       bool analysis, QuintorStrategyState* strategy);

}  // namespace quintor
