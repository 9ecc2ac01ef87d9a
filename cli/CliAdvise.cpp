// advise: the advisor's analysis of one typed state.
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor::cli {

namespace {

struct AdviseOptions {
    LocationOption location;
    long long target = 0;
    CLI::Option* targetOption = nullptr;
    std::vector<std::string> state;
};

int Advise(const AdviseOptions& o, Console& c) {
    if (o.state.empty()) throw UsageError("advise: the abstract state is missing");
    // An unquoted state arrives split at its blanks; blanks only separate its elements.
    std::string text;
    for (const auto& p : o.state) text += (text.empty() ? "" : " ") + p;

    std::vector<std::string> lines;
    AbstractState state;
    // A typing error is reported even where no table is installed yet.
    if (ReadAbstractState(text, state)) {
        LoadExpectedTable(o.location);
        const std::string location = TableLocation(o.location);
        if (!LoadVarianceTable(location)) NoteMissingVariance(location, c.err);
    }
    const bool ok = Given(o.targetOption) ? AdviseWithTarget(lines, text, int(o.target))
                                          : Advise(lines, text, OptimalStrategy);
    for (const auto& line : lines) c.out << line << '\n';
    return ok ? ExitOk : ExitUsage;
}

}  // namespace

void AddAdviseCommand(CommandLine& line) {
    auto o = std::make_shared<AdviseOptions>();
    CLI::App* cmd = line.AddCommand(
        nullptr, "advise", "advise [--location DIR] [--target T] STATE",
        "List every option of an abstract state with its expected final score, best\n"
        "first; with a target, each with the chance to reach it. Example: quintor advise '123456TFHSLQC;63-   0  56666;0'",
        [o](Console& c) { return Advise(*o, c); });
    AddLocationOption(cmd, o->location);
    o->targetOption = AddNumberOption(cmd, "--target", o->target, 0, MaxPoints, "T",
                                      "End each option line with the chance, under optimal play "
                                      "from there on, that the final score reaches T.");
    AddOperands(cmd, "STATE", o->state,
                    "The abstract state: free categories, need and chip; the total; the dice "
                    "and the rolls left. Quote it, or its blank-separated parts are joined "
                    "with one blank. A chip (+) beside a free Quintor box is ignored.");
}

}  // namespace quintor::cli
