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
