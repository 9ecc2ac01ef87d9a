// tables create and tables info.
#include <cmath>
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategyAnalysis.h"

namespace quintor::cli {

namespace {

constexpr int ProgressSteps = NGameStates / 1024;   // one step per 1024 new entries: 768

struct CreateOptions {
    LocationOption location;
    bool expectedOnly = false;
    bool varianceOnly = false;
    long long threads = 0;   // 0: one per hardware thread
};

int Create(const CreateOptions& o, std::ostream& out, std::ostream& err) {
    if (o.expectedOnly && o.varianceOnly)
        throw UsageError(
            "tables create: --expected and --variance exclude each other; give "
            "neither to create both");
    const int threads = int(o.threads);
    const std::string location = TableLocation(o.location);
    RequireLocation(location);
    if (!DirectoryWritable(location))
        throw CommandError("the table location \"" + location + "\" is not writable");
    const bool expected = !o.varianceOnly;
    const bool variance = !o.expectedOnly;

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
                "\" was not found.\nCreate it first with: " +
                CreateCommandText(o.location, "--expected"));
        LoadExpectedTable(o.location);
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
std::string ValueLinePrefix(const CacheState& c) {
    return c.Name + " of " + OptimalStrategy->ShortName + " for " + ScoreItemName(c.Line) + " = ";
}

int Info(const LocationOption& o, std::ostream& out, std::ostream& err) {
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

}  // namespace

void AddTablesCommands(CommandLine& line) {
    CLI::App* tables = line.AddGroup("tables", "Create the tables, or show what they hold.");

    auto create = std::make_shared<CreateOptions>();
    CLI::App* cmd = line.AddCommand(
        tables, "create", "tables create [--location DIR] [--expected | --variance] [--threads N]",
        "Create the Optimal Expected Score table, then the Variance-in-Score table\n"
        "(only the one named, if one is). The variance needs the expected-score table.\n"
        "With the expected-score table comes the final score distribution of optimal\n"
        "play, kept beside it in OptEScore-Official-D.dist.",
        [create](Console& c) { return Create(*create, c.out, c.err); });
    AddLocationOption(cmd, create->location);
    AddFlag(cmd, "--expected", create->expectedOnly,
            "Create only the Optimal Expected Score table.");
    AddFlag(cmd, "--variance", create->varianceOnly,
            "Create only the Variance-in-Score table, from the expected-score table there.");
    AddNumberOption(cmd, "--threads", create->threads, 1, 1024, "N",
                    "Compute with N threads (default: one per processor). The tables are the "
                    "same for every N.");

    auto info = std::make_shared<LocationOption>();
    cmd = line.AddCommand(
        tables, "info", "tables info [--location DIR]",
        "Show for each table whether its file is there, its known entries and its value.",
        [info](Console& c) { return Info(*info, c.out, c.err); });
    AddLocationOption(cmd, *info);
}

}  // namespace quintor::cli
