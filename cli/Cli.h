// The console program's commands. Each takes its arguments (without the program name) and the
// streams it talks to, so tests run them in-process; main only starts the modules around them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quintor::cli {

// Exit codes of every command.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;   // missing table, unusable location, file or range error
constexpr int ExitUsage = 2;     // bad arguments; advise: an error in the state text
constexpr int ExitCheck = 3;     // a failed internal check

// The whole command line: dispatches on the first word and turns every error into its message on
// err and an exit code. in and out become the console of the play dialogues while they run.
int RunQuintor(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err);

// The commands, args without the command word(s). They throw on errors; RunQuintor reports them.
int RulesCommand(const std::vector<std::string>& args, std::ostream& out);
int TablesCreateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int TablesInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int EvaluateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int AdviseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int PlayCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err);

int DistributionCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string UsageText();

// The table location when none is given: a folder "gstbl" beside the program's folder if it
// exists, else the program's folder.
std::string DefaultTableLocation(const std::string& exeDir);

}  // namespace quintor::cli
