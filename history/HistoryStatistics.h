// What the history says about the player: the statistics, the series for the charts, where the
// points go, the list of games, and the text and CSV forms of the console commands.
#pragma once

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include "history/QuintorHistory.h"

namespace quintor {

struct HistoryFilter {
    std::string diceSource = "fair";   // empty: every source
};

// Scores, luck and loss per game count finished games; the choices count those of every game,
// aborted ones included, as the report counts them.
struct HistoryStatistics {
    int games = 0;
    int finished = 0;
    int aborted = 0;
    double meanScore = 0.0;        // 0 without a finished game
    int bestScore = 0;
    double meanLossPerGame = 0.0;
    double meanLuckPerGame = 0.0;
    double meanLossPerChoice = 0.0;   // every choice's loss over the choices (report's mean delta)
    ChoiceCounts counts;
    double identicalShare = 0.0;   // choices identical to the best option / choices
    double tieShare = 0.0;         // those and the others that lost less than 0.01 ("<>") / choices
};

// The finished games in the order played, each with the mean over the last `window` games
// (fewer at the start) for the charts.
struct HistorySeries {
    std::vector<std::int64_t> ids;
    std::vector<std::int64_t> ended;
    std::vector<double> score;
    std::vector<double> scoreAverage;
    std::vector<double> loss;
    std::vector<double> lossAverage;
};

struct LossShare {
    int choices = 0;
    double loss = 0.0;
    double Mean() const { return choices ? loss / choices : 0.0; }
};

// A costly habit: choices of one kind that lose against one kind of best option.
struct Habit {
    std::string text;   // "Scoring in Chance when the best choice was Full House"
    int count = 0;
    double loss = 0.0;
};

// Where the points go, over the choices with more than one option.
struct LossSplits {
    std::array<LossShare, NChoiceKinds> byKind{};          // keep after 1st roll, after 2nd, score
    std::array<LossShare, NTurnsPerGame> byTurn{};         // index: turn - 1
    std::array<LossShare, NCategories> byCategory{};       // scorings whose best option was another
    std::vector<Habit> habits;                             // the costliest, costliest first
};

// The plain-words name of a kind of choice: "Keeping after the first roll", ...
const char* ChoiceKindName(ChoiceKind k);

// Each function opens the database when needed; a fault gives empty results and the message in
// *result (when given).
HistoryStatistics ReadHistoryStatistics(HistoryDatabase& db, const HistoryFilter& f,
                                        HistoryResult* result = nullptr);
HistorySeries ReadHistorySeries(HistoryDatabase& db, const HistoryFilter& f, int window = 10,
                                HistoryResult* result = nullptr);
// With the costliest `habits` habits (three in the window and in `quintor stats`).
LossSplits ReadLossSplits(HistoryDatabase& db, const HistoryFilter& f, HistoryResult* result = nullptr,
                          std::size_t habits = 3);
// The games (without their choices), oldest first; with last > 0 only the last that many.
std::vector<HistoryGame> ReadGameList(HistoryDatabase& db, const HistoryFilter& f, int last = 0,
                                      HistoryResult* result = nullptr);
// The dice sources of the stored games, in alphabetical order.
std::vector<std::string> ReadDiceSources(HistoryDatabase& db, HistoryResult* result = nullptr);

// The habit's text for a choice that was not the best option (kept counts from the bag ranks).
std::string HabitText(ChoiceKind kind, const Event& choice, const Event& best);

// `quintor history`: one line per game: local date and time, dice source, score (or "aborted"
// with the total so far), loss, luck, percentile.
std::string HistoryLine(const HistoryGame& g);
void WriteHistoryLines(std::ostream& out, const std::vector<HistoryGame>& games);
// `quintor history --csv`: a header and one record per game, RFC 4180 (CRLF line ends, fields
// with a comma, quote or line end quoted, quotes doubled); times in UTC, ISO 8601.
void WriteHistoryCsv(std::ostream& out, const std::vector<HistoryGame>& games);
std::string CsvField(const std::string& s);
// `quintor stats`: the statistics and where the points go, as text.
void WriteHistoryStatistics(std::ostream& out, const HistoryFilter& f, const HistoryStatistics& s,
                            const LossSplits& splits);

}  // namespace quintor
