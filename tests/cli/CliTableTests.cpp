// tables create, tables info and evaluate on the complete tables.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "cli/Cli.h"
#include "core/GeneralStuff.h"

namespace quintor::cli::test {
namespace {

// Index of the first line equal to text at or after from; lines.size() when there is none.
std::size_t Find(const std::vector<std::string>& lines, const std::string& text,
                 std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i] == text) return i;
    return lines.size();
}

// The number after "label" on the line of out that starts with it.
double ValueAfter(const std::string& out, const std::string& label) {
    const auto at = out.find(label);
    if (at == std::string::npos) return -1.0;
    return std::strtod(out.c_str() + at + label.size(), nullptr);
}

struct Moments {
    double mean = 0.0, variance = 0.0;
};

// Mean and variance of the score of one roll of five fair dice in category c (0..12), counted
// over all 7776 ordered rolls.
Moments OneRollMoments(int c) {
    double sum = 0.0, sumSq = 0.0;
    int d[5];
    for (int code = 0; code < 7776; ++code) {
        int n[7] = {0, 0, 0, 0, 0, 0, 0}, total = 0, x = code;
        for (int& v : d) {
            v = x % 6 + 1;
            x /= 6;
            ++n[v];
            total += v;
        }
        const int most = *std::max_element(n + 1, n + 7);
        const bool pair = std::count(n + 1, n + 7, 2) == 1;
        auto run = [&](int from, int len) {
            for (int v = from; v < from + len; ++v)
                if (n[v] == 0) return false;
            return true;
        };
        int score = 0;
        if (c < 6)
            score = n[c + 1] * (c + 1);
        else if (c == 6)
            score = most >= 3 ? total : 0;
        else if (c == 7)
            score = most >= 4 ? total : 0;
        else if (c == 8)
            score = most == 3 && pair ? 25 : 0;
        else if (c == 9)
            score = run(1, 4) || run(2, 4) || run(3, 4) ? 30 : 0;
        else if (c == 10)
            score = run(1, 5) || run(2, 5) ? 40 : 0;
        else if (c == 11)
            score = most == 5 ? 50 : 0;
        else
            score = total;
        sum += score;
        sumSq += double(score) * score;
    }
    const double mean = sum / 7776.0;
    return {mean, sumSq / 7776.0 - mean * mean};
}

TEST(CliTablesCreate, EachRunWritesItsTableWithItsRunLogLinesOnStdoutAndAFullBar) {
    const SharedTables& t = Tables();
    const RunResult& r = t.expected;
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_EQ(std::filesystem::file_size(t.location + "/OptEScore-Official.gstbl"), 6291456u);
    auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 9u) << r.out;
    EXPECT_EQ(lines[0], "Creating Optimal Expected Final Score Table");
    EXPECT_EQ(lines[1], "# Known entries in OptECache^.gstbl = ");
    EXPECT_EQ(lines[2], "  0");
    EXPECT_EQ(lines[3], "Computing all choices for optimal Quintor strategy ...");
    const std::size_t known = Find(lines, "# Known entries in OptECache^.gstbl = ", 4);
    ASSERT_EQ(known + 5, lines.size()) << r.out;
    EXPECT_EQ(lines[known + 1], "  786432");
    EXPECT_EQ(lines[known + 2], "Optimal Expected Final Score of Zelk for GRAND TOTAL = ");
    EXPECT_TRUE(std::regex_match(lines[known + 3], std::regex("  254\\.[0-9]{5}")))
        << lines[known + 3];
    EXPECT_EQ(lines[known + 4], "Saving GameStateTable to file named \"" + t.location +
                                    "/OptEScore-Official.gstbl\"");
    // One bar on stderr, filled once, and nothing else there.
    EXPECT_TRUE(
        Contains(r.err, "\rOptimal Expected Final Score [" + std::string(40, '#') + "] 100%\n"));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

    // The variance run reads the expected-score table from the location.
    const RunResult& v = t.variance;
    ASSERT_EQ(v.rc, ExitOk) << v.err;
    EXPECT_EQ(std::filesystem::file_size(t.location + "/OptEScore-Official-V.gstbl"), 6291456u);
    lines = Lines(v.out);
    ASSERT_GE(lines.size(), 9u) << v.out;
    EXPECT_EQ(lines[0], "Creating Variance-in-Final-Score Table");
    EXPECT_EQ(lines[1], "# Known entries in VCache^.gstbl = ");
    EXPECT_EQ(lines[2], "  0");
    EXPECT_EQ(lines[3], "Computing all variances for optimal choices ...");
    const std::size_t vknown = Find(lines, "# Known entries in VCache^.gstbl = ", 4);
    ASSERT_EQ(vknown + 5, lines.size()) << v.out;
    EXPECT_EQ(lines[vknown + 1], "  786432");
    EXPECT_EQ(lines[vknown + 2], "Variance in Final Score of Zelk for GRAND TOTAL = ");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[vknown + 3], m,
                                 std::regex("([0-9]+\\.[0-9]{5}) = ([0-9]+\\.[0-9]{5})\\^2")))
        << lines[vknown + 3];
    const double variance = std::stod(m[1]), sd = std::stod(m[2]);
    EXPECT_NEAR(sd * sd, variance, 2 * sd * 1e-5 + 1e-9);
    EXPECT_GT(sd, 50.0);
    EXPECT_LT(sd, 70.0);
    EXPECT_EQ(lines[vknown + 4], "Saving GameStateTable to file named \"" + t.location +
                                     "/OptEScore-Official-V.gstbl\"");
    EXPECT_TRUE(Contains(v.err, "\rVariance in Final Score [" + std::string(40, '#') + "] 100%\n"));
    EXPECT_EQ(std::count(v.err.begin(), v.err.end(), '\n'), 1) << v.err;

    // The lines still go to the run log itself.
    FlushLog();
    const std::string log = ReadFile(LogFilePath());
    EXPECT_TRUE(Contains(log, "Creating Optimal Expected Final Score Table\n"));
    EXPECT_TRUE(Contains(log, "Computing all variances for optimal choices ...\n"));
}

TEST(CliTablesInfo, ShowsEachTableItsEntriesAndItsValueLine) {
    const SharedTables& t = Tables();
    const RunResult r = RunCli({"tables", "info", "--location", t.location});
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    const std::size_t e = Find(lines, "Optimal Expected Score Table (required): " + t.location +
                                          "/OptEScore-Official.gstbl");
    ASSERT_LT(e + 3, lines.size()) << r.out;
    EXPECT_EQ(lines[e + 1], "  Table found.");
    EXPECT_EQ(lines[e + 2], "  # Known entries in table = 786432");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        lines[e + 3], m,
        std::regex("  Optimal Expected Final Score of Zelk for GRAND TOTAL = (254\\.[0-9]+)")))
        << lines[e + 3];
    const double expected = std::stod(m[1]);
    EXPECT_GE(m[1].str().size(), 12u);   // all fifteen significant digits
    EXPECT_NEAR(expected, ValueAfter(t.expected.out, "GRAND TOTAL = \n  "), 0.5e-5);

    const std::size_t v = Find(
        lines, "Variance-in-Score Table (optional): " + t.location + "/OptEScore-Official-V.gstbl");
    ASSERT_LT(v + 3, lines.size()) << r.out;
    EXPECT_EQ(lines[v + 1], "  Table found.");
    EXPECT_EQ(lines[v + 2], "  # Known entries in table = 786432");
    ASSERT_TRUE(std::regex_match(
        lines[v + 3], m,
        std::regex("  Variance in Final Score of Zelk for GRAND TOTAL = ([0-9]+\\.[0-9]+)\\^2")))
        << lines[v + 3];
    const std::string label = "Variance in Final Score of Zelk for GRAND TOTAL = \n";
    const std::string varianceLine =
        t.variance.out.substr(t.variance.out.find(label) + label.size());
    EXPECT_NEAR(std::stod(m[1]), ValueAfter(varianceLine, " = "), 0.5e-5);

    // The variance file alone: shown from the file, while the missing table is an error.
    TempDir onlyVariance;
    std::filesystem::copy_file(t.location + "/OptEScore-Official-V.gstbl",
                               onlyVariance.file("OptEScore-Official-V.gstbl"));
    const RunResult half = RunCli({"tables", "info", "--location", onlyVariance.path()});
    EXPECT_EQ(half.rc, ExitFailure);
    EXPECT_TRUE(Contains(half.out, "/OptEScore-Official.gstbl\n  Table not found.\n"));
    EXPECT_TRUE(Contains(half.out, lines[v + 3] + "\n")) << half.out;
    EXPECT_TRUE(Contains(half.err, "Create it with: quintor tables create --location "))
        << half.err;

    // A short variance file is an error naming the file, and nothing else is claimed about it.
    TempDir dir;
    std::filesystem::copy_file(t.location + "/OptEScore-Official.gstbl",
                               dir.file("OptEScore-Official.gstbl"));
    std::ofstream(dir.file("OptEScore-Official-V.gstbl")) << "too short";
    const RunResult bad = RunCli({"tables", "info", "--location", dir.path()});
    EXPECT_EQ(bad.rc, ExitFailure);
    EXPECT_TRUE(Contains(bad.err, "OptEScore-Official-V.gstbl")) << bad.err;
    EXPECT_FALSE(Contains(bad.out, "Variance in Final Score of"));
}

TEST(CliEvaluate, StrategiesFromTheStartOfAGame) {
    const SharedTables& t = Tables();
    const RunResult info = RunCli({"tables", "info", "--location", t.location});
    const double optimal =
        ValueAfter(info.out, "Optimal Expected Final Score of Zelk for GRAND TOTAL = ");
    const double optimalSd =
        ValueAfter(info.out, "Variance in Final Score of Zelk for GRAND TOTAL = ");

    const RunResult o = RunCli({"evaluate", "--location", t.location, "--strategy", "optimal"});
    ASSERT_EQ(o.rc, ExitOk) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_TRUE(Contains(o.out, "Strategy               = Optimal Official Quintor (Zelk)\n"));
    EXPECT_NEAR(ValueAfter(o.out, "Expected final score   = "), optimal, 0.5e-5);
    EXPECT_NEAR(ValueAfter(o.out, "Standard deviation     = "), optimalSd, 0.5e-5);

    const RunResult s = RunCli({"evaluate", "--strategy=simple"});
    ASSERT_EQ(s.rc, ExitOk) << s.err;
    EXPECT_TRUE(Contains(s.out, "Strategy               = Simple Minded (Simpl)\n"));
    // One roll per turn into the lowest free box: thirteen independent rolls, each scored in its
    // box. The bonuses and jokers it can reach are worth less than a tenth of a point.
    double mean = 0.0, variance = 0.0;
    for (int c = 0; c < 13; ++c) {
        const Moments m = OneRollMoments(c);
        mean += m.mean;
        variance += m.variance;
    }
    EXPECT_NEAR(ValueAfter(s.out, "Expected final score   = "), mean, 0.1);
    EXPECT_NEAR(ValueAfter(s.out, "Standard deviation     = "), std::sqrt(variance), 0.1);
    EXPECT_EQ(RunCli({"evaluate", "--strategy", "simple"}).out, s.out);   // fresh caches each time

    // The score the min-score strategy guarantees whatever the dice do: whole points, at least
    // the five of Chance, and no more than optimal play expects.
    const RunResult m = RunCli({"evaluate", "--strategy", "minscore"});
    ASSERT_EQ(m.rc, ExitOk) << m.err;
    EXPECT_TRUE(Contains(m.out, "Strategy               = Optimal MinScore Quintor (Murvo)\n"));
    const double guaranteed = ValueAfter(m.out, "Guaranteed final score = ");
    EXPECT_EQ(guaranteed, std::floor(guaranteed));
    EXPECT_GE(guaranteed, 5.0);
    EXPECT_LT(guaranteed, optimal);

    // Without the variance table the optimal value stands alone, with a note.
    TempDir dir;
    std::filesystem::copy_file(t.location + "/OptEScore-Official.gstbl",
                               dir.file("OptEScore-Official.gstbl"));
    const RunResult alone = RunCli({"evaluate", "--location", dir.path(), "--strategy", "optimal"});
    ASSERT_EQ(alone.rc, ExitOk) << alone.err;
    EXPECT_FALSE(Contains(alone.out, "Standard deviation"));
    EXPECT_NEAR(ValueAfter(alone.out, "Expected final score   = "), optimal, 0.5e-5);
    EXPECT_TRUE(Contains(alone.err, "quintor tables create --variance --location " + dir.path()));
}

}  // namespace
}  // namespace quintor::cli::test
