// distribution, the "Luck and Skill" block after a played game, and the distribution's step of
// tables create. The work is in functions that take the parsed values, so that any argument
// parser can call them.
#include <cmath>
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"
#include "play/QuintorLuckAndSkill.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor::cli {

namespace {

constexpr int HistogramBin = 20;      // points per line of the text histogram
constexpr int HistogramWidth = 50;    // characters of the longest bar

// The distribution for the loaded tables, saying so when it has to be computed first.
ScoreDistribution DistributionFor(const std::string& location, std::ostream& err) {
    if (!FileExists(TablePath(location, DistributionFileName)))
        err << "Computing the final score distribution of optimal play (once; it is kept in "
            << TablePath(location, DistributionFileName) << ") ...\n";
    err.flush();
    return OptimalScoreDistribution(location);
}

}  // namespace

void PrintDistribution(const ScoreDistribution& d, bool csv, std::ostream& out) {
    if (csv) {
        out << "score,probability\n";
        for (int s = 0; s < NFinalScores; ++s) out << Format("%d,%.17g\n", s, d[std::size_t(s)]);
        out.flush();
        return;
    }
    out << "Final score under optimal play\n\n";
    out << Format("Mean               = %.5f\n", DistributionMean(d));
    out << Format("Standard deviation = %.5f\n\n", std::sqrt(DistributionVariance(d)));
    out << "Percentiles (the smallest score s with P(final <= s) >= p):\n";
    for (int p : {1, 5, 10, 25, 50, 75, 90, 95, 99})
        out << Format("  %2d%% %5d\n", p, ScoreAtPercentile(d, p / 100.0));
    out << '\n';
    for (int s : {200, 250, 300, 400}) out << Format("P(final >= %d) = %.6f\n", s, ChanceToReach(d, s));

    // The histogram runs over the bins that hold at least 0.05% of the games, with what lies
    // beyond them in one line each.
    std::vector<double> bins(NFinalScores / HistogramBin + 1, 0.0);
    for (int s = 0; s < NFinalScores; ++s) bins[std::size_t(s / HistogramBin)] += d[std::size_t(s)];
    int first = -1, last = -1;
    double top = 0.0;
    for (int b = 0; b < int(bins.size()); ++b) {
        if (bins[std::size_t(b)] < 0.0005) continue;
        if (first < 0) first = b;
        last = b;
        top = std::max(top, bins[std::size_t(b)]);
    }
    out << Format("\nShare of games per %d points:\n", HistogramBin);
    double below = 0.0, above = 0.0;
    for (int b = 0; b < first; ++b) below += bins[std::size_t(b)];
    for (int b = last + 1; b < int(bins.size()); ++b) above += bins[std::size_t(b)];
    if (below > 0.0) out << Format("       < %4d %6.2f%%\n", first * HistogramBin, 100.0 * below);
    for (int b = first; b <= last && first >= 0; ++b) {
        const double p = bins[std::size_t(b)];
        out << Format("  %4d - %4d %6.2f%% ", b * HistogramBin, b * HistogramBin + HistogramBin - 1,
                      100.0 * p)
            << std::string(std::size_t(std::lround(HistogramWidth * p / top)), '#') << '\n';
    }
    if (above > 0.0)
        out << Format("      >= %4d %6.2f%%\n", (last + 1) * HistogramBin, 100.0 * above);
    out.flush();
}

int RunDistribution(const std::string& location, bool csv, std::ostream& out, std::ostream& err) {
    RequireLocation(location);
    PrintDistribution(DistributionFor(location, err), csv, out);
    return ExitOk;
}

void PrintLuckAndSkill(const GameRecording& rec, const std::string& location, std::ostream& out,
                       std::ostream& err) {
    const LuckAndSkill a = AnalyseLuckAndSkill(rec, OptimalStrategy);
    const ScoreDistribution d = a.finished ? DistributionFor(location, err) : ScoreDistribution{};
    std::vector<std::string> lines;
    WriteLuckAndSkill(lines, a, d);
    for (const std::string& line : lines) out << line << '\n';
    out.flush();
}

void CreateDistributionStep(const std::string& location, int threads, std::ostream& out) {
    LogMirror mirror(out);
    CreateScoreDistribution(location, threads);
}

namespace {

struct DistributionOptions {
    LocationOption location;
    bool csv = false;
    long long target = 0;
    CLI::Option* targetOption = nullptr;
    std::vector<std::string> state;
};

// P(final >= T) under the listing when a target is given.
void PrintTarget(const DistributionOptions& o, const ScoreDistribution& d, std::ostream& out) {
    if (Given(o.targetOption))
        out << Format("P(final >= %d) = %.6f\n", int(o.target), ChanceToReach(d, int(o.target)));
}

// The distribution from a typed abstract state: its total and the optimal play of the rest of
// the game.
int RunStateDistribution(const DistributionOptions& o, Console& c) {
    std::string text;
    for (const auto& p : o.state) text += (text.empty() ? "" : " ") + p;
    AbstractState state;
    if (!ReadAbstractState(text, state)) {
        c.out << Format("Error in Abstract Quintor State at position %d\n", state.pos) << state.text
              << '\n' << Format("%*s", state.pos, "^") << '\n' << state.error << '\n';
        return ExitUsage;
    }
    LoadExpectedTable(o.location);
    GameState g = state.gameState;
    if (InSet(g.free, QuintorCat)) g.chip = false;
    const ScoreDistribution d =
        DistributionFrom(OptimalStrategy->Cache->Table, g, int(state.total), state.turnState);
    PrintDistribution(d, o.csv, c.out);
    PrintTarget(o, d, c.out);
    return ExitOk;
}

}  // namespace

void AddDistributionCommand(CommandLine& line) {
    auto o = std::make_shared<DistributionOptions>();
    CLI::App* cmd = line.AddCommand(
        nullptr, "distribution", "distribution [--location DIR] [--csv] [--target T] [STATE]",
        "The final score distribution of optimal play: mean, standard deviation,\n"
        "percentiles, chances of some scores and a histogram; --csv gives every score's\n"
        "probability as score,probability lines instead. From the start of a game, or from\n"
        "the abstract state STATE (its total included).",
        [o](Console& c) {
            if (!o->state.empty()) return RunStateDistribution(*o, c);
            LoadExpectedTable(o->location);
            const std::string location = TableLocation(o->location);
            RequireLocation(location);
            const ScoreDistribution d = DistributionFor(location, c.err);
            PrintDistribution(d, o->csv, c.out);
            PrintTarget(*o, d, c.out);
            return ExitOk;
        });
    AddLocationOption(cmd, o->location);
    AddFlag(cmd, "--csv", o->csv, "Write \"score,probability\" lines for every score 0..1575.");
    o->targetOption = AddNumberOption(cmd, "--target", o->target, 0, MaxPoints, "T",
                                      "Add the line \"P(final >= T) = ...\": the chance that the "
                                      "final score reaches T.");
    AddOperands(cmd, "STATE", o->state,
                "The abstract state to start from, as for advise; none: the start of a game.");
}

}  // namespace quintor::cli
