// The history of played games on the console: play stores each game, history lists them and
// stats sums them up. A fault of the history never stops a game nor changes what play writes
// on standard output: it is one line on standard error (and the database logs it).
#include <ctime>
#include <exception>
#include <memory>
#include <ostream>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"
#include "history/HistoryRecording.h"
#include "history/HistoryStatistics.h"
#include "history/QuintorDrills.h"
#include "play/QuintorLuckAndSkill.h"

namespace quintor::cli {

std::string HistoryPath(const std::string& given) {
    return given.empty() ? HistoryFilePath(DirectoryOf(ExecutablePath())) : given;
}

void StoreInHistory(const std::string& historyFile, const GameRecording& rec, const std::string& location,
                    const std::string& diceWord, std::int64_t started, std::ostream& err) {
    try {
        // A finished game (its last choice scored in the last free category) has just had the
        // distribution loaded, or computed, for its report; an aborted one does not need it.
        const GameRecordingEntry* last = rec.len > 0 ? &rec.entry[std::size_t(rec.len - 1)] : nullptr;
        const bool finished = last && last->event.aspect == Scoring && CategorySetSize(last->gameState.free) == 1;
        const ScoreDistribution d = finished ? OptimalScoreDistribution(location) : ScoreDistribution{};
        HistoryDatabase db(HistoryPath(historyFile));
        const HistoryResult r = StorePlayedGame(db, rec, OptimalStrategy, d, diceWord, started, std::time(nullptr));
        if (!r.message.empty()) err << "quintor: " << r.message << '\n';
    } catch (const std::exception& e) {
        err << "quintor: the game could not be stored in the history: " << e.what() << '\n';
        LogFile() << "History: the game could not be stored: " << e.what() << '\n';
    }
    err.flush();
}

namespace {

const std::vector<std::string> SourceWords = {"all",   "fair",    "perlist", "perbag", "demon",
                                              "angel", "special", "stuckat", "user"};

struct HistoryOptions {
    std::string history;
    std::string dice;
    long long last = 0;
    std::string csv;
    const CLI::Option* csvOption = nullptr;
};

HistoryFilter FilterFor(const std::string& word) { return HistoryFilter{word == "all" ? "" : word}; }

// A fault while reading is the command's failure: the message, exit 1.
int Failed(const HistoryResult& r, std::ostream& err) {
    err << "quintor: " << (r.message.empty() ? std::string("the history cannot be read") : r.message) << '\n';
    return ExitFailure;
}

int ListHistory(const HistoryOptions& o, std::ostream& out, std::ostream& err) {
    const bool csv = Given(o.csvOption);
    if (csv && o.csv.empty()) throw CommandError("--csv needs a file name");
    HistoryDatabase db(HistoryPath(o.history));
    HistoryResult r;
    const std::vector<HistoryGame> games = ReadGameList(db, FilterFor(o.dice), int(o.last), &r);
    if (!r.ok) return Failed(r, err);
    if (!r.message.empty()) err << "quintor: " << r.message << '\n';
    if (csv) {
        std::ostringstream text;
        WriteHistoryCsv(text, games);
        WriteTextFileAtomically(o.csv, text.str());
        out << games.size() << (games.size() == 1 ? " game" : " games") << " written to " << o.csv << '\n';
    } else if (games.empty()) {
        out << "No games in the history " << db.Path() << ".\n";
    } else {
        WriteHistoryLines(out, games);
    }
    out.flush();
    return ExitOk;
}

int Stats(const HistoryOptions& o, std::ostream& out, std::ostream& err) {
    HistoryDatabase db(HistoryPath(o.history));
    const HistoryFilter f = FilterFor(o.dice);
    HistoryResult r;
    const HistoryStatistics s = ReadHistoryStatistics(db, f, &r);
    if (!r.ok) return Failed(r, err);
    if (!r.message.empty()) err << "quintor: " << r.message << '\n';
    const LossSplits splits = ReadLossSplits(db, f, &r);
    if (!r.ok) return Failed(r, err);
    const DrillRecord drills = ReadDrillRecord(db, std::time(nullptr), &r);
    if (!r.ok) return Failed(r, err);
    WriteHistoryStatistics(out, f, s, splits);
    WriteDrillRecord(out, drills);
    out.flush();
    return ExitOk;
}

void AddDiceChoice(CLI::App* cmd, std::string& dice, const char* defaultText) {
    AddChoiceOption(cmd, "--dice", dice, SourceWords, "dice source", "SOURCE",
                    std::string("Only the games played with this dice source, or all of them (default: ") +
                        defaultText + ").");
}

}  // namespace

void AddHistoryOption(CLI::App* command, std::string& file) {
    AddTextOption(command, "--history", file, "FILE",
                  "The history database to use instead of QuintorTrainerHistory.sqlite beside the "
                  "program (or in $XDG_DATA_HOME/QuintorTrainer).");
}

void AddHistoryCommands(CommandLine& line) {
    auto h = std::make_shared<HistoryOptions>();
    h->dice = "all";
    CLI::App* cmd = line.AddCommand(
        nullptr, "history", "history [--history FILE] [--dice SOURCE] [--last N] [--csv FILE]",
        "The stored games, oldest first, one line each: when it ended, the dice\n"
        "source, the final score (aborted games say so), the loss, the luck and the\n"
        "percentile among games played perfectly; --csv writes the full table to FILE.",
        [h](Console& c) { return ListHistory(*h, c.out, c.err); });
    AddHistoryOption(cmd, h->history);
    AddDiceChoice(cmd, h->dice, "all");
    AddNumberOption(cmd, "--last", h->last, 1, 1000000000, "N", "Only the last N games.");
    h->csvOption = AddTextOption(cmd, "--csv", h->csv, "FILE",
                                 "Write every game as comma-separated values to FILE (CR LF line ends).");

    auto s = std::make_shared<HistoryOptions>();
    s->dice = "fair";
    cmd = line.AddCommand(
        nullptr, "stats", "stats [--history FILE] [--dice SOURCE]",
        "The statistics of the stored games: games played, mean and best final score,\n"
        "mean loss and luck, the share of choices identical to the best option, where\n"
        "the points go (by kind of choice, turn and category), the costliest habits,\n"
        "and the drill record: answers given and right, positions due and per box.",
        [s](Console& c) { return Stats(*s, c.out, c.err); });
    AddHistoryOption(cmd, s->history);
    AddDiceChoice(cmd, s->dice, "fair");
}

}  // namespace quintor::cli
