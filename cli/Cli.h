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

// The whole command line: runs the command it names and turns every error into its message on
// err and an exit code; output that could not be written is one too (exit 1). in and out become
// the console of the play dialogues while they run.
int RunQuintor(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err);

// The general help: every command with its synopsis, the options, the exit status.
std::string UsageText();

}  // namespace quintor::cli
