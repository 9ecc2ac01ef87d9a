// The commands that need no tables: printouts, help, version, argument errors, the run log, and
// what is said about unusable locations and missing tables.
#include <sys/stat.h>

#include "CliTestSupport.h"

namespace quintor::cli::test {
namespace {

TEST(CliCommands, RulesAsInTheRunLogVersionAndHelp) {
    const RunResult rules = RunBinary({"rules"});
    const std::string bin = fs::path(QUINTOR_BINARY).parent_path().string(), log = ReadFile(bin + "/quintor.log");
    EXPECT_TRUE(rules.rc == ExitOk && rules.out.rfind("\nCONFIGURATION:\nMaxSmallNat ", 0) == 0 &&
                Contains(rules.out, "\nOfficial Quintor Rules\nNTurnsPerGame ")) << rules.out;
    EXPECT_TRUE(Contains(log, "\nVersion = 1.2.1 beta\nExePath = \"" + bin + "\"\n" + rules.out)) << log;
    EXPECT_TRUE(log.rfind("Run Started on ", 0) == 0 && Contains(log.substr(log.size() - 60), "\nRun Stopped on "));
    EXPECT_EQ(RunCli({"rules"}).out, rules.out);
    const RunResult version = RunBinary({"--version"}), help = RunCli({"--help"});
    EXPECT_TRUE(version.rc == ExitOk && version.out == "1.2.1 beta\n" && help.rc == ExitOk) << version.out;
    // Each command's synopsis is checked with its own help below.
    for (const char* usage : {"--version", "fair (default), perlist, perbag, demon, angel, special, stuckat, user"})
        EXPECT_TRUE(Contains(help.out, usage)) << usage;
}

// Each command's --help shows its own usage line and every option it takes; help wins over
// anything else on the line and runs nothing. A mistake's hint names the command's help.
TEST(CliCommands, EveryCommandHasItsOwnHelp) {
    const std::string general = RunCli({"--help"}).out;
    const struct { std::vector<std::string> words; std::string synopsis; std::vector<std::string> options; } commands[] = {
        {{"rules"}, "rules", {}},
        {{"tables", "create"}, "tables create [--location DIR] [--expected | --variance] [--threads N]",
         {"--location DIR ", "--expected ", "--variance ", "--threads N "}},
        {{"tables", "info"}, "tables info [--location DIR]", {"--location DIR "}},
        {{"evaluate"}, "evaluate [--location DIR] --strategy optimal|simple|minscore", {"--location DIR ", "--strategy NAME "}},
        {{"advise"}, "advise [--location DIR] [--target T] STATE", {"--location DIR ", "--target T ", "STATE "}},
        {{"play"}, "play [--location DIR] [--dice SOURCE] [--seed N] [--save FILE] [--history FILE]",
         {"--location DIR ", "--dice SOURCE ", "--seed N ", "--save FILE ", "--history FILE "}},
        {{"history"}, "history [--history FILE] [--dice SOURCE] [--last N] [--csv FILE]",
         {"--history FILE ", "--dice SOURCE ", "--last N ", "--csv FILE "}},
        {{"stats"}, "stats [--history FILE] [--dice SOURCE]", {"--history FILE ", "--dice SOURCE "}}};
    for (const auto& c : commands) {
        std::vector<std::string> args = c.words;
        args.push_back("--help");
        const RunResult r = RunCli(args);
        EXPECT_TRUE(r.rc == ExitOk && r.err.empty() && r.out.rfind("Usage: quintor " + c.synopsis + "\n\n", 0) == 0) << r.out;
        EXPECT_TRUE(Contains(general, "\n  " + c.synopsis + "\n")) << c.synopsis;   // the general help lists it too
        for (const std::string& option : c.options) EXPECT_TRUE(Contains(r.out, "\n  " + option)) << option;
        EXPECT_TRUE(Contains(r.out, "\n  -h, --help ") && !Contains(r.out, "\n  rules\n")) << r.out;
        args.back() = "-h";
        EXPECT_EQ(RunCli(args).out, r.out);
        args.insert(args.begin(), "help");
        args.pop_back();
        EXPECT_EQ(RunCli(args).out, r.out);
    }
    const RunResult group = RunCli({"tables", "--help"});
    EXPECT_TRUE(group.rc == ExitOk && Contains(group.out, "\n  tables create [") && Contains(group.out, "\n  tables info [")) << group.out;
    // Help runs nothing, whatever else the line holds.
    EXPECT_EQ(RunCli({"play", "--dice", "loaded", "--help"}, "s 1\n").out, RunCli({"play", "--help"}).out);
    const RunResult bad = RunCli({"play", "--bogus"});
    EXPECT_TRUE(bad.rc == ExitUsage && bad.err == "quintor: play: unknown option '--bogus'\n"
                                                  "Try 'quintor play --help' for more information.\n") << bad.err;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"tables", "create", "--threads", "0"},
                                                 {"tables", "info", "--location=a", "--location=b"}, {"--version", "rules"}})
        EXPECT_EQ(RunCli(args).rc, ExitUsage) << args.back();
}

// What could not be written is a failure (exit 1) with a message on the error stream, for every
// command; a mistake in the state text stays exit 2.
TEST(CliCommands, OutputThatCannotBeWrittenIsExitOne) {
    TempDir empty;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"rules"}, {"--help"}, {"--version"}, {"play", "--help"},
                                                 {"advise", "--location", empty.path, "123456TFHSLQC;64- 0 ;3"}}) {
        std::ofstream full("/dev/full");
        std::istringstream in;
        std::ostringstream err;
        const int rc = RunQuintor(args, in, full, err);
        EXPECT_EQ(rc, args[0] == "advise" ? ExitUsage : ExitFailure) << args[0];
        EXPECT_TRUE(Contains(err.str(), "quintor: the output could not be written")) << args[0] << ": " << err.str();
    }
    // The built program on a full standard output; with room, the same command succeeds.
    for (const char* command : {"rules", "--help"}) {
        TempDir io;
        const std::string run = "'" QUINTOR_BINARY "' " + std::string(command) + " 2>'" + io.file("err") + "'";
        int status = std::system((run + " >/dev/full").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == ExitFailure) << command;
        const std::string err = ReadFile(io.file("err"));   // the reason when the last write failed
        EXPECT_TRUE(err.rfind("quintor: the output could not be written", 0) == 0 && err.find('\n') == err.size() - 1) << err;
        status = std::system((run + " >/dev/null").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == ExitOk && ReadFile(io.file("err")).empty()) << command;
    }
}

TEST(CliCommands, MistakesInArgumentsOrStateGetAMessageAndExitTwo) {
    const struct { std::vector<std::string> args; const char* message; } cases[] = {
        {{}, "no command given"},
        {{"tables", "drop"}, "unknown subcommand 'drop'"},
        {{"tables", "create", "--expected", "--variance"}, "exclude each other"},
        {{"tables", "info", "--location", "a", "--location", "b"}, "given twice"},
        {{"rules", "now"}, "unexpected argument 'now'"},
        {{"evaluate"}, "--strategy optimal|simple|minscore is required"},
        {{"play", "--dice", "loaded"}, "unknown dice source 'loaded'"},
        {{"play", "--seed", "-1"}, "--seed needs a number from 0 to 4294967295"},
        {{"play", "--location"}, "option --location needs a value"}};
    for (const auto& c : cases) {
        const RunResult r = RunCli(c.args);
        EXPECT_TRUE(r.rc == ExitUsage && r.out.empty() && Contains(r.err, c.message)) << c.message << ": " << r.err;
    }
    const RunResult binary = RunBinary({"nonsense"});
    EXPECT_TRUE(binary.rc == ExitUsage && binary.out.empty()) << binary.out;
    EXPECT_EQ(binary.err, "quintor: unknown command 'nonsense'\nTry 'quintor --help' for more information.\n");
    // An error in the state text: the whole report and exit 2, before any table is looked for.
    TempDir empty;
    const RunResult state = RunCli({"advise", "--location", empty.path, "   123456TFHSLQC;63-   0  56666;3  "});
    EXPECT_EQ(state.rc, ExitUsage);
    EXPECT_EQ(state.out, "Error in Abstract Quintor State at position 31\n123456TFHSLQC;63-   0  56666;3\n" +
                             std::string(30, ' ') + "^\nBefore first roll, no dice can be kept\n");
}

TEST(CliCommands, UnusableLocationsAndMissingTablesAreSaidWithHowToMendThem) {
    TempDir root;
    const std::string missing = root.file("nowhere"), file = root.file("plain.txt"), locked = root.file("locked");
    const std::string create = "quintor tables create --location " + root.path + "\n", lost = ".gstbl\" was not found.\n";
    std::ofstream(file) << "not a folder";
    fs::create_directories(locked);
    ::chmod(locked.c_str(), 0555);
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"tables", "create", "--location", missing}, "\"" + missing + "\" does not exist"},
        {{"tables", "create", "--expected", "--location", file}, "is a file, not a directory"},
        {{"tables", "create", "--variance", "--location", root.path}, "Create it first with: quintor tables create --expected "},
        {{"advise", "--location", root.path, "123456TFHSLQC;63-   0  56666;0"}, lost + "Create it with: " + create},
        {{"play", "--location", root.path}, lost + "Create it with: " + create},
        {{"evaluate", "--strategy", "optimal", "--location", root.path}, lost + "Create it with: " + create},
        {{"tables", "info", "--location=" + root.path}, "table is required.\nCreate it with: " + create}};
    if (::access(locked.c_str(), W_OK) != 0)   // the super-user may write anywhere
        cases.push_back({{"tables", "create", "--location", locked}, "is not writable"});
    for (const auto& [args, message] : cases) {
        const RunResult r = RunCli(args, "s 1\n");
        EXPECT_TRUE(r.rc == ExitFailure && Contains(r.err, message)) << message << ": " << r.err;
        EXPECT_TRUE(args[1] == "info" ? Contains(r.out, "/OptEScore-Official.gstbl\n  Table not found.\n") : r.out.empty());
    }
    EXPECT_EQ(ReadFile(file), "not a folder");
    EXPECT_TRUE(fs::is_empty(locked));
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path), {}), 2);   // nothing was created
}

}  // namespace
}  // namespace quintor::cli::test
