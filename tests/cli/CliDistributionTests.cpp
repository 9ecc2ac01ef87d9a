// distribution and the "Luck and Skill" block after a played game.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "CliTestSupport.h"
#include "engine/QuintorScoreDistribution.h"

namespace quintor::cli::test {
namespace {

// The distribution tables create left beside the tables, read back raw.
ScoreDistribution FileDistribution(const std::string& location) {
    const std::string bytes = ReadFile(location + "/" + DistributionFileName);
    EXPECT_EQ(bytes.size(), DistributionFileBytes);
    ScoreDistribution d(NFinalScores, 0.0);
    std::memcpy(d.data(), bytes.data(), std::min(bytes.size(), DistributionFileBytes));
    return d;
}

TEST(CliDistribution, SummaryAndCsvOfTheDistributionThatTablesCreateLeft) {
    const SharedTables& t = Tables();
    EXPECT_TRUE(Contains(t.expected.out, "Saving score distribution to file named \"" + t.location +
                                             "/OptEScore-Official-D.dist\"\n"))
        << t.expected.out;
    EXPECT_FALSE(Contains(t.variance.out, "score distribution"));
    const ScoreDistribution d = FileDistribution(t.location);
    EXPECT_NEAR(DistributionSum(d), 1.0, 1e-12);

    const RunResult r = RunCli({"distribution", "--location", t.location});
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_TRUE(Contains(r.out, "Mean               = 254.58961\n") &&
                Contains(r.out, "Standard deviation = 59.61144\n")) << r.out;
    for (int p : {1, 5, 10, 25, 50, 75, 90, 95, 99})
        EXPECT_TRUE(Contains(r.out, Format("  %2d%% %5d\n", p, ScoreAtPercentile(d, p / 100.0)))) << p;
    for (int s : {200, 250, 300, 400})
        EXPECT_TRUE(Contains(r.out, Format("P(final >= %d) = %.6f\n", s, ChanceToReach(d, s)))) << s;
    EXPECT_TRUE(Contains(r.out, "  240 -  259 ") && Contains(r.out, "#\n")) << r.out;

    const RunResult csv = RunCli({"distribution", "--csv", "--location", t.location});
    ASSERT_EQ(csv.rc, ExitOk) << csv.err;
    std::istringstream lines(csv.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "score,probability");
    int n = 0;
    while (std::getline(lines, line)) {
        const std::size_t comma = line.find(',');
        ASSERT_NE(comma, std::string::npos) << line;
        EXPECT_EQ(std::stoi(line.substr(0, comma)), n);
        // Seventeen significant digits give back every bit.
        EXPECT_EQ(std::strtod(line.c_str() + comma + 1, nullptr), d[std::size_t(n)]) << line;
        ++n;
    }
    EXPECT_EQ(n, NFinalScores);

    // Without the tables, or with a stray word, it says why.
    TempDir empty;
    const RunResult none = RunCli({"distribution", "--location", empty.path});
    EXPECT_TRUE(none.rc == ExitFailure && Contains(none.err, "tables create")) << none.err;
    EXPECT_EQ(RunCli({"distribution", "--location", t.location, "extra"}).rc, ExitUsage);
    EXPECT_EQ(RunCli({"distribution", "--cvs"}).rc, ExitUsage);
}

// From a typed state, with a target; advise with a target ends every option with its chance.
TEST(CliDistribution, TargetsFromTypedStatesInDistributionAndAdvise) {
    const SharedTables& t = Tables();
    const ScoreDistribution d = FileDistribution(t.location);
    const RunResult start = RunCli({"distribution", "--location", t.location, "--target", "300"});
    ASSERT_EQ(start.rc, ExitOk) << start.err;
    EXPECT_TRUE(Contains(start.out, Format("\nP(final >= 300) = %.6f\n", ChanceToReach(d, 300)))) << start.out;

    // Three free boxes, 200 so far: the engine's own distribution from that point, as printed.
    const std::string state = "1TC;0-  200  ;3";
    const RunResult r = RunCli({"distribution", "--location", t.location, "--target", "250", state});
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    GameState g;
    g.free = CategorySet((1u << Aces) | (1u << ThreeOfAKind) | (1u << Chance));
    const ScoreDistribution from =
        DistributionFrom(OptimalStrategy->Cache->Table, g, 200, InitialTurnState);
    EXPECT_NEAR(DistributionMean(from), 200 + OptimalStrategy->Cache->Table[std::size_t(GameStateIndex(g))], 1e-9);
    EXPECT_TRUE(Contains(r.out, Format("Mean               = %.5f\n", DistributionMean(from)))) << r.out;
    EXPECT_TRUE(Contains(r.out, Format("P(final >= 250) = %.6f\n", ChanceToReach(from, 250)))) << r.out;
    EXPECT_GT(ChanceToReach(from, 250), 0.0);
    const RunResult done = RunCli({"distribution", "--location", t.location, "--target", "201", ";0-  200  ;3"});
    EXPECT_TRUE(Contains(done.out, "Mean               = 200.00000\n") &&
                Contains(done.out, "P(final >= 201) = 0.000000\n")) << done.out << done.err;
    EXPECT_EQ(RunCli({"distribution", "--location", t.location, "--target", "1576"}).rc, ExitUsage);
    EXPECT_EQ(RunCli({"distribution", "--location", t.location, "1TC;0- 20x ;3"}).rc, ExitUsage);
    const RunResult tooMuch = RunCli({"distribution", "--location", t.location, "C;0- 1570 ;3"});
    EXPECT_NE(tooMuch.rc, ExitOk);
    EXPECT_TRUE(Contains(tooMuch.err, "total")) << tooMuch.err;

    // advise: the plain lines, each followed by its chance; the chosen option's is the point's.
    const std::string roll = "1TC;0-  200  11235;1";
    const RunResult plain = RunCli({"advise", "--location", t.location, roll});
    const RunResult target = RunCli({"advise", "--location", t.location, "--target", "250", roll});
    ASSERT_EQ(target.rc, ExitOk) << target.err;
    std::istringstream a(plain.out), b(target.out);
    std::string la, lb;
    int options = 0;
    while (std::getline(a, la) && std::getline(b, lb)) {
        if (options++ == 0) {
            EXPECT_EQ(la, lb);
            continue;
        }
        ASSERT_EQ(lb.substr(0, la.size()), la);
        ASSERT_EQ(lb.size(), la.size() + 8) << lb;
        EXPECT_EQ(lb.back(), '%');
    }
    EXPECT_GT(options, 10);
    // The first line is the chosen option: its chance is that of the roll itself.
    ValueBag dice;
    for (int v : {1, 1, 2, 3, 5}) ++dice.cnt[std::size_t(v - 1)];
    const ScoreDistribution atRoll = DistributionFrom(OptimalStrategy->Cache->Table, g, 200,
                                                      {1, ToChoose, RankFromValueBag(dice)});
    std::istringstream c(target.out);
    std::getline(c, la);
    std::getline(c, la);
    EXPECT_EQ(la.substr(la.size() - 8), Format(" %6.2f%%", 100.0 * ChanceToReach(atRoll, 250))) << la;
}

TEST(CliDistribution, PlayEndsWithTheLuckAndSkillBlock) {
    const SharedTables& t = Tables();
    // The whole game of the play tests, one turn a line, scoring 310.
    const std::string game =
        "3 1 4 1 6\nk 1 1\n1 2 5\nk 1 1 1\n1 1\ns 1\n"
        "2 2 2 3 4\ns 2\n" "3 3 3 4 5\ns 3\n" "4 4 4 1 2\ns 4\n" "5 5 5 3 6\ns 5\n" "6 6 6 1 2\ns 6\n"
        "3 3 3 4 2\ns t\n" "5 5 5 5 2\ns F\n" "2 2 3 3 3\ns H\n" "1 2 3 4 6\ns S\n" "2 3 4 5 6\ns L\n"
        "4 4 4 4 4\ns Q\n" "6 6 6 5 5\ns C\n";
    const RunResult r = RunCli({"play", "--location", t.location, "--dice", "user"}, game);
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    const std::size_t at = r.out.find("\nLuck and Skill\n==== === =====\n\nExpected at start 254.59 + luck ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string block = r.out.substr(at);
    double luck = 0, loss = 0;
    int score = 0;
    ASSERT_EQ(std::sscanf(block.c_str(), "\nLuck and Skill\n==== === =====\n\nExpected at start 254.59 + luck %lf - loss %lf = %d",
                          &luck, &loss, &score), 3) << block;
    EXPECT_EQ(score, 310);
    EXPECT_NEAR(254.59 + luck - loss, 310.0, 0.02);
    // The loss is the report's sum of deltas, on its totals line.
    EXPECT_TRUE(Contains(r.out, Format("%34s%5d%29s%7.2f\n", "", 310, "", loss))) << r.out;
    const ScoreDistribution d = FileDistribution(t.location);
    const std::string pct = Format("310 is better than %.1f%% of games played perfectly\n", 100.0 * ScorePercentile(d, 310));
    EXPECT_TRUE(block.size() > pct.size() && block.substr(block.size() - pct.size()) == pct) << block;

    // An aborted game: V after the last choice, and no percentile.
    const RunResult cut = RunCli({"play", "--location", t.location, "--dice", "user"}, "3 1 4 1 6\nk 1 1\n");
    ASSERT_EQ(cut.rc, ExitOk) << cut.err;
    const std::size_t c = cut.out.find("\nExpected at start 254.59 + luck ");
    ASSERT_NE(c, std::string::npos) << cut.out;
    double v = 0;
    ASSERT_EQ(std::sscanf(cut.out.c_str() + c, "\nExpected at start 254.59 + luck %lf - loss %lf = %lf expected at the abort\n",
                          &luck, &loss, &v), 3) << cut.out.substr(c);
    EXPECT_NEAR(254.59 + luck - loss, v, 0.02);
    EXPECT_FALSE(Contains(cut.out, "better than"));
}

}  // namespace
}  // namespace quintor::cli::test
