// The history on the console: play stores each game, finished or aborted, in the file given with
// --history; history and stats read them back; a damaged or unusable file never changes play.
#include <algorithm>
#include <ctime>
#include <set>

#include "CliTestSupport.h"
#include "history/QuintorDrills.h"

namespace quintor::cli::test {
namespace {

// Scores the thirteen categories in order, whatever the dice: a whole game with any source.
const std::string ScoreInOrder = "s 1\ns 2\ns 3\ns 4\ns 5\ns 6\ns t\ns f\ns h\ns s\ns l\ns q\ns c\n";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(CliHistory, PlayedGamesReadBackByHistoryAndStats) {
    const SharedTables& t = Tables();
    TempDir dir;
    const std::string h = dir.file("h.sqlite");
    // A finished game with fair dice, then one aborted by the end of the input.
    RunResult r = RunCli({"play", "--location", t.location, "--seed", "77", "--history", h}, ScoreInOrder);
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(Contains(r.out, "\nGame Over!\n"));
    r = RunCli({"play", "--location", t.location, "--seed", "78", "--history", h}, "s 1\ns 2\n");
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(Contains(r.out, "game aborted"));

    r = RunCli({"history", "--history", h});
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_TRUE(Contains(lines[0], " fair ") && !Contains(lines[0], "aborted") && Contains(lines[0], "%")) << lines[0];
    EXPECT_TRUE(Contains(lines[1], " fair ") && Contains(lines[1], "aborted")) << lines[1];
    r = RunCli({"history", "--history", h, "--last", "1"});
    EXPECT_EQ(Lines(r.out), std::vector<std::string>{lines[1]});
    r = RunCli({"history", "--history", h, "--dice", "demon"});
    EXPECT_EQ(r.out, "No games in the history " + h + ".\n");

    // The full table: a header and a record per game, CR LF line ends.
    r = RunCli({"history", "--history", h, "--csv", dir.file("h.csv")});
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_EQ(r.out, "2 games written to " + dir.file("h.csv") + "\n");
    const std::string csv = ReadFile(dir.file("h.csv"));
    EXPECT_EQ(Count(csv, "\r\n"), 3) << csv;
    EXPECT_EQ(Count(csv, "\n"), 3) << csv;
    EXPECT_EQ(Count(csv, ",fair,"), 2) << csv;

    // The statistics count the fair games by default; the finished game's score is the mean.
    r = RunCli({"stats", "--history", h});
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "Statistics of 2 games with ") && Contains(r.out, "(1 finished, 1 aborted)")) << r.out;
    EXPECT_TRUE(Contains(r.out, "The costliest habits")) << r.out;
    // The first game in order scores Aces...Chance: its habits lose points somewhere.
    EXPECT_TRUE(Contains(r.out, "Scoring in ")) << r.out;
    r = RunCli({"stats", "--history", h, "--dice", "user"});
    EXPECT_TRUE(r.rc == ExitOk && Contains(r.out, "No games with ")) << r.out;

    // Typed dice are their own source.
    r = RunCli({"play", "--location", t.location, "--dice", "user", "--history", h}, "3 1 4 1 6\ns c\n");
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    r = RunCli({"stats", "--history", h, "--dice", "user"});
    EXPECT_TRUE(Contains(r.out, "Statistics of 1 games with ")) << r.out;
    r = RunCli({"history", "--history", h, "--dice", "all"});
    EXPECT_EQ(Lines(r.out).size(), 3u);
    EXPECT_TRUE(Contains(Lines(r.out)[2], " user ") && Contains(Lines(r.out)[2], "  15 aborted")) << r.out;

    // Mistakes on the command line.
    EXPECT_EQ(RunCli({"history", "--last", "0"}).rc, 2);
    EXPECT_EQ(RunCli({"stats", "--dice", "loaded"}).rc, 2);
}

TEST(CliHistory, AFaultyHistoryChangesNeitherTheGameNorItsExitCode) {
    const SharedTables& t = Tables();
    TempDir dir;
    const std::vector<std::string> play = {"play", "--location", t.location, "--seed", "99", "--history"};
    auto with = [&](const std::string& file) {
        std::vector<std::string> args = play;
        args.push_back(file);
        return RunCli(args, ScoreInOrder);
    };
    const RunResult good = with(dir.file("good.sqlite"));
    ASSERT_EQ(good.rc, ExitOk);
    EXPECT_EQ(good.err, "");

    // A damaged file is moved aside and the game goes into a new one.
    const std::string bad = dir.file("bad.sqlite");
    std::ofstream(bad, std::ios::binary) << std::string(8192, 'x');
    RunResult r = with(bad);
    EXPECT_EQ(r.rc, good.rc);
    EXPECT_EQ(r.out, good.out);
    EXPECT_EQ(Count(r.err, "\n"), 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "was damaged; it was moved to")) << r.err;
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path)) files += Contains(e.path().filename().string(), "bad") ? 1 : 0;
    EXPECT_GE(files, 2);
    r = RunCli({"history", "--history", bad});
    EXPECT_EQ(Lines(r.out).size(), 1u) << r.out << r.err;

    // A folder that does not exist: one line on standard error, the game as always.
    r = with(dir.file("missing/h.sqlite"));
    EXPECT_EQ(r.rc, good.rc);
    EXPECT_EQ(r.out, good.out);
    EXPECT_EQ(Count(r.err, "\n"), 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "quintor: ")) << r.err;
    // Reading it is the command's failure.
    r = RunCli({"stats", "--history", dir.file("missing/h.sqlite")});
    EXPECT_EQ(r.rc, ExitFailure);
    EXPECT_TRUE(Contains(r.err, "quintor: ")) << r.err;
}

TEST(CliHistory, StatsEndWithTheDrillRecord) {
    const SharedTables& t = Tables();
    TempDir dir;
    const std::string h = dir.file("h.sqlite");
    ASSERT_EQ(RunCli({"play", "--location", t.location, "--seed", "77", "--history", h}, ScoreInOrder).rc, ExitOk);
    // The positions of the game where a choice lost a point or more, counted here from its choices.
    std::vector<std::string> costly;
    {
        HistoryDatabase db(h);
        const std::optional<HistoryGame> g = db.ReadGame(1);
        ASSERT_TRUE(g.has_value());
        std::set<std::string> seen;
        for (const HistoryChoice& c : g->choices)
            if (c.loss >= 1.0 && seen.insert(c.position).second) costly.push_back(c.position);
    }
    ASSERT_GE(costly.size(), 2u);
    const int n = int(costly.size());
    RunResult r = RunCli({"stats", "--history", h});
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "\n\nDrills\n  No drill answered yet\n" +
                                    Format("  Positions from your games      : %5d\n", n) +
                                    Format("  Due now                        : %5d\n", n) +
                                    Format("  In boxes 1 to 6                : %5d     0     0     0     0     0\n", n)))
        << r.out;
    EXPECT_LT(r.out.find("The costliest habits"), r.out.find("\nDrills\n"));

    // One position answered right (up to box 2, due in a day), one wrong (box 1, due), and one
    // position that is not from the games (it counts as an answer only).
    const std::int64_t now = std::time(nullptr);
    {
        HistoryDatabase db(h);
        ASSERT_TRUE(db.StoreDrillAnswer({0, now - 100, costly[0], "C  19", "C  19", 0.0}).ok);
        ASSERT_TRUE(db.StoreDrillAnswer({0, now - 90, costly[1], "C  19", "3456_", 3.5}).ok);
        ASSERT_TRUE(db.StoreDrillAnswer({0, now - 80, "123456TFHSLQC;63-   0  13456;2", "3456_", "3456_", 0.0}).ok);
    }
    for (const std::string dice : {"fair", "demon"}) {   // the record is the same for every dice source
        r = RunCli({"stats", "--history", h, "--dice", dice});
        ASSERT_EQ(r.rc, ExitOk) << r.err;
        EXPECT_TRUE(Contains(r.out, "\nDrills\n  Answers given                  :     3\n"
                                    "  Right answers                  :     2 (66.7%)\n" +
                                        Format("  Positions from your games      : %5d\n", n) +
                                        Format("  Due now                        : %5d\n", n - 1) +
                                        Format("  In boxes 1 to 6                : %5d     1     0     0     0     0\n", n - 1)))
            << r.out;
    }
}

}  // namespace quintor::cli::test
