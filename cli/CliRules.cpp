// rules: the configuration and rules printouts.
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "concepts/QuintorConcepts.h"

namespace quintor::cli {

// The same printouts the run log receives at start-up.
void AddRulesCommand(CommandLine& line) {
    line.AddCommand(nullptr, "rules", "rules",
                    "Print the configuration and the official rules, as the run log holds them.",
                    [](Console& c) {
                        WriteConfiguration(c.out);
                        WriteQuintorRules(c.out, OfficialRules);
                        return ExitOk;
                    });
}

}  // namespace quintor::cli
