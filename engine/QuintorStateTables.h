// Dense per-game-state tables of doubles (-1.0 = not yet known) and their .gstbl files: the raw
// little-endian image of the 786,432 entries, nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "concepts/QuintorConcepts.h"

namespace quintor {

constexpr int NGameStates = 786432;
constexpr std::size_t GameStateTableBytes = std::size_t(NGameStates) * sizeof(double);

inline constexpr const char* OptimalTableFileName = "OptEScore-Official.gstbl";
inline constexpr const char* VarianceTableFileName = "OptEScore-Official-V.gstbl";

using GameStateTable = std::vector<double>;   // always NGameStates entries

// Entry index by the strides of the file format; RangeError for a need above 63 or the chip
// held while the Quintor box is free.
int GameStateIndex(const GameState& g);
// The inverse: the game state of an entry index (RangeError outside 0..786431).
GameState GameStateOfIndex(int index);

void InitGameStateTable(GameStateTable& table);   // sizes it and sets every entry to -1.0
int CountKnownEntries(const GameStateTable& table);
inline bool IsKnown(double v) { return v >= 0.0; }

// Expected values closer than this are one value. Options that tie in exact arithmetic come out
// of differently ordered sums a few units in the last place apart, and those bits must not decide
// a choice: every choice takes the largest value first, then the first option in its fixed order
// of examination that comes within this of it (never a chain of near-equal steps).
constexpr double TieTolerance = 1e-9;
inline bool TiesWithBest(double v, double best) { return v >= best - TieTolerance; }

// Both write their run-log line first. Saving replaces the file atomically (a failed save leaves
// the old file intact). Loading raises IOError naming the file and the fault for a missing,
// unreadable or short file, or one holding a NaN or infinite entry; bytes past the table are
// ignored. Throws before touching table when the file is bad.
void SaveGameStateTable(const std::string& fileName, const GameStateTable& table);
void LoadGameStateTable(const std::string& fileName, GameStateTable& table);
// IOError naming the location unless it is an existing directory that takes a new file (tried
// with a one-byte file, removed again). The creation runs check first, not after hours.
void CheckTableLocation(const std::string& location);

// Where both programs look for the tables when none is chosen: a folder gstbl beside the
// program's folder if there is one (the build tree), else the program's folder while it keeps
// files (KeepsFilesBeside); an installed program's folder does not, so then
// $XDG_DATA_HOME/QuintorTrainer/gstbl (default ~/.local/share/QuintorTrainer/gstbl), created here
// so that the tables can be made in it. The ".." of the first is kept as it is.
std::string DefaultTableLocation(const std::string& exeDir);

}  // namespace quintor
