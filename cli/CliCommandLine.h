// The console program's command line on CLI11: every command registers its words, its options
// and what it runs; this reads the arguments, checks them, answers --help for the program or for
// one command, and turns every mistake into the same kind of message (exit 2).
//
// A new command is a function beside its code, declared in CliCommon.h and called from
// AddCommands in CliDispatch.cpp, for example:
//
//     void AddDistributionCommand(CommandLine& line) {
//         auto o = std::make_shared<DistributionOptions>();
//         CLI::App* cmd = line.AddCommand(nullptr, "distribution",
//                                         "distribution [--location DIR] [--target N] [--csv]",
//                                         "What it does, in lines of at most 72 characters.",
//                                         [o](Console& c) { return Distribution(*o, c); });
//         AddLocationOption(cmd, o->location);
//         AddNumberOption(cmd, "--target", o->target, 0, 1575, "N", "What N means.");
//         AddFlag(cmd, "--csv", o->csv, "Write comma-separated values.");
//     }
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Only CliCommandLine.cpp includes CLI11 (a large header); the commands use these helpers.
namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace quintor::cli {

// Bad command-line usage: reported with a hint to the help of command (or of the program when it
// is empty), exit 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message, std::string commandPath = "")
        : std::runtime_error(message), command(std::move(commandPath)) {}
    std::string command;
};

// The streams a command talks to.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

// What a command does once its arguments are read and checked; returns the exit code.
using Action = std::function<int(Console&)>;

class CommandLine {
public:
    CommandLine();
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // A command under parent (the program when null). synopsis is what follows "quintor" in
    // the usage line, options included; description says what it does, in lines of at most 72
    // characters. Its options are added to the returned command.
    CLI::App* AddCommand(CLI::App* parent, const std::string& name, std::string synopsis,
                         std::string description, Action action);
    // A word that only leads to commands ("tables").
    CLI::App* AddGroup(const std::string& name, std::string description);

    // Reads args (without the program name) and runs the command they name. Throws UsageError
    // for every mistake in them; what the command throws passes through.
    int Run(const std::vector<std::string>& args, Console& console);

    std::string GeneralHelp() const;
    std::string CommandHelp(const CLI::App* command) const;

private:
    struct Entry {
        std::string synopsis;
        std::string description;
        Action action;   // empty for a group
    };
    const Entry* Find(const CLI::App* command) const;
    const CLI::App* NamedCommand(const std::vector<std::string>& args) const;
    int Parse(const std::vector<std::string>& args, Console& console);
    int Dispatch(const CLI::App* command, Console& console) const;

    std::unique_ptr<CLI::App> program_;
    CLI::Option* version_ = nullptr;
    std::vector<const CLI::App*> order_;   // as added: the order of the general help
    std::map<const CLI::App*, Entry> entries_;
};

// "tables create" for that command.
std::string CommandPath(const CLI::App* command);

// ---- Options ----------------------------------------------------------------------------------
// Each takes one value and may be given once ("--name VALUE" or "--name=VALUE"); the checks run
// while the command line is read, and a bad value is a UsageError naming the option.

CLI::Option* AddTextOption(CLI::App* command, const std::string& name, std::string& value,
                           const std::string& valueName, const std::string& help);
// A decimal number in lo..hi.
CLI::Option* AddNumberOption(CLI::App* command, const std::string& name, long long& value,
                             long long lo, long long hi, const std::string& valueName,
                             const std::string& help);
// One of words; what names the kind of value in the message for any other word.
CLI::Option* AddChoiceOption(CLI::App* command, const std::string& name, std::string& value,
                             std::vector<std::string> words, const std::string& what,
                             const std::string& valueName, const std::string& help);
CLI::Option* AddFlag(CLI::App* command, const std::string& name, bool& value,
                     const std::string& help);
// Words after the options (all that are left), named name in the help.
CLI::Option* AddOperands(CLI::App* command, const std::string& name,
                         std::vector<std::string>& words, const std::string& help);
// True when the option was on the command line.
bool Given(const CLI::Option* option);

// "a, b or c".
std::string WordList(const std::vector<std::string>& words, const std::string& last = "or");

}  // namespace quintor::cli
