// play: a whole game from typed input to its saved report, the ways a game ends, the seed, and the
// same game through the built program's standard input.
#include <algorithm>

#include "CliTestSupport.h"

namespace quintor::cli::test {
namespace {

// A whole game for "play --dice user", one turn a line: the dice typed, then keeps and a scoring.
// It scores 310: the upper section 65 with its bonus of 35, and 210 below.
const std::string Game =
    "3 1 4 1 6\nk 1 1\n1 2 5\nk 1 1 1\n1 1\ns 1\n"   // Aces 5 after two keeps
    "2 2 2 3 4\ns 2\n" "3 3 3 4 5\ns 3\n" "4 4 4 1 2\ns 4\n" "5 5 5 3 6\ns 5\n" "6 6 6 1 2\ns 6\n" "3 3 3 4 2\ns t\n"
    "5 5 5 5 2\ns F\n" "2 2 3 3 3\ns H\n" "1 2 3 4 6\ns S\n" "2 3 4 5 6\ns L\n" "4 4 4 4 4\ns Q\n" "6 6 6 5 5\ns C\n";

// The saved report ends its lines with CR LF only and reads as the report on the screen.
void ExpectSavedReport(const std::string& saved, const std::string& shown) {
    std::string plain = saved;
    plain.erase(std::remove(plain.begin(), plain.end(), '\r'), plain.end());
    std::string crlf;   // each line feed after a carriage return, and no carriage return elsewhere
    for (char c : plain) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(saved, crlf);
    EXPECT_TRUE(plain.rfind("\nGame Details and Analysis\n", 0) == 0 && plain.back() == '\n' && Contains(shown, plain));
}

TEST(CliPlay, TypedDiceAndChoicesToTheSavedReportTheWaysAGameEndsAndTheSeed) {
    const SharedTables& t = Tables();
    TempDir dir;
    RunResult r = RunCli({"play", "--location", t.location, "--dice", "user", "--save", dir.file("game.txt")}, Game);
    ASSERT_EQ(r.rc, ExitOk) << r.err << r.out;
    EXPECT_TRUE(Contains(r.out, "\nGame Over!\n") && !Contains(r.out, "aborted"));
    // Three choices in the first turn, one line each; the score of 310, fifteen choices.
    for (const std::string& line : {std::string(" 1 123456TFHSLQC;63-   0 11346;2  11___ "),
                                    std::string(16, ' ') + ";        11125;1  111__ ",
                                    std::string(16, ' ') + ";        11111;0  1   5 ",
                                    std::string("13 ____________C; 0+ 282 55666;2  C  28 "),
                                    std::string(34, ' ') + "  310" + std::string(29, ' '),
                                    std::string("  # Choices (one option = no choice)  :  15 total\n"),
                                    "Report saved to " + dir.file("game.txt") + "\n"})
        EXPECT_TRUE(Contains(r.out, "\n" + line)) << line;
    ExpectSavedReport(ReadFile(dir.file("game.txt")), r.out);
    // The end of input, here after a last line without its line end, aborts the game; its report
    // is still shown and saved.
    r = RunCli({"play", "--location", t.location, "--dice", "user", "--save", dir.file("end.txt")}, "3 1 4 1 6\nk 1 1");
    EXPECT_TRUE(r.rc == ExitOk && Contains(r.out, "3 dice: \n\nEnd of input: game aborted.\n") && !Contains(r.out, "Game Over!"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "  # Choices (one option = no choice)  :   1 total\n"));
    ExpectSavedReport(ReadFile(dir.file("end.txt")), r.out);
    // A report that cannot be saved is refused before the game.
    for (const std::string& target : {dir.file("no/such/folder.txt"), dir.path}) {
        r = RunCli({"play", "--location", t.location, "--save", target}, "s 1\n");
        EXPECT_TRUE(r.rc == ExitFailure && r.out.empty() && Contains(r.err, "cannot save the report to \"" + target)) << r.err;
    }
    // The seed replays the dice (4357 gives the generator's known first outputs); fair dice by default.
    const std::string choices = "s 1\ns 2\ns 3\ns 4\ns 5\ns 6\ns T\ns F\ns H\ns S\ns L\ns Q\ns C\n";
    const RunResult a = RunCli({"play", "--location", t.location, "--seed", "4357"}, choices);
    ASSERT_EQ(a.rc, ExitOk) << a.err;
    EXPECT_TRUE(Contains(a.out, "New game, dice: PRNG (per dice).\n") && Contains(a.out, "Rolled: 5 3 5 5 4\n")) << a.out;
    EXPECT_EQ(RunCli({"play", "--location", t.location, "--seed", "4357", "--dice", "fair"}, choices).out, a.out);
    EXPECT_NE(RunCli({"play", "--location", t.location, "--seed", "4358"}, choices).out, a.out);
    // Special dice, the input ending at the first choice: an empty recording, no summary.
    const RunResult special = RunCli({"play", "--location", t.location, "--dice", "special"}, "");
    EXPECT_TRUE(Contains(special.out, "dice: Special dice.\n") && Contains(special.out, "Rolled: 1 2 3 4 5\n") &&
                Contains(special.out, "game aborted.\n") && !Contains(special.out, "# Choices")) << special.out;
    // The built program plays the same game from its standard input.
    const std::vector<std::string> args = {"play", "--location", t.location, "--dice", "user", "--save", dir.file("b.txt")};
    const RunResult binary = RunBinary(args, Game);
    ASSERT_EQ(binary.rc, ExitOk) << binary.err;
    EXPECT_EQ(binary.out, RunCli(args, Game).out);
}

// Input written with CR LF line ends plays as the same lines; a roll with the wrong number of dice
// is refused with a message before the prompt comes again. Both through the built program too.
TEST(CliPlay, CrLfLinesAndRollsWithTheWrongNumberOfDice) {
    const SharedTables& t = Tables();
    const std::vector<std::string> args = {"play", "--location", t.location, "--dice", "user"};
    std::string crlf;
    for (char c : Game) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const RunResult lf = RunCli(args, Game), dos = RunCli(args, crlf);
    ASSERT_EQ(dos.rc, ExitOk) << dos.err;
    EXPECT_TRUE(Contains(dos.out, "\nGame Over!\n") && !Contains(dos.out, "\r")) << dos.out;
    EXPECT_EQ(dos.out, lf.out);
    EXPECT_EQ(RunBinary(args, crlf).out, lf.out);

    // Four dice, an empty line, six dice, then five; after keeping two, two dice instead of three.
    const std::string typed = "3 1 4 1\r\n\r\n3 1 4 1 6 6\r\n3 1 4 1 6\r\nk 1 1\r\n1 2\r\n1 2 5\r\n";
    const std::string prompt = "Enter dice roll of 5 dice: ";
    const RunResult r = RunBinary(args, typed);
    EXPECT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "\nTurn 1\n" + prompt + "5 dice values expected, not 4\n" + prompt + "5 dice values expected, not 0\n" +
                                    prompt + "Too many dice values\n" + prompt + "    Rolled: 3 1 4 1 6\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Enter dice roll of 3 dice: 3 dice values expected, not 2\nEnter dice roll of 3 dice:     Rolled: 1 2 5\n"))
        << r.out;
    EXPECT_EQ(RunCli(args, typed).out, r.out);
}

}  // namespace
}  // namespace quintor::cli::test
