#include "cli/CliCommandLine.h"

#include <algorithm>
#include <ostream>

#include <CLI/CLI.hpp>

#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "concepts/QuintorConcepts.h"
#include "core/GeneralStuff.h"

namespace quintor::cli {

namespace {

bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }
bool LooksLikeOption(const std::string& a) { return a.size() >= 2 && a[0] == '-'; }

std::string Indented(const std::string& text, std::size_t by) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out += std::string(by, ' ') + text.substr(start, end - start) + '\n';
        start = end + 1;
    }
    return out;
}

// text in lines of at most width characters after an indent of column (the first line follows
// whatever stands before it).
std::string Wrapped(const std::string& text, std::size_t column, std::size_t width = 79) {
    std::string out, line;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && column + line.size() + 1 + word.size() > width) {
            out += line + '\n' + std::string(column, ' ');
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line + '\n';
}

// "--location DIR", "-h, --help", "STATE".
std::string OptionLabel(const CLI::Option* o) {
    if (o->get_positional()) return o->get_name();
    std::string names = o->get_name(false, true);
    for (std::size_t i = names.find(','); i != std::string::npos; i = names.find(',', i + 2))
        names.replace(i, 1, ", ");
    return o->get_type_size() > 0 ? names + " " + o->get_type_name() : names;
}

void CheckCount(const std::string& text, long long lo, long long hi, const std::string& name) {
    long long n = 0;
    bool ok = !text.empty() && text.size() <= 18;
    for (char c : text) {
        if (c < '0' || c > '9') {
            ok = false;
            break;
        }
        n = n * 10 + (c - '0');
    }
    if (!ok || n < lo || n > hi)
        throw UsageError(Format("%s needs a number from %lld to %lld, not '%s'",
                                name.c_str(), lo, hi, text.c_str()));
}

}  // namespace

std::string CommandPath(const CLI::App* command) {
    std::string path;
    for (const CLI::App* a = command; a != nullptr && a->get_parent() != nullptr;
         a = a->get_parent())
        path = a->get_name() + (path.empty() ? "" : " ") + path;
    return path;
}

std::string WordList(const std::vector<std::string>& words, const std::string& last) {
    std::string list;
    for (std::size_t i = 0; i < words.size(); ++i)
        list += (i == 0 ? "" : i + 1 == words.size() ? " " + last + " " : ", ") + words[i];
    return list;
}

// ---- CommandLine -------------------------------------------------------------------------------

CommandLine::CommandLine() : program_(std::make_unique<CLI::App>("", "quintor")) {
    // Help is answered before CLI11 reads the line (it wins over any mistake there); the flag
    // is declared so that it is accepted and listed.
    program_->set_help_flag("-h,--help", "Show this text.");
    static const std::string versionHelp = "Show the program's version.";
    version_ = program_->add_flag("-V,--version", versionHelp);
    // Left-over words are reported here, in the same words for every command.
    program_->allow_extras();
    program_->require_subcommand(0, 1);
}

CommandLine::~CommandLine() = default;

CLI::App* CommandLine::AddCommand(CLI::App* parent, const std::string& name, std::string synopsis,
                                  std::string description, Action action) {
    CLI::App* command = (parent ? parent : program_.get())->add_subcommand(name, description);
    command->allow_extras();
    command->require_subcommand(0, 1);
    command->set_help_flag("-h,--help", "Show this text.");
    order_.push_back(command);
    entries_[command] = {std::move(synopsis), std::move(description), std::move(action)};
    return command;
}

CLI::App* CommandLine::AddGroup(const std::string& name, std::string description) {
    return AddCommand(nullptr, name, name + " COMMAND [OPTIONS]", std::move(description), {});
}

const CommandLine::Entry* CommandLine::Find(const CLI::App* command) const {
    const auto it = entries_.find(command);
    return it == entries_.end() ? nullptr : &it->second;
}

// The command the leading words name (the program itself when the first word names none).
const CLI::App* CommandLine::NamedCommand(const std::vector<std::string>& args) const {
    const CLI::App* at = program_.get();
    for (const std::string& word : args) {
        const auto next = std::find_if(order_.begin(), order_.end(), [&](const CLI::App* c) {
            return c->get_parent() == at && c->get_name() == word;
        });
        if (next == order_.end()) break;
        at = *next;
    }
    return at;
}

int CommandLine::Run(const std::vector<std::string>& args, Console& console) {
    try {
        return Parse(args, console);
    } catch (const UsageError& e) {
        // The hint points to the help of the command the line names.
        const CLI::App* named = NamedCommand(args);
        if (e.command.empty() && named != program_.get())
            throw UsageError(e.what(), CommandPath(named));
        throw;
    }
}

int CommandLine::Parse(const std::vector<std::string>& args, Console& console) {
    const CLI::App* named = NamedCommand(args);
    const std::string prefix = named == program_.get() ? "" : CommandPath(named) + ": ";

    // Help wins over everything else on the line, and runs nothing.
    const bool helpWord = !args.empty() && args[0] == "help";
    const auto optionsEnd = std::find(args.begin(), args.end(), std::string("--"));
    if (helpWord || std::any_of(args.begin(), optionsEnd, IsHelp)) {
        if (helpWord) named = NamedCommand(std::vector<std::string>(args.begin() + 1, args.end()));
        else if (named == program_.get() && !LooksLikeOption(args[0]))
            throw UsageError("unknown command '" + args[0] + "'");
        console.out << (named == program_.get() ? GeneralHelp() : CommandHelp(named));
        return ExitOk;
    }

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        program_->parse(reversed);
    } catch (const CLI::ArgumentMismatch& e) {
        // The arguments ran out on an option that takes a value.
        if (!args.empty() && LooksLikeOption(args.back()))
            throw UsageError(prefix + "option " + args.back() + " needs a value");
        throw UsageError(prefix + e.what());
    } catch (const CLI::ParseError& e) {
        throw UsageError(prefix + e.what());
    }

    std::vector<const CLI::App*> path = {program_.get()};
    for (auto subs = program_->get_subcommands(); !subs.empty();
         subs = subs.front()->get_subcommands())
        path.push_back(subs.front());
    const CLI::App* command = path.back();

    if (version_->count() > 0) {
        if (args.size() != 1) throw UsageError("--version takes no arguments");
        console.out << VersionText << '\n';
        return ExitOk;
    }
    const Entry* entry = Find(command);
    std::vector<std::string> subcommands;
    for (const CLI::App* c : order_)
        if (c->get_parent() == command) subcommands.push_back(c->get_name());
    for (const CLI::App* level : path) {
        std::vector<std::string> left = level->remaining();
        // CLI11 keeps the "--" that ends the options among the left-overs.
        left.erase(std::remove(left.begin(), left.end(), std::string("--")), left.end());
        if (left.empty()) continue;
        const std::string& word = left.front();
        if (command == program_.get())
            throw UsageError((LooksLikeOption(word) ? "unknown option '" : "unknown command '") +
                             word + "'");
        if (!entry->action && !LooksLikeOption(word))
            throw UsageError(CommandPath(command) + ": unknown subcommand '" + word + "' (" +
                             WordList(subcommands) + ")");
        const char* what = LooksLikeOption(word) ? ": unknown option '" : ": unexpected argument '";
        throw UsageError(CommandPath(command) + what + word + "'");
    }
    if (command == program_.get()) throw UsageError("no command given");
    if (!entry->action) throw UsageError(CommandPath(command) + ": say " + WordList(subcommands));
    for (const CLI::App* level : path)
        for (const CLI::Option* o : level->get_options())
            if (!o->get_positional() && o->get_type_size() > 0 && o->count() > 1)
                throw UsageError(CommandPath(command) + ": option " + o->get_name() +
                                 " given twice");
    return entry->action(console);
}

std::string CommandLine::GeneralHelp() const {
    std::string text = "Usage: quintor COMMAND [OPTIONS]\n\nCommands:\n";
    for (const CLI::App* c : order_) {
        const Entry& e = entries_.at(c);
        if (!e.action) continue;
        text += "  " + e.synopsis + "\n" + Indented(e.description, 6);
    }
    return text +
           "\n"
           "Options:\n"
           "  --help       Show this text; after a command (quintor play --help), its usage.\n"
           "  --version    Show the program's version.\n"
           "\n"
           "Without --location the tables are looked for in a folder \"gstbl\" beside the\n"
           "program's folder, else in the program's folder; an installed program looks in\n"
           "$XDG_DATA_HOME/QuintorTrainer/gstbl (~/.local/share/QuintorTrainer/gstbl).\n"
           "\n"
           "Exit status: 0 success, 1 missing table or file error, 2 bad arguments or an error\n"
           "in the state text, 3 internal check failed.\n";
}

std::string CommandLine::CommandHelp(const CLI::App* command) const {
    const Entry& e = entries_.at(command);
    std::string text = "Usage: quintor " + e.synopsis + "\n\n" + e.description + "\n";
    std::string commands;
    for (const CLI::App* c : order_) {
        if (c->get_parent() != command) continue;
        const Entry& sub = entries_.at(c);
        commands += "  " + sub.synopsis + "\n" + Indented(sub.description, 6);
    }
    if (!commands.empty()) text += "\nCommands:\n" + commands;

    // The command's own options, then its operands, then --help.
    std::vector<const CLI::Option*> rows;
    for (bool positional : {false, true})
        for (const CLI::Option* o : command->get_options())
            if (o->get_positional() == positional && o != command->get_help_ptr())
                rows.push_back(o);
    rows.push_back(command->get_help_ptr());
    std::size_t width = 12;
    for (const CLI::Option* o : rows) width = std::max(width, OptionLabel(o).size());
    text += "\nOptions:\n";
    for (const CLI::Option* o : rows) {
        const std::string label = OptionLabel(o);
        text += "  " + label + std::string(width + 2 - label.size(), ' ') +
                Wrapped(o->get_description(), width + 4);
    }
    return text;
}

// ---- Options -----------------------------------------------------------------------------------

CLI::Option* AddTextOption(CLI::App* command, const std::string& name, std::string& value,
                           const std::string& valueName, const std::string& help) {
    // Given twice is reported once the line is read, rather than one value silently winning.
    return command->add_option(name, value, help)
        ->type_name(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::Option* AddNumberOption(CLI::App* command, const std::string& name, long long& value,
                             long long lo, long long hi, const std::string& valueName,
                             const std::string& help) {
    auto check = [command, name, lo, hi](std::string& text) {
        CheckCount(text, lo, hi, CommandPath(command) + ": option " + name);
        return std::string();
    };
    return command->add_option(name, value, help)
        ->type_name(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(CLI::Validator(check, ""));
}

CLI::Option* AddChoiceOption(CLI::App* command, const std::string& name, std::string& value,
                             std::vector<std::string> words, const std::string& what,
                             const std::string& valueName, const std::string& help) {
    auto check = [command, words, what](std::string& text) {
        if (std::find(words.begin(), words.end(), text) == words.end())
            throw UsageError(CommandPath(command) + ": unknown " + what + " '" + text + "' (" +
                             WordList(words) + ")");
        return std::string();
    };
    return command->add_option(name, value, help)
        ->type_name(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(CLI::Validator(check, ""));
}

CLI::Option* AddFlag(CLI::App* command, const std::string& name, bool& value,
                     const std::string& help) {
    return command->add_flag(name, value, help)->multi_option_policy(
        CLI::MultiOptionPolicy::TakeLast);
}

CLI::Option* AddOperands(CLI::App* command, const std::string& name,
                         std::vector<std::string>& words, const std::string& help) {
    return command->add_option(name, words, help);
}

bool Given(const CLI::Option* option) { return option != nullptr && option->count() > 0; }

}  // namespace quintor::cli
