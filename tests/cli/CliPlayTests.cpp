// play: a whole game from typed input, its recording and report, and the ways a game ends.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "cli/Cli.h"

namespace quintor::cli::test {
namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The saved report has CRLF line ends only, and reads as the report shown on the screen.
void ExpectSavedReport(const std::string& saved, const std::string& shown) {
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.rfind("\r\nGame Details and Analysis\r\n==== ======= === ========\r\n", 0), 0u);
    EXPECT_EQ(saved.substr(saved.size() - 2), "\r\n");
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (saved[i] == '\n') {
            ASSERT_TRUE(i > 0 && saved[i - 1] == '\r') << "bare line feed at " << i;
        }
    }
    std::string plain;
    for (char c : saved)
        if (c != '\r') plain += c;
    EXPECT_TRUE(Contains(shown, plain));
}

TEST(CliPlay, ScriptedGameWithTypedDiceIsRecordedReportedAndSaved) {
    const SharedTables& t = Tables();
    TempDir dir;
    const std::string report = dir.file("game.txt");
    const RunResult r = RunCli(
        {"play", "--location", t.location, "--dice", "user", "--save", report}, ScriptedGame());
    ASSERT_EQ(r.rc, ExitOk) << r.err << r.out;
    EXPECT_EQ(r.err, "");

    // The dialogue: dice asked again after a bad line, choices asked again after a refused one.
    EXPECT_EQ(Count(r.out, "Enter dice roll of 5 dice: "), 13u);
    EXPECT_EQ(Count(r.out, "Enter dice roll of 3 dice: "), 3u);
    EXPECT_EQ(Count(r.out, "Enter dice roll of 2 dice: "), 1u);
    EXPECT_EQ(Count(r.out, "  Choice ["), 18u);
    EXPECT_EQ(Count(r.out, "  Choice [s <category>]? "), 2u);
    EXPECT_EQ(Count(r.out, "    Rolled: "), 15u);
    EXPECT_TRUE(Contains(r.out, "    Rolled: 3 1 4 1 6"));
    EXPECT_EQ(Count(r.out, "Game state: "), 13u);
    EXPECT_TRUE(Contains(r.out, "\nGame Over!\n"));
    EXPECT_FALSE(Contains(r.out, "aborted"));

    // The report: three choices in the first turn, one line per choice, the score of 310.
    EXPECT_TRUE(Contains(r.out, "\n 1 123456TFHSLQC;63-   0 11346;2  11___ "));
    EXPECT_TRUE(Contains(
        r.out, "\n" + std::string(16, ' ') + ";" + std::string(8, ' ') + "11125;1  111__ "));
    EXPECT_TRUE(Contains(
        r.out, "\n" + std::string(16, ' ') + ";" + std::string(8, ' ') + "11111;0  1   5 "));
    EXPECT_TRUE(Contains(r.out, "\n 2 _23456TFHSLQC;58-   5 22234;2  2   6 "));
    EXPECT_TRUE(Contains(r.out, "\n 6 _____6TFHSLQC;16-  47 12666;2  6  53 "));
    EXPECT_TRUE(Contains(r.out, "\n13 ____________C; 0+ 282 55666;2  C  28 "));
    EXPECT_TRUE(Contains(r.out, "\n" + std::string(34, ' ') + "  310" + std::string(29, ' ')));
    EXPECT_TRUE(Contains(r.out, "  # Choices (one option = no choice)  :  15 total\n"));
    EXPECT_TRUE(Contains(r.out, "\nReport saved to " + report + "\n"));
    ExpectSavedReport(ReadFile(report), r.out);
}

TEST(CliPlay, EndOfInputAbortsTheGameAndStillReportsIt) {
    const SharedTables& t = Tables();
    TempDir dir;
    const std::string report = dir.file("aborted.txt");
    RunResult r = RunCli({"play", "--location", t.location, "--dice", "user", "--save", report},
                         "3 1 4 1 6\nk 1 1\n");
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "End of input: game aborted.\n"));
    EXPECT_FALSE(Contains(r.out, "Game Over!"));
    EXPECT_TRUE(Contains(r.out, "\n 1 123456TFHSLQC;63-   0 11346;2  11___ "));
    EXPECT_TRUE(Contains(r.out, "\n" + std::string(34, ' ') + "    0"));
    EXPECT_TRUE(Contains(r.out, "  # Choices (one option = no choice)  :   1 total\n"));
    ExpectSavedReport(ReadFile(report), r.out);

    // Ended at the first choice: an empty recording, no summary.
    r = RunCli({"play", "--location", t.location, "--dice", "special"}, "");
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "    Rolled: 1 2 3 4 5\n"));
    EXPECT_TRUE(Contains(r.out, "End of input: game aborted.\n"));
    EXPECT_TRUE(Contains(r.out, "Game Details and Analysis"));
    EXPECT_FALSE(Contains(r.out, "# Choices"));

    // A last line without its line end still counts; the game ends at the next question.
    r = RunCli({"play", "--location", t.location, "--dice", "user"}, "6 6 6 6 6\nk 6 6");
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "Enter dice roll of 3 dice: "));
    EXPECT_TRUE(Contains(r.out, "End of input: game aborted.\n"));
    EXPECT_TRUE(Contains(r.out, "  # Choices (one option = no choice)  :   1 total\n"));
}

TEST(CliPlay, SeedReplaysTheDiceAndSourcesAreSelectable) {
    const SharedTables& t = Tables();
    const std::string choices = "s 1\ns 2\ns 3\ns 4\ns 5\ns 6\ns T\ns F\ns H\ns S\ns L\ns Q\ns C\n";
    const RunResult a = RunCli({"play", "--location", t.location, "--seed", "7"}, choices);
    const RunResult b =
        RunCli({"play", "--location", t.location, "--seed", "7", "--dice", "fair"}, choices);
    const RunResult c = RunCli({"play", "--location", t.location, "--seed", "8"}, choices);
    ASSERT_EQ(a.rc, ExitOk) << a.err;
    EXPECT_TRUE(Contains(a.out, "Game Over!"));
    EXPECT_EQ(Count(a.out, "    Rolled: "), 13u);
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.out, c.out);

    // Special dice count on across rolls: 1 2 3 4 5, then 6 1 2 3 4, and start again each game.
    const RunResult s =
        RunCli({"play", "--location", t.location, "--dice", "special"}, "s 1\ns 2\n");
    EXPECT_TRUE(Contains(s.out, "    Rolled: 1 2 3 4 5\n"));
    EXPECT_TRUE(Contains(s.out, "    Rolled: 6 1 2 3 4\n"));
    EXPECT_TRUE(Contains(s.out, "    Rolled: 5 6 1 2 3\n"));
}

TEST(CliPlay, AReportThatCannotBeSavedIsRefusedBeforeTheGame) {
    const SharedTables& t = Tables();
    TempDir dir;
    RunResult r = RunCli(
        {"play", "--location", t.location, "--save", dir.file("no/such/folder.txt")}, "s 1\n");
    EXPECT_EQ(r.rc, ExitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Contains(r.err, "does not exist")) << r.err;
    r = RunCli({"play", "--location", t.location, "--save", dir.path()}, "s 1\n");
    EXPECT_EQ(r.rc, ExitFailure);
    EXPECT_TRUE(Contains(r.err, "it is a directory")) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace quintor::cli::test
