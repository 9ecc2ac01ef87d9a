// A played game as the history keeps it: built from the game's recording and its luck and skill
// numbers, so that the window program and the console program store the same thing.
#pragma once

#include <cstdint>
#include <string>

#include "history/QuintorHistory.h"
#include "play/DiceDevils.h"
#include "play/QuintorLuckAndSkill.h"

namespace quintor {

// The game of rec, analysed as a (AnalyseLuckAndSkill of the same recording), played with the
// dice source diceSource (its console word) from started to ended (seconds since 1970 UTC). The
// percentile is taken from d for a finished game; an empty d (or an aborted game) leaves it out.
// Each choice keeps the tutor's note of its recording entry.
HistoryGame HistoryGameFromRecording(const GameRecording& rec, const LuckAndSkill& a,
                                     const ScoreDistribution& d, const std::string& diceSource,
                                     std::int64_t started, std::int64_t ended);

// The console word of a dice source, as the history stores it: "user", "fair", "perlist", ...
const char* DiceSourceWord(DiceDevilKind kind);

// What both programs call when a game ends or is aborted: analyses rec against S (the optimal
// strategy, its table complete) and stores the game. Never throws: every fault, the analysis's
// included, comes back as the result (the database logs its own; this logs the others).
HistoryResult StorePlayedGame(HistoryDatabase& db, const GameRecording& rec, QuintorStrategyState* S,
                              const ScoreDistribution& d, const std::string& diceSource,
                              std::int64_t started, std::int64_t ended);

// The recording of a stored game, rebuilt from its choices with the tutor's notes, so that its
// report and analysis can be shown again exactly as after the game. Every position must follow
// from the choice before it under the official rules; otherwise (a damaged or edited file) rec is
// left empty and the reason is returned. "" when the game was rebuilt.
std::string RecordingFromHistoryGame(const HistoryGame& g, GameRecording& rec);

// The options of the recorded position: the free categories, and the keepings while a roll is
// left.
int RecordedOptionCount(const GameRecordingEntry& r);

}  // namespace quintor
