// advise: the advisor's listing of a typed state, and its error report.
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "cli/Cli.h"

namespace quintor::cli::test {
namespace {

// The expected final score of an option line "<option text> 123.45[ +/- 59]".
double OptionValue(const std::string& line) {
    static const std::regex number(" +([0-9]+\\.[0-9]{2})( \\+/- [0-9]+)?$");
    std::smatch m;
    if (!std::regex_search(line, m, number)) return -1.0;
    return std::stod(m[1]);
}

TEST(CliAdvise, ListsTheOptionsOfAStateBestFirst) {
    const SharedTables& t = Tables();
    const RunResult r =
        RunCli({"advise", "--location", t.location, "123456TFHSLQC;63-   0  56666;0"});
    ASSERT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 14u) << r.out;
    EXPECT_EQ(lines[0], "13 options");
    std::set<char> categories;
    double previous = 1e9;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(
            lines[i],
            std::regex("Scoring   [1-6TFHSLQC] +[0-9]+    *[0-9]+\\.[0-9]{2} \\+/- [0-9]+")))
            << lines[i];
        categories.insert(lines[i][10]);
        const double v = OptionValue(lines[i]);
        EXPECT_LE(v, previous) << lines[i];
        previous = v;
    }
    EXPECT_EQ(categories.size(), 13u);
    // The points of a scoring are those of the typed dice: 5 6 6 6 6 in Sixes is 24.
    EXPECT_TRUE(Contains(r.out, "Scoring   6  24   ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Scoring   Q   0   ")) << r.out;

    // Without the variance table: the same values, without their deviations.
    TempDir dir;
    std::filesystem::copy_file(t.location + "/OptEScore-Official.gstbl",
                               dir.file("OptEScore-Official.gstbl"));
    const RunResult bare =
        RunCli({"advise", "--location", dir.path(), "123456TFHSLQC;63-   0  56666;0"});
    ASSERT_EQ(bare.rc, ExitOk) << bare.err;
    EXPECT_FALSE(Contains(bare.out, "+/-")) << bare.out;
    EXPECT_TRUE(Contains(bare.err, "Standard deviations suppressed")) << bare.err;
    const auto a = Lines(bare.out), b = Lines(r.out);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 1; i < a.size(); ++i) EXPECT_EQ(b[i].rfind(a[i], 0), 0u) << b[i];

    // Before the first roll every five-dice outcome is listed; keeping options come with rolls.
    const RunResult first =
        RunCli({"advise", "--location", t.location, "123456TFHSLQC;63-   0  ;3"});
    ASSERT_EQ(first.rc, ExitOk);
    EXPECT_EQ(Lines(first.out).front(), "252 options");
    EXPECT_EQ(Lines(first.out).size(), 253u);
    const RunResult keeps =
        RunCli({"advise", "--location", t.location, "123456TFHSLQC;63-   0  56666;2"});
    EXPECT_EQ(Lines(keeps.out).front(), "23 options");
    EXPECT_TRUE(Contains(keeps.out, "Keeping _ 6 6 6 6 ")) << keeps.out;

    // An unquoted state arrives in pieces; it reads the same.
    const RunResult pieces =
        RunCli({"advise", "--location", t.location, "123456TFHSLQC;63-", "0", "56666;0"});
    EXPECT_EQ(pieces.rc, ExitOk);
    EXPECT_EQ(pieces.out, r.out);
}

TEST(CliAdvise, AnErrorInTheStateIsReportedWithACaretAndExitTwo) {
    const SharedTables& t = Tables();
    RunResult r = RunCli({"advise", "--location", t.location, "123456TFHSLQC;64-   0  ;3"});
    EXPECT_EQ(r.rc, ExitUsage);
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{"Error in Abstract Quintor State at position 16",
                                        "123456TFHSLQC;64-   0  ;3", std::string(15, ' ') + "^",
                                        "Upper Section Need > 63"}));

    // Positions count from the first non-blank; an error at the end puts the caret after it.
    r = RunCli({"advise", "--location", t.location, "   123456TFHSLQC;63-   0  56666;3  "});
    EXPECT_EQ(r.rc, ExitUsage);
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                "Error in Abstract Quintor State at position 31",
                                "123456TFHSLQC;63-   0  56666;3", std::string(30, ' ') + "^",
                                "Before first roll, no dice can be kept"}));

    // A typing error needs no table to be reported.
    TempDir empty;
    r = RunCli({"advise", "--location", empty.path(), "1237;63- 0 ;3"});
    EXPECT_EQ(r.rc, ExitUsage);
    EXPECT_EQ(Lines(r.out).back(), "Invalid aspect");
    EXPECT_EQ(Lines(r.out).at(2), "   ^");
}

}  // namespace
}  // namespace quintor::cli::test
