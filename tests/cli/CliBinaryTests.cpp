// The built program itself: exit codes, its run log, the default table location beside it, and a
// game played through its real standard input.
#include <filesystem>

#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "cli/Cli.h"

namespace quintor::cli::test {
namespace {

namespace fs = std::filesystem;

TEST(CliBinary, PrintsVersionAndRulesRejectsNonsenseAndLogsBesideItself) {
    RunResult r = RunBinary({"--version"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "1.2.1 beta\n");
    r = RunBinary({"rules"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, RunCli({"rules"}).out);
    r = RunBinary({"nonsense"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "quintor: unknown command 'nonsense'\nTry 'quintor --help' for more "
              "information.\n");

    // The run log beside the program, from its first line to its last.
    const std::string bin = fs::path(BinaryPath()).parent_path().string();
    const auto lines = Lines(ReadFile(bin + "/quintor.log"));
    ASSERT_GE(lines.size(), 22u);
    EXPECT_EQ(lines.front().rfind("Run Started on ", 0), 0u) << lines.front();
    EXPECT_EQ(lines[1], "Version = 1.2.1 beta");
    EXPECT_EQ(lines[2], "ExePath = \"" + bin + "\"");
    EXPECT_EQ(lines[4], "CONFIGURATION:");
    EXPECT_EQ(lines[12], "Official Quintor Rules");
    EXPECT_EQ(lines.back().rfind("Run Stopped on ", 0), 0u) << lines.back();
}

TEST(CliBinary, FindsTheTablesInTheGstblFolderBesideItsFolder) {
    const SharedTables& t = Tables();
    TempDir root;
    fs::create_directories(root.file("bin"));
    fs::create_directories(root.file("gstbl"));
    const std::string program = root.file("bin/quintor");
    fs::copy_file(BinaryPath(), program);
    for (const char* name : {"OptEScore-Official.gstbl", "OptEScore-Official-V.gstbl"})
        fs::copy_file(t.location + "/" + name, root.file("gstbl/") + name);

    RunResult r = RunBinary({"tables", "info"}, "", program);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Table location: " + root.file("bin/../gstbl") + "\n")) << r.out;
    r = RunBinary({"advise", "123456TFHSLQC;63-   0  56666;0"}, "", program);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(Lines(r.out).front(), "13 options");
    EXPECT_TRUE(fs::exists(root.file("bin/quintor.log")));

    fs::remove_all(root.file("gstbl"));
    r = RunBinary({"tables", "info"}, "", program);
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(Contains(r.out, "Table location: " + root.file("bin") + "\n")) << r.out;
    EXPECT_TRUE(Contains(r.err, "Create it with: quintor tables create\n")) << r.err;
}

TEST(CliBinary, PlaysAScriptedGameFromItsStandardInput) {
    const SharedTables& t = Tables();
    TempDir dir;
    const RunResult inProcess =
        RunCli({"play", "--location", t.location, "--dice", "user", "--save", dir.file("a.txt")},
               ScriptedGame());
    const RunResult r =
        RunBinary({"play", "--location", t.location, "--dice", "user", "--save", dir.file("b.txt")},
                  ScriptedGame());
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Game Over!"));
    const std::string saved = ReadFile(dir.file("b.txt"));
    EXPECT_TRUE(Contains(saved, "  310"));
    EXPECT_EQ(saved, ReadFile(dir.file("a.txt")));

    const RunResult aborted =
        RunBinary({"play", "--location", t.location, "--dice", "user"}, "3 1 4 1 6\n");
    EXPECT_EQ(aborted.rc, 0) << aborted.err;
    EXPECT_TRUE(Contains(aborted.out, "End of input: game aborted."));
}

}  // namespace
}  // namespace quintor::cli::test
