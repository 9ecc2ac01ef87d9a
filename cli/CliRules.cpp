#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "concepts/QuintorConcepts.h"

namespace quintor::cli {

// The same printouts the run log receives at start-up.
int RulesCommand(const std::vector<std::string>& args, std::ostream& out) {
    ParseOptions(args, {}, {}, 0, "rules");
    WriteConfiguration(out);
    WriteQuintorRules(out, OfficialRules);
    return ExitOk;
}

}  // namespace quintor::cli
