// drill: positions of a history the test fills itself, answered through the input, the listing and
// the stored answers; the fallback positions, the end of the input and bad arguments.
#include "CliTestSupport.h"
#include "history/HistoryGames.h"
#include "history/QuintorDrills.h"

namespace quintor::cli::test {
namespace {

// "s" and the first free category of the position: a legal answer for any position.
std::string FirstFreeScoring(const std::string& position) {
    for (char c : position.substr(0, position.find(';')))
        if (c != '_') return std::string("s ") + c + "\n";
    return "";
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(CliDrill, AsksTheDuePositionsListsTheOptionsAndStoresTheAnswers) {
    const SharedTables& t = Tables();
    TempDir dir;
    const std::string file = dir.file("h.sqlite");
    std::vector<std::string> due;
    {
        HistoryDatabase db(file);
        for (std::uint32_t seed : {21u, 22u}) ASSERT_TRUE(db.StoreGame(historytest::PlayHistoryGame(seed)).ok);
        for (const DrillItem& item : DueDrills(DrillSchedule(db), std::time(nullptr))) due.push_back(item.position);
    }
    ASSERT_GE(due.size(), 3u);

    // A bad line is answered with a message and asked again.
    const std::string input = "x 7\n" + FirstFreeScoring(due[0]) + FirstFreeScoring(due[1]);
    RunResult r = RunCli({"drill", "--location", t.location, "--history", file, "--count", "2"}, input);
    ASSERT_EQ(r.rc, ExitOk) << r.err << r.out;
    const std::size_t first = r.out.find("Drill 1 of 2: a position you got wrong\n  Position: " + due[0] + "\n");
    const std::size_t second = r.out.find("Drill 2 of 2: a position you got wrong\n  Position: " + due[1] + "\n");
    EXPECT_TRUE(first != std::string::npos && second != std::string::npos && first < second) << r.out;
    EXPECT_EQ(Count(r.out, DrillChoiceMark), 2);
    EXPECT_EQ(Count(r.out, "  Choice ["), 3) << "asked again after the bad line";
    EXPECT_TRUE(Contains(r.out, "\n2 answered, "));

    // The table is loaded in this process now: the answers and what was shown agree with them.
    HistoryDatabase db(file);
    for (int i = 0; i < 2; ++i) {
        const std::vector<DrillAnswer> stored = db.DrillAnswers(due[std::size_t(i)]);
        ASSERT_EQ(stored.size(), 1u) << i;
        Event e;
        e.aspect = Scoring;
        e.category = Category(std::string("123456TFHSLQC").find(FirstFreeScoring(due[std::size_t(i)])[2]));
        const DrillOutcome o = AnswerDrill(due[std::size_t(i)], e);
        EXPECT_DOUBLE_EQ(stored[0].loss, o.assessment.loss);
        EXPECT_EQ(stored[0].answer, EventToString(o.assessment.mine.event, false, false));
        EXPECT_LE(std::abs(stored[0].answered - std::time(nullptr)), 60);
        for (const std::string& line : o.listing) EXPECT_TRUE(Contains(r.out, "\n  " + line + "\n")) << line;
        EXPECT_TRUE(Contains(r.out, "\n" + DrillVerdict(o) + "\n"));
    }

    // The end of the input stops the drills; nothing more is stored.
    r = RunCli({"drill", "--location", t.location, "--history", file, "--count", "3"}, "");
    EXPECT_TRUE(r.rc == ExitOk && Contains(r.out, "End of input: drills stopped.\n") && Contains(r.out, "\n0 answered, 0 right.\n"))
        << r.out;
    EXPECT_EQ(db.DrillAnswers("").size(), 2u);
}

TEST(CliDrill, FallsBackToOptimalGamesAndRefusesBadArguments) {
    const SharedTables& t = Tables();
    TempDir dir;
    // An empty history: positions of optimal games, the same for the same seed, answers stored.
    const std::vector<std::string> args = {"drill", "--location", t.location, "--history", dir.file("h.sqlite"),
                                           "--count", "2", "--seed", "9"};
    const std::vector<std::string> fb = FallbackDrillPositions(9, 2);
    RunResult r = RunCli(args, FirstFreeScoring(fb[0]) + FirstFreeScoring(fb[1]));
    ASSERT_EQ(r.rc, ExitOk) << r.err << r.out;
    EXPECT_TRUE(Contains(r.out, "Drill 1 of 2: a position from optimal play\n  Position: " + fb[0] + "\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Drill 2 of 2: a position from optimal play\n  Position: " + fb[1] + "\n")) << r.out;
    EXPECT_EQ(HistoryDatabase(dir.file("h.sqlite")).DrillAnswers("").size(), 2u);
    // A history that cannot be opened: said so, and the drills go on without storing.
    r = RunCli({"drill", "--location", t.location, "--history", dir.file("no/such/h.sqlite"), "--count", "1"},
               FirstFreeScoring(fb[0]));
    EXPECT_EQ(r.rc, ExitOk) << r.err;
    EXPECT_TRUE(Contains(r.err, "the answers are not stored") && Contains(r.out, "a position from optimal play")) << r.err;
    // Bad arguments.
    r = RunCli({"drill", "--location", t.location, "--history", dir.path});
    EXPECT_TRUE(r.rc == ExitFailure && Contains(r.err, "it is a directory")) << r.err;
    for (const char* count : {"0", "1001", "x"}) {
        r = RunCli({"drill", "--location", t.location, "--count", count});
        EXPECT_EQ(r.rc, ExitUsage) << count;
        EXPECT_TRUE(Contains(r.err, "--count")) << r.err;
    }
    r = RunCli({"drill", "--location", dir.file("missing")});
    EXPECT_EQ(r.rc, ExitFailure) << r.err;
}

}  // namespace
}  // namespace quintor::cli::test
