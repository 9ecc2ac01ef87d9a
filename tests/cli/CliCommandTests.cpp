// The commands that need no tables: printouts, help, version, argument errors, the table location
// and the messages for missing tables.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "cli/Cli.h"
#include "cli/CliCommon.h"
#include "core/GeneralStuff.h"

namespace quintor::cli::test {
namespace {

TEST(CliRules, PrintsConfigurationAndRulesLineForLine) {
    const RunResult r = RunCli({"rules"});
    EXPECT_EQ(r.rc, ExitOk);
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> expected = {
        "",
        "CONFIGURATION:",
        "MaxSmallNat        =      15",
        "MinValue           =       1",
        "MaxValue           =       6",
        "NDice              =       5",
        "MaxRollsPerTurn    =       5",
        "MaxBonusThreshold  =      63",
        "",
        "Official Quintor Rules",
        "NTurnsPerGame      =    13",
        "NRollsPerTurn      =     3",
        "BonusThreshold     =    63",
        "UpperSectionBonus  =    35",
        "ExtraQuintorBonus  =   100",
        "JokerRule          =  TRUE",
        "InitialGameState: free=  123456TFHSLQC, upper section need= 63, chip= FALSE",
        "InitialTurnState: rolls left= 3, phase= Roll into , dice= _ _ _ _ _ ",
    };
    EXPECT_EQ(Lines(r.out), expected);
    EXPECT_EQ(r.out.back(), '\n');

    const RunResult extra = RunCli({"rules", "now"});
    EXPECT_EQ(extra.rc, ExitUsage);
    EXPECT_EQ(extra.out, "");
}

TEST(CliHelp, VersionAndUsageOfEveryCommand) {
    const RunResult v = RunCli({"--version"});
    EXPECT_EQ(v.rc, ExitOk);
    EXPECT_EQ(v.out, "1.2.1 beta\n");

    const RunResult h = RunCli({"--help"});
    EXPECT_EQ(h.rc, ExitOk);
    EXPECT_EQ(h.err, "");
    for (const char* usage :
         {"rules", "tables create [--location DIR] [--expected | --variance] [--threads N]",
          "tables info [--location DIR]",
          "evaluate [--location DIR] --strategy optimal|simple|minscore",
          "advise [--location DIR] STATE",
          "play [--location DIR] [--dice SOURCE] [--seed N] [--save FILE]", "--version",
          "fair (default), perlist, perbag, demon, angel, special, stuckat, user"})
        EXPECT_TRUE(Contains(h.out, usage)) << usage;

    // Help after a command word shows the same text and runs nothing.
    const RunResult ph = RunCli({"play", "--help"});
    EXPECT_EQ(ph.rc, ExitOk);
    EXPECT_EQ(ph.out, h.out);
    EXPECT_EQ(RunCli({"tables", "create", "--help"}).out, h.out);
}

TEST(CliArguments, MistakesGetAMessageAHintAndExitTwo) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"tables"}, "tables: say create or info"},
        {{"tables", "drop"}, "unknown subcommand 'drop'"},
        {{"tables", "create", "--expected", "--variance"}, "exclude each other"},
        {{"tables", "create", "--threads", "0"}, "--threads needs a number from 1"},
        {{"tables", "create", "--threads", "two"}, "not 'two'"},
        {{"tables", "create", "--expected=yes"}, "--expected takes no value"},
        {{"tables", "info", "--location", "a", "--location", "b"}, "given twice"},
        {{"tables", "info", "extra"}, "unexpected argument 'extra'"},
        {{"evaluate"}, "--strategy optimal|simple|minscore is required"},
        {{"evaluate", "--strategy", "clever"}, "unknown strategy 'clever'"},
        {{"advise"}, "the abstract state is missing"},
        {{"advise", "--depth", "3", "x"}, "unknown option '--depth'"},
        {{"play", "--dice", "loaded"}, "unknown dice source 'loaded'"},
        {{"play", "--seed", "-1"}, "--seed needs a number from 0 to 4294967295"},
        {{"play", "--location"}, "option --location needs a value"},
    };
    for (const auto& c : cases) {
        const RunResult r = RunCli(c.args);
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        EXPECT_EQ(r.rc, ExitUsage) << shown;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_TRUE(Contains(r.err, c.message)) << shown << "-> " << r.err;
        EXPECT_TRUE(Contains(r.err, "Try 'quintor --help'")) << shown;
    }
}

TEST(CliLocation, UnusableLocationsStopTableCreationBeforeAnyWork) {
    TempDir root;
    const std::string missing = root.file("nowhere");
    RunResult r = RunCli({"tables", "create", "--location", missing});
    EXPECT_EQ(r.rc, ExitFailure);
    EXPECT_TRUE(Contains(r.err, "\"" + missing + "\" does not exist")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(r.out, "");

    const std::string file = root.file("plain.txt");
    std::ofstream(file) << "not a folder";
    r = RunCli({"tables", "create", "--location", file, "--expected"});
    EXPECT_EQ(r.rc, ExitFailure);
    EXPECT_TRUE(Contains(r.err, "is a file, not a directory")) << r.err;
    EXPECT_EQ(ReadFile(file), "not a folder");

    const std::string locked = root.file("locked");
    std::filesystem::create_directories(locked);
    ::chmod(locked.c_str(), 0555);
    if (::access(locked.c_str(), W_OK) != 0) {   // the super-user may write anywhere
        r = RunCli({"tables", "create", "--location", locked});
        EXPECT_EQ(r.rc, ExitFailure);
        EXPECT_TRUE(Contains(r.err, "is not writable")) << r.err;
        EXPECT_TRUE(std::filesystem::is_empty(locked));
    }
}

TEST(CliLocation, WithoutTheExpectedTableEveryCommandSaysHowToCreateIt) {
    TempDir empty;
    const std::string hint = "quintor tables create --location " + empty.path();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"advise", "--location", empty.path(),
                                   "123456TFHSLQC;63-   0  56666;0"},
          {"play", "--location", empty.path()},
          {"evaluate", "--strategy", "optimal", "--location", empty.path()}}) {
        const RunResult r = RunCli(args, "s 1\n");
        EXPECT_EQ(r.rc, ExitFailure) << args[0];
        EXPECT_TRUE(Contains(r.err, "OptEScore-Official.gstbl\" was not found")) << r.err;
        EXPECT_TRUE(Contains(r.err, hint)) << r.err;
        EXPECT_EQ(r.out, "") << args[0];
    }

    const RunResult info = RunCli({"tables", "info", "--location=" + empty.path()});
    EXPECT_EQ(info.rc, ExitFailure);
    EXPECT_TRUE(Contains(info.out, "Table location: " + empty.path()));
    EXPECT_TRUE(
        Contains(info.out, empty.file("OptEScore-Official.gstbl") + "\n  Table not found."));
    EXPECT_TRUE(
        Contains(info.out, empty.file("OptEScore-Official-V.gstbl") + "\n  Table not found."));
    EXPECT_TRUE(Contains(info.err, hint)) << info.err;

    const RunResult variance =
        RunCli({"tables", "create", "--variance", "--location", empty.path()});
    EXPECT_EQ(variance.rc, ExitFailure);
    EXPECT_TRUE(
        Contains(variance.err, "quintor tables create --expected --location " + empty.path()))
        << variance.err;
    EXPECT_TRUE(std::filesystem::is_empty(empty.path()));

    const RunResult nowhere = RunCli({"advise", "--location", empty.file("gone"), ";0-0;3"});
    EXPECT_EQ(nowhere.rc, ExitFailure);
    EXPECT_TRUE(Contains(nowhere.err, "does not exist")) << nowhere.err;
}

}  // namespace
}  // namespace quintor::cli::test
