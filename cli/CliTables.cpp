// tables create and tables info.
#include <cmath>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategyAnalysis.h"

namespace quintor::cli {

constexpr int ProgressSteps = NGameStates / 1024;   // one step per 1024 new entries: 768

int TablesCreateCommand(const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err) {
    const Options o = ParseOptions(args, {"--location", "--threads"}, {"--expected", "--variance"},
                                   0, "tables create");
    if (o.Has("--expected") && o.Has("--variance"))
        throw UsageError(
            "tables create: --expected and --variance exclude each other; give "
            "neither to create both");
    const int threads =
        o.Has("--threads") ? int(ParseCount(o.Value("--threads"), 1, 1024, "--threads")) : 0;
    const std::string location = TableLocation(o);
    RequireLocation(location);
    if (!DirectoryWritable(location))
        throw CommandError("the table location \"" + location + "\" is not writable");
    const bool expected = !o.Has("--variance");
    const bool variance = !o.Has("--expected");

    if (expected) {
        ProgressBar bar(err, "Optimal Expected Final Score", ProgressSteps);
        ProgressGuard hooks(&bar, nullptr);
        LogMirror mirror(out);
        CreateOptimalTable(location, threads);
        bar.Finish();
    } else {
        const std::string file = TablePath(location, OptimalTableFileName);
        if (!FileExists(file))
            throw CommandError(
                "the variance table is computed from the Optimal Expected Score "
                "table, and \"" +
                file +
                "\" was not found.\nCreate it first with: " + CreateCommandText(o, "--expected"));
        LoadExpectedTable(o);
    }
    if (variance) {
        ProgressBar bar(err, "Variance in Final Score", ProgressSteps);
        ProgressGuard hooks(nullptr, &bar);
        LogMirror mirror(out);
        CreateVarianceTable(location, threads);
        bar.Finish();
    }
    // The distribution follows from the expected-score table alone.
    if (expected) CreateDistributionStep(location, threads, out);
    return ExitOk;
}

// "<cache name> of <strategy> for <line> = " as the table settings window's Info shows it.
static std::string ValueLinePrefix(const CacheState& c) {
    return c.Name + " of " + OptimalStrategy->ShortName + " for " + ScoreItemName(c.Line) + " = ";
}

int TablesInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Options o = ParseOptions(args, {"--location"}, {}, 0, "tables info");
    const std::string location = TableLocation(o);
    RequireLocation(location);
    const std::string expectedFile = TablePath(location, OptimalTableFileName);
    const std::string varianceFile = TablePath(location, VarianceTableFileName);
    const bool haveExpected = FileExists(expectedFile);

    out << "Table location: " << location << '\n' << '\n';
    out << "Optimal Expected Score Table (required): " << expectedFile << '\n';
    if (haveExpected) {
        LoadExpectedTable(o);
        const CacheState& c = *OptimalStrategy->Cache;
        out << "  Table found.\n";
        out << "  # Known entries in table = " << CountKnownEntries(c.Table) << '\n';
        out << "  " << ValueLinePrefix(c) << GeneralStr(OptimalStateValue(InitialGameState))
            << '\n';
    } else {
        out << "  Table not found.\n";
    }
    out << '\n' << "Variance-in-Score Table (optional): " << varianceFile << '\n';
    if (LoadVarianceTable(location)) {
        const CacheState& c = *OptimalStrategy->VarianceCache;
        out << "  Table found.\n";
        out << "  # Known entries in table = " << CountKnownEntries(c.Table) << '\n';
        // Without the expected-score table only a value the file holds can be shown.
        const double v = haveExpected
                             ? StrategyVariance(OptimalStrategy, InitialGameState, InitialTurnState)
                             : c.Table[std::size_t(GameStateIndex(InitialGameState))];
        out << "  " << ValueLinePrefix(c);
        if (IsKnown(v))
            out << GeneralStr(std::sqrt(v)) << "^2\n";
        else
            out << "not known\n";
    } else {
        out << "  Table not found.\n";
    }
    out.flush();
    if (!haveExpected) {
        err << "quintor: the Optimal Expected Score table is required.\nCreate it with: "
            << CreateCommandText(o) << '\n';
        return ExitFailure;
    }
    return ExitOk;
}

}  // namespace quintor::cli
