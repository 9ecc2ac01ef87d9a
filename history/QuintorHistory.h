// Every game remembered: the history database "QuintorTrainerHistory.sqlite", one row per game
// and one per choice, written one game per transaction. Faults (a locked, read-only, full or
// damaged file) come back as a result with a message; they never throw into play.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "concepts/QuintorConcepts.h"
#include "play/QuintorGameRecordings.h"

namespace quintor {

inline const char* const HistoryFileName = "QuintorTrainerHistory.sqlite";
// The schema version this program writes; older files are brought up to it when opened.
constexpr int HistorySchemaVersion = 3;

// Beside the program (exeDir) when that folder is writable, else $XDG_DATA_HOME/QuintorTrainer
// (default ~/.local/share/QuintorTrainer), like the settings file. IOError when neither works.
std::string HistoryFilePath(const std::string& exeDir);

// A choice that lost this much or more is a mistake to drill: the history keeps its position in a
// table of its own as the game is stored, so the drills never search every choice.
constexpr double DrillMistakeLoss = 1.0;

// The report's loss classes: "<>" below 0.01, "*" below 1.0, "**" below 5.0, "***" from 5.0.
constexpr int NLossClasses = 4;
int LossClass(double loss);
const char* LossClassMarker(int lossClass);

enum ChoiceKind : std::uint8_t { ckKeepFirstRoll = 0, ckKeepSecondRoll = 1, ckScoring = 2 };
constexpr int NChoiceKinds = 3;

// One choice of a game, with the position it was made in.
struct HistoryChoice {
    int turn = 1;               // 1..13
    std::string position;       // the abstract state text before the choice
    Event choice;               // Keeping (arg = kept bag) or Scoring (arg = points gained)
    Event best;                 // the best option
    double value = 0.0;         // expected final score of the choice
    double bestValue = 0.0;     // of the best option
    double loss = 0.0;          // bestValue - value
    double luck = 0.0;          // luck of the roll before the choice
    int options = 1;            // options of the position; one means no choice
    TutorNote tutor;            // whether the tutor questioned it, and a choice withdrawn here
};

// The counts of the report's summary: choices with more than one option, those identical to the
// best option, and the others by loss class.
struct ChoiceCounts {
    int choices = 0;
    int identical = 0;
    std::array<int, NLossClasses> byClass{};
};
ChoiceCounts CountChoices(const std::vector<HistoryChoice>& choices);

struct HistoryGame {
    std::int64_t id = 0;          // given by the database
    std::int64_t started = 0;     // seconds since 1970-01-01 UTC
    std::int64_t ended = 0;
    std::string diceSource;       // the console word of the source: "fair", "demon", ...
    bool finished = false;        // false for an aborted game
    int finalScore = 0;           // the total at the end
    double startValue = 0.0;      // V at the start of the game
    double sumLuck = 0.0;
    double sumLoss = 0.0;
    double endValue = 0.0;        // the final score, or V of the last position when aborted
    std::optional<double> percentile;   // among optimal games, in percent; none when aborted
    std::string version;          // the program version that played it
    ChoiceCounts counts;          // filled from the choices when stored
    std::vector<HistoryChoice> choices;
};

// The first reason why a game cannot be stored, or "" when it can.
std::string HistoryGameError(const HistoryGame& g);

// An answer given in a drill.
struct DrillAnswer {
    std::int64_t id = 0;
    std::int64_t answered = 0;    // seconds since 1970-01-01 UTC
    std::string position;         // abstract state text
    std::string answer;           // the choice as the report writes it
    std::string best;
    double loss = 0.0;
};

// The outcome of an operation. message is empty when there is nothing to tell; it can be set
// with ok (a damaged file was moved aside and the game went into a new one). show is true the
// first time a fault of its kind happens in this run: show it then, log it always (the
// database writes every message to the run log itself).
struct HistoryResult {
    bool ok = true;
    std::string message;
    bool show = false;
};

struct HistoryOptions {
    int busyTimeoutMs = 2000;     // how long to wait for another program's write
};

// The history of one file. Opening happens on first use and again after a failure, so a fault
// that goes away (a full disk freed, another trainer closed) lets later games through.
class HistoryDatabase {
public:
    explicit HistoryDatabase(std::string path, HistoryOptions options = {});
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    const std::string& Path() const { return path_; }
    // Opens the file (creating it, bringing an older schema up to date, moving a damaged file
    // aside) unless it is open.
    HistoryResult Open();
    bool IsOpen() const;
    void Close();

    // Stores the game (with its counts computed from its choices) in one transaction. A game
    // that could not be stored for a passing fault is kept and tried again before the next
    // one, in order. Invalid games are refused with the reason and not kept.
    HistoryResult StoreGame(const HistoryGame& game);
    int PendingGames() const { return int(pending_.size()); }

    // The game with its choices; nullopt when there is none with that id or on a fault.
    std::optional<HistoryGame> ReadGame(std::int64_t id, HistoryResult* result = nullptr);

    HistoryResult StoreDrillAnswer(const DrillAnswer& answer);
    // Every answer given for the position (all answers for an empty position), oldest first.
    std::vector<DrillAnswer> DrillAnswers(const std::string& position, HistoryResult* result = nullptr);

    struct Impl;
    // For the statistics queries of this layer.
    Impl* Internals() { return impl_.get(); }
    // Reports a failed query: logs it and, for a damaged file, moves it aside.
    HistoryResult Fault(const std::exception& e, const char* doing);

private:
    HistoryResult StorePending();
    HistoryResult Report(HistoryResult r, int kind);

    std::string path_;
    HistoryOptions options_;
    std::unique_ptr<Impl> impl_;
    std::vector<HistoryGame> pending_;
    std::array<bool, 8> shown_{};
};

// The schema steps, oldest first: step i brings a file from version i to version i+1.
// Exposed so the tests can build files of older versions.
const char* HistorySchemaStep(int fromVersion);

}  // namespace quintor
