// advise: the advisor's analysis of one typed state.
#include <cstdint>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor::cli {

int AdviseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Options o = ParseOptions(args, {"--location"}, {}, SIZE_MAX, "advise");
    if (o.positional.empty()) throw UsageError("advise: the abstract state is missing");
    // An unquoted state arrives split at its blanks; blanks only separate its elements.
    std::string text;
    for (const auto& p : o.positional) text += (text.empty() ? "" : " ") + p;

    std::vector<std::string> lines;
    AbstractState state;
    // A typing error is reported even where no table is installed yet.
    if (ReadAbstractState(text, state)) {
        LoadExpectedTable(o);
        const std::string location = TableLocation(o);
        if (!LoadVarianceTable(location)) NoteMissingVariance(location, err);
    }
    const bool ok = Advise(lines, text, OptimalStrategy);
    for (const auto& line : lines) out << line << '\n';
    return ok ? ExitOk : ExitUsage;
}

}  // namespace quintor::cli
