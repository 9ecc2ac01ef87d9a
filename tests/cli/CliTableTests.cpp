// tables create, tables info, evaluate and advise on the complete tables, and the default location.
#include <cmath>
#include <cstring>
#include <random>

#include "CliTestSupport.h"
#include "engine/QuintorStrategies.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor::cli::test {
namespace {

// The number after the first label in text (blanks and line ends skipped); -1 without the label.
double ValueAfter(const std::string& text, const std::string& label) {
    const auto at = text.find(label);
    return at == std::string::npos ? -1.0 : std::strtod(text.c_str() + at + label.size(), nullptr);
}
const std::string ExpectedLabel = "Optimal Expected Final Score of Zelk for GRAND TOTAL = ";
const std::string VarianceLabel = "Variance in Final Score of Zelk for GRAND TOTAL = ";

TEST(CliTables, CreateShowsItsRunLogLinesAndABarInfoAndEvaluateTheValues) {
    const SharedTables& t = Tables();
    FlushLog();
    const std::string log = ReadFile(LogFilePath());
    for (auto [run, name, file] : {std::tuple{&t.expected, "Optimal Expected Final Score", "/OptEScore-Official.gstbl"},
                                   std::tuple{&t.variance, "Variance in Final Score", "/OptEScore-Official-V.gstbl"}}) {
        ASSERT_EQ(run->rc, ExitOk) << run->err;
        EXPECT_EQ(fs::file_size(t.location + file), 6291456u);
        // The creation run's log lines, on standard output too, the last naming the file.
        EXPECT_TRUE(run->out.rfind("Creating ", 0) == 0 && Contains(log, run->out)) << run->out;
        EXPECT_TRUE(Contains(run->out, "Saving GameStateTable to file named \"" + t.location + file + "\"\n"));
        // One bar on standard error, filled once, and nothing else there.
        const std::string full = "\r" + std::string(name) + " [" + std::string(40, '#') + "] 100%\n";
        EXPECT_TRUE(run->err.size() >= full.size() && run->err.find('\n') == run->err.size() - 1 &&
                    run->err.substr(run->err.size() - full.size()) == full) << run->err;
    }
    const RunResult info = RunCli({"tables", "info", "--location", t.location});
    ASSERT_EQ(info.rc, ExitOk) << info.err;
    for (const std::string& head : {"Optimal Expected Score Table (required): " + t.location + "/OptEScore-Official.gstbl\n",
                                    "Variance-in-Score Table (optional): " + t.location + "/OptEScore-Official-V.gstbl\n"})
        EXPECT_TRUE(Contains(info.out, head + "  Table found.\n  # Known entries in table = 786432\n")) << info.out;
    const double optimal = ValueAfter(info.out, ExpectedLabel), sd = ValueAfter(info.out, VarianceLabel);
    EXPECT_NEAR(optimal, ValueAfter(t.expected.out, ExpectedLabel), 0.5e-5);
    EXPECT_NEAR(sd * sd, ValueAfter(t.variance.out, VarianceLabel), 1e-4);

    const RunResult o = RunCli({"evaluate", "--location", t.location, "--strategy", "optimal"});
    const RunResult s = RunCli({"evaluate", "--strategy=simple"}), m = RunCli({"evaluate", "--strategy", "minscore"});
    ASSERT_TRUE(o.rc == ExitOk && s.rc == ExitOk && m.rc == ExitOk) << o.err << s.err << m.err;
    EXPECT_NEAR(ValueAfter(o.out, "Expected final score   = "), optimal, 0.5e-5);
    EXPECT_NEAR(ValueAfter(o.out, "Standard deviation     = "), sd, 0.5e-5);
    EXPECT_TRUE(Contains(o.out, "Strategy               = Optimal Official Quintor (Zelk)\n") &&
                Contains(s.out, "Strategy               = Simple Minded (Simpl)\n") &&
                Contains(m.out, "Strategy               = Optimal MinScore Quintor (Murvo)\n")) << o.out << s.out << m.out;
    // The simple rule expects less than optimal play; the guaranteed score is whole and less again.
    const double simple = ValueAfter(s.out, "Expected final score   = "), least = ValueAfter(m.out, "Guaranteed final score = ");
    EXPECT_TRUE(least >= 5 && least == std::floor(least) && least < simple && simple < optimal) << s.out << m.out;
    // The guaranteed score shows a bar while it is computed, and its one pass over the layers of
    // states leaves exactly the values of the strategy's own recursion, entry for entry.
    const std::string bar = "\rGuaranteed Final Score [" + std::string(40, '#') + "] 100%\n";
    EXPECT_TRUE(m.err.size() > bar.size() && m.err.substr(m.err.size() - bar.size()) == bar) << m.err;
    const GameStateTable layered = MinScoreStrategy->Cache->Table;
    CreateCache(MinScoreStrategy->Cache, "Guaranteed Final Score", GrandTotal, "");
    EXPECT_EQ(MinScoreValue(MinScoreStrategy, InitialGameState, InitialTurnState), least);
    int known = 0, differ = 0;
    for (std::size_t i = 0; i < layered.size(); ++i) {
        known += IsKnown(layered[i]);
        differ += std::memcmp(&layered[i], &MinScoreStrategy->Cache->Table[i], sizeof(double)) != 0;
    }
    EXPECT_TRUE(known > 100000 && differ == 0) << differ << " of " << known << " entries differ";

    // The expected-score table alone: no deviations, and a note how to get them.
    TempDir bare;
    fs::copy_file(t.location + "/OptEScore-Official.gstbl", bare.file("OptEScore-Official.gstbl"));
    const RunResult alone = RunCli({"evaluate", "--location", bare.path, "--strategy", "optimal"});
    EXPECT_TRUE(alone.rc == ExitOk && !Contains(alone.out, "Standard deviation") &&
                Contains(alone.err, "quintor tables create --variance --location " + bare.path)) << alone.err;
    const std::string state = "123456TFHSLQC;63-   0  56666;0";
    const RunResult full = RunCli({"advise", "--location", t.location, state});
    const RunResult plain = RunCli({"advise", "--location", bare.path, state});
    ASSERT_TRUE(full.rc == ExitOk && plain.rc == ExitOk) << full.err << plain.err;
    EXPECT_TRUE(full.out.rfind("13 options\nScoring ", 0) == 0 && Contains(full.out, "Scoring   6  24 ")) << full.out;
    EXPECT_TRUE(full.err.empty() && Contains(full.out, " +/- ") && plain.out.substr(0, 20) == full.out.substr(0, 20)) << full.out;
    EXPECT_TRUE(!Contains(plain.out, "+/-") && Contains(plain.err, "Standard deviations suppressed")) << plain.err;
    // An unquoted state arrives in pieces and reads the same.
    EXPECT_EQ(RunCli({"advise", "--location", t.location, "123456TFHSLQC;63-", "0", "56666;0"}).out, full.out);

    // A short variance file is an error naming the file, and nothing is claimed about its value.
    std::ofstream(bare.file("OptEScore-Official-V.gstbl")) << "too short";
    const RunResult bad = RunCli({"tables", "info", "--location", bare.path});
    EXPECT_TRUE(bad.rc == ExitFailure && Contains(bad.err, "OptEScore-Official-V.gstbl") && !Contains(bad.out, VarianceLabel))
        << bad.err;
}

// A chip typed beside a free Quintor box is ignored. Any text, random or a valid state mutated,
// ends in a listing (exit 0) or the four-line error report (exit 2), never in another failure.
TEST(CliTables, AdviseEndsWithExitZeroOrTwoForAnyText) {
    const SharedTables& t = Tables();
    const auto advise = [&t](const std::string& state) { return RunCli({"advise", "--location", t.location, "--", state}); };
    const RunResult held = advise("_2_45_T_H__QC;5+ 120 66___;2"), plain = advise("_2_45_T_H__QC;5- 120 66___;2");
    EXPECT_TRUE(held.rc == ExitOk && held.err.empty() && held.out.rfind("56 options\n", 0) == 0) << held.err;
    EXPECT_EQ(held.out, plain.out);

    const std::vector<std::string> valid = {
        "_2_45_T_H__QC;5+ 120 66___;2", "123456TFHSLQC;63-   0  56666;0", "123456TFHSLQC;63-   0  ;3",
        "____5_____LQC;12+ 301 12345;1", "1_____T______;63-   0  2;2", ";0+ 1575 ;3", "Q;0+ 1575 55555;1",
        "______T_H___C;0- 200 33322;0"};
    const std::string alphabet = "0123456789+-;:,_ TFHSLQCUEGZJXtfhslqcx\t";
    std::mt19937 random(20261207);
    const auto below = [&random](std::size_t n) { return std::size_t(random() % n); };
    const auto anyChar = [&] { return alphabet[below(alphabet.size())]; };
    int accepted = 0, rejected = 0, chipBesideQuintor = 0;
    for (int i = 0; i < 640; ++i) {
        std::string text;
        if (i % 4 == 0) {   // random characters
            for (std::size_t n = below(36); n > 0; --n) text += anyChar();
        } else {            // a valid state with one to three characters changed, added or dropped
            text = valid[below(valid.size())];
            for (std::size_t edits = 1 + below(3); edits > 0; --edits) {
                const std::size_t at = below(text.size() + 1);
                switch (below(3)) {
                    case 0: if (at < text.size()) text[at] = anyChar(); break;
                    case 1: text.insert(at, 1, anyChar()); break;
                    default: if (at < text.size()) text.erase(at, 1);
                }
            }
        }
        const RunResult r = advise(text);
        ASSERT_TRUE(r.rc == ExitOk || r.rc == ExitUsage) << "'" << text << "': exit " << r.rc << "\n" << r.err;
        EXPECT_TRUE(r.err.empty()) << "'" << text << "': " << r.err;
        const auto lines = std::count(r.out.begin(), r.out.end(), '\n');
        if (r.rc == ExitOk) {
            ++accepted;
            EXPECT_EQ(lines, std::atoi(r.out.c_str()) + 1) << text;   // "N options" and one line each
            AbstractState s;
            if (ReadAbstractState(text, s) && s.gameState.chip && InSet(s.gameState.free, QuintorCat)) ++chipBesideQuintor;
        } else {
            ++rejected;
            EXPECT_TRUE(lines == 4 && r.out.rfind("Error in Abstract Quintor State at position ", 0) == 0) << text << "\n" << r.out;
        }
    }
    // Both outcomes, and the held chip beside a free Quintor box, come up many times.
    EXPECT_TRUE(accepted > 100 && rejected > 100 && chipBesideQuintor > 20) << accepted << " " << rejected << " " << chipBesideQuintor;
}

// Output that cannot be written fails the command (exit 1) with a message, and nothing else: the
// table is made and the run log keeps every line of the creation run.
TEST(CliTables, AFullOutputIsExitOneAndTheWorkIsStillDone) {
    const SharedTables& t = Tables();
    TempDir dir;
    const auto toFull = [](const std::vector<std::string>& args) {
        std::ofstream full("/dev/full");
        std::istringstream in;
        std::ostringstream err;
        return RunResult{RunQuintor(args, in, full, err), "", err.str()};
    };
    const RunResult create = toFull({"tables", "create", "--expected", "--threads", "2", "--location", dir.path});
    EXPECT_TRUE(create.rc == ExitFailure && Contains(create.err, "] 100%\nquintor: the output could not be written")) << create.err;
    EXPECT_EQ(fs::file_size(dir.file("OptEScore-Official.gstbl")), 6291456u);
    FlushLog();
    const std::string log = ReadFile(LogFilePath());
    const std::string saved = "Saving GameStateTable to file named \"" + dir.file("OptEScore-Official.gstbl") + "\"\n";
    const std::string run = log.substr(log.rfind("Creating Optimal Expected Final Score Table\n"));
    EXPECT_TRUE(Contains(run, "786432\nOptimal Expected Final Score of Zelk for GRAND TOTAL = \n  254.58961\n" + saved)) << run;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"advise", "--location", t.location, "123456TFHSLQC;63- 0 ;3"},
                                                 {"evaluate", "--location", t.location, "--strategy", "optimal"}}) {
        const RunResult r = toFull(args);
        EXPECT_TRUE(r.rc == ExitFailure && Contains(r.err, "quintor: the output could not be written")) << args[0] << ": " << r.err;
    }
}

}  // namespace
}  // namespace quintor::cli::test
