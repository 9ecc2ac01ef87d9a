// What the commands share: the table location and loading, the progress bar and the mirror that
// copies run-log lines onto standard output; and the list of commands.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliCommandLine.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/QuintorGameRecordings.h"

namespace quintor::cli {

// Each command's file adds it to the command line: its words, options, help and action. The
// order of the general help is the order of the calls in AddCommands (CliDispatch.cpp).
void AddRulesCommand(CommandLine& line);
void AddTablesCommands(CommandLine& line);
void AddEvaluateCommand(CommandLine& line);
void AddAdviseCommand(CommandLine& line);
void AddPlayCommand(CommandLine& line);
void AddDistributionCommand(CommandLine& line);
void AddDrillCommand(CommandLine& line);
void AddHistoryCommands(CommandLine& line);   // history and stats

// The console of the dialogues (the User player reads its choices there) is a command's in and
// out while it runs.
class ConsoleGuard {
public:
    ConsoleGuard(std::istream& in, std::ostream& out) : in_(&ConsoleIn()), out_(&ConsoleOut()) {
        SetConsole(&in, &out);
        ClearLookAhead();
    }
    ~ConsoleGuard() {
        ConsoleOut().flush();
        SetConsole(in_, out_);
        ClearLookAhead();
    }
    ConsoleGuard(const ConsoleGuard&) = delete;
    ConsoleGuard& operator=(const ConsoleGuard&) = delete;

private:
    std::istream* in_;
    std::ostream* out_;
};

// A condition the user has to fix (a missing table, an unusable location): message, exit 1.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The table location a command was given with --location.
struct LocationOption {
    std::string dir;
    const CLI::Option* option = nullptr;
    bool Given() const { return cli::Given(option); }
};
void AddLocationOption(CLI::App* command, LocationOption& location);

// The location given, else DefaultTableLocation of the running program's folder.
std::string TableLocation(const LocationOption& location);
std::string TablePath(const std::string& location, std::string_view fileName);
// CommandError unless location is an existing directory.
void RequireLocation(const std::string& location);
// The text to type to create the tables in location ("--location" only when it was given).
std::string CreateCommandText(const LocationOption& location, std::string_view extra = "");

// Loads the expected-score table as the optimal strategy's Cache and ExpectedCache; CommandError
// saying how to create it when the file is missing.
void LoadExpectedTable(const LocationOption& location);
// Loads the variance table when its file is there. Otherwise the optimal strategy has no variance
// cache afterwards (so nothing of an earlier location is shown) and the result is false.
bool LoadVarianceTable(const std::string& location);
// The note shown when the variance table is missing.
void NoteMissingVariance(const std::string& location, std::ostream& err);

// Copies everything written to the run log onto another stream while it lives. A copy that
// cannot be written leaves the run log as it is and marks the other stream as failed.
class LogMirror {
public:
    explicit LogMirror(std::ostream& to);
    ~LogMirror();
    LogMirror(const LogMirror&) = delete;
    LogMirror& operator=(const LogMirror&) = delete;

private:
    class TeeBuf : public std::streambuf {
    public:
        TeeBuf(std::streambuf* log, std::streambuf* copy) : log_(log), copy_(copy) {}
        bool CopyFailed() const { return copyFailed_; }

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int sync() override;

    private:
        std::streambuf* log_;
        std::streambuf* copy_;
        bool copyFailed_ = false;
    };
    std::ostream& log_;
    std::ostream& to_;
    std::streambuf* old_;
    TeeBuf tee_;
};

// A one-line text progress bar for a creation run; it ends its line by itself when full.
class ProgressBar {
public:
    ProgressBar(std::ostream& err, std::string title, int steps);
    void Step();
    void Finish();   // ends the line of a bar that did not fill
    int StepsDone() const { return done_; }

private:
    void Draw();
    std::ostream& err_;
    std::string title_;
    int steps_;
    int done_ = 0;
    int shown_ = -1;
    bool open_ = false;
};

// Routes the creation runs' progress steps to bars for as long as it lives.
class ProgressGuard {
public:
    ProgressGuard(ProgressBar* optimal, ProgressBar* variance);
    ~ProgressGuard();
    ProgressGuard(const ProgressGuard&) = delete;
    ProgressGuard& operator=(const ProgressGuard&) = delete;

private:
    ProgressHooks saved_;
};

// The distribution's pieces (cli/CliDistribution.cpp), for whatever parses the arguments.
// distribution: the summary or, with csv, "score,probability" lines; the expected-score table of
// location must be loaded.
int RunDistribution(const std::string& location, bool csv, std::ostream& out, std::ostream& err);
void PrintDistribution(const std::vector<double>& d, bool csv, std::ostream& out);
// The "Luck and Skill" block of a played game (the distribution computed first if need be).
void PrintLuckAndSkill(const GameRecording& rec, const std::string& location, std::ostream& out,
                       std::ostream& err);
// The third step of tables create, its run-log lines mirrored onto out.
void CreateDistributionStep(const std::string& location, int threads, std::ostream& out);

// The history (cli/CliHistory.cpp). The file given with --history, else the usual place.
std::string HistoryPath(const std::string& given);
void AddHistoryOption(CLI::App* command, std::string& file);
// Stores the game of rec (played with the dice source diceWord since started) in the history;
// a fault is one line on err, never an exception. A finished game needs the distribution of
// location.
void StoreInHistory(const std::string& historyFile, const GameRecording& rec, const std::string& location,
                    const std::string& diceWord, std::int64_t started, std::ostream& err);

}  // namespace quintor::cli
