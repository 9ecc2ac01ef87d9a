// The optimal expected final score: the complete table against plain and brute-force
// evaluations, the turn tables, the creation run and its progress.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <thread>

#include "EngineTables.h"
#include "core/GeneralStuff.h"

namespace quintor {
namespace {

using namespace enginetest;

constexpr CategorySet Cats(std::initializer_list<int> cs) {
    CategorySet s = 0;
    for (int c : cs) s = WithCategory(s, c);
    return s;
}

std::vector<GameState> RandomStates(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<GameState> out;
    while (int(out.size()) < n) {
        const GameState g = GameStateOfIndex(int(rng() % NGameStates));
        if (g.free != 0) out.push_back(g);
    }
    return out;
}

bool SameBytes(const GameStateTable& a, const GameStateTable& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), GameStateTableBytes) == 0;
}

// Counts progress steps and remembers whether any came from another thread.
struct StepCounter {
    int steps = 0;
    bool foreign = false;
    StepCounter() {
        const std::thread::id me = std::this_thread::get_id();
        Progress().optimalStep = [this, me] {
            ++steps;
            if (std::this_thread::get_id() != me) foreign = true;
        };
    }
    ~StepCounter() { Progress().optimalStep = nullptr; }
};

TEST(OptimalTable, CompleteRunGivesTheKnownOptimum) {
    const GameStateTable& t = CompleteOptimalTable();
    EXPECT_EQ(CountKnownEntries(t), NGameStates);
    EXPECT_NEAR(t[786431], 254.5896, 1e-4);
    EXPECT_EQ(t[0], 0.0);
}

TEST(OptimalTable, IsTheSameBytesForEveryThreadCountAndForTheMemoisedRecursion) {
    const GameStateTable& ref = CompleteOptimalTable();
    FreshOptimalCache fresh;
    CacheState& C = *OptimalStrategy->Cache;
    ComputeAllOptimalValues(1);
    EXPECT_EQ(C.KnownEntries, NGameStates);
    EXPECT_TRUE(SameBytes(C.Table, ref));

    // State by state, no layers, no lanes, no shared needs.
    CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
    GameState g = InitialGameState;
    do OptimalStateValue(g);
    while (NextGameState(g));
    EXPECT_EQ(C.KnownEntries, NGameStates);
    EXPECT_TRUE(SameBytes(C.Table, ref));
}

TEST(OptimalTable, AgreesWithThePlainMemoisedDefinition) {
    const GameStateTable& ref = CompleteOptimalTable();
    std::vector<GameState> states = RandomStates(300, 11);
    states.push_back(InitialGameState);
    auto naive = std::make_unique<NaiveTurn>();
    for (const GameState& g : states) {
        NaiveOptimalTurn(g, ref, *naive);
        ASSERT_NEAR(ref[GameStateIndex(g)], naive->keeper[3][0], 1e-9) << GameStateToString(g);
    }
    // Every level of the turn tables, for some of them.
    UseCompleteOptimalTable();
    const CacheState& C = *OptimalStrategy->Cache;
    for (int s = 0; s < 20; ++s) {
        const GameState& g = states[s];
        ComputeOptimalTurn(g);
        NaiveOptimalTurn(g, ref, *naive);
        for (int l = 1; l < NRollsPerTurn; ++l)
            for (int k = 0; k < NValueBag5Ranks; ++k)
                ASSERT_NEAR(C.KeeperValue[l][k], naive->keeper[l][k], 1e-9) << l << " " << k;
        for (int l = 0; l < NRollsPerTurn; ++l)
            for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r)
                ASSERT_NEAR(C.RollValue[l][r], naive->roll[l][r], 1e-9) << l << " " << r;
    }
}

TEST(OptimalTable, MatchesBruteForceEnumerationOfTheDice) {
    const GameStateTable& ref = CompleteOptimalTable();
    std::vector<GameState> states;
    for (int c = 0; c < NCategories; ++c) states.push_back(State(Cats({c}), 0, false));
    states.push_back(State(Cats({Aces}), 3, false));        // three aces earn the bonus
    states.push_back(State(Cats({Sixes}), 24, true));       // four sixes do, and Quintors pay 100
    states.push_back(State(Cats({FullHouse}), 0, true));    // jokers: Quintor box and uppers used
    states.push_back(State(Cats({LargeStraight}), 9, false));
    states.push_back(State(Cats({QuintorCat}), 63, false));
    states.push_back(State(Cats({Threes, Sixes}), 27, false));
    states.push_back(State(Cats({Fours, FullHouse}), 8, true));
    states.push_back(State(Cats({SmallStraight, QuintorCat}), 0, false));
    states.push_back(State(Cats({Aces, Chance}), 2, true));
    for (const GameState& g : states)
        EXPECT_NEAR(ref[GameStateIndex(g)], BruteForceValue(g, false), 1e-9)
            << GameStateToString(g);
}

TEST(ComputeOptimalTurn, SharesTheTableArithmeticAndFollowsTheTieRules) {
    const GameStateTable& ref = CompleteOptimalTable();
    UseCompleteOptimalTable();
    const CacheState& C = *OptimalStrategy->Cache;
    int ties = 0;
    for (const GameState& g : RandomStates(60, 5)) {
        ComputeOptimalTurn(g);
        ASSERT_EQ(C.KeeperValue[3][0], ref[GameStateIndex(g)]) << GameStateToString(g);
        for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
            // The lowest category among equals; every candidate through ApplyScoringEvent.
            const Category best = C.BestCategory[r];
            ASSERT_EQ(NaiveCandidate(g, ref, ValueBagRank(r), best), C.RollValue[0][r]);
            for (int c = 0; c < NCategories; ++c) {
                if (!InSet(g.free, c) || c == best) continue;
                const double v = NaiveCandidate(g, ref, ValueBagRank(r), Category(c));
                if (c < best) ASSERT_LT(v, C.RollValue[0][r]) << r << " " << c;
                else ASSERT_LE(v, C.RollValue[0][r]) << r << " " << c;
                ties += v == C.RollValue[0][r];
            }
            // The latest sub-bag among equals; never worse than keeping everything.
            const IndexRange sr = SubBagRanges[r - NValueBag4Ranks];
            for (int l = 1; l < NRollsPerTurn; ++l) {
                const double v = C.RollValue[l][r];
                ASSERT_GE(v, C.RollValue[l - 1][r]);
                ASSERT_EQ(C.KeeperValue[l][r], C.RollValue[l - 1][r]);
                bool after = false;
                for (int i = sr.first; i <= sr.last; ++i) {
                    const ValueBagRank s = SubBagTbl[i];
                    if (s == C.BestKeeper[l][r]) {
                        ASSERT_EQ(C.KeeperValue[l][s], v);
                        after = true;
                    } else if (after) {
                        ASSERT_LT(C.KeeperValue[l][s], v);
                    } else {
                        ASSERT_LE(C.KeeperValue[l][s], v);
                        ties += C.KeeperValue[l][s] == v;
                    }
                }
                ASSERT_TRUE(after);
            }
        }
    }
    EXPECT_GT(ties, 0) << "no tie met: the rules were not exercised";
}

TEST(ComputeOptimalTurn, BreaksHandMadeTiesAsSpecifiedAndRecomputesOnlyForANewState) {
    FreshOptimalCache fresh;
    CacheState& C = *OptimalStrategy->Cache;
    // Aces and Twos lead to states worth the same: a roll without ones and twos is a tie.
    const GameState two = State(Cats({Aces, Twos}), 0, false);
    C.Table[GameStateIndex(State(Cats({Twos}), 0, false))] = 10.0;
    C.Table[GameStateIndex(State(Cats({Aces}), 0, false))] = 10.0;
    ComputeOptimalTurn(two);
    EXPECT_EQ(C.BestCategory[Bag("33456")], Aces);
    EXPECT_EQ(C.BestCategory[Bag("12345")], Twos);
    EXPECT_EQ(C.RollValue[0][Bag("33456")], 10.0);

    // Quintor box alone, with the tables making every roll worth exactly 50: every keeper ties,
    // so all five dice are kept, and the optimal player scores rather than rolls on.
    const GameState q = State(Cats({QuintorCat}), 0, false);
    C.Table[GameStateIndex(State(0, 0, false))] = 50.0;
    C.Table[GameStateIndex(State(0, 0, true))] = 0.0;
    ComputeOptimalTurn(q);
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        ASSERT_EQ(C.BestKeeper[1][r], r);
        ASSERT_EQ(C.BestKeeper[2][r], r);
        ASSERT_EQ(C.RollValue[2][r], 50.0);
    }
    EXPECT_NEAR(C.KeeperValue[3][0], 50.0, 1e-12);
    Event e;
    ChooseEvent(OptimalStrategy, q, TurnState{2, ToChoose, Bag("12346")}, 0, e, false);
    EXPECT_EQ(e.aspect, Scoring);
    EXPECT_EQ(e.category, QuintorCat);

    // Held tables are not recomputed; another state in between makes them come back.
    C.RollValue[1][Bag("11111")] = -7.0;
    ComputeOptimalTurn(q);
    EXPECT_EQ(C.RollValue[1][Bag("11111")], -7.0);
    ComputeOptimalTurn(two);
    ComputeOptimalTurn(q);
    EXPECT_EQ(C.RollValue[1][Bag("11111")], 50.0);
}

TEST(OptimalTurnValue, ReadsTheTurnTablesAndRejectsPointsOutsideThem) {
    const GameStateTable& ref = CompleteOptimalTable();
    UseCompleteOptimalTable();
    const CacheState& C = *OptimalStrategy->Cache;
    const GameState g = State(Cats({Fives, FullHouse, Chance}), 10, false);
    EXPECT_EQ(OptimalTurnValue(g, InitialTurnState), ref[GameStateIndex(g)]);
    EXPECT_EQ(OptimalTurnValue(g, TurnState{1, ToChoose, Bag("55236")}),
              C.RollValue[1][Bag("55236")]);
    EXPECT_EQ(OptimalTurnValue(g, TurnState{2, ToRoll, Bag("55")}), C.KeeperValue[2][Bag("55")]);
    EXPECT_THROW(OptimalTurnValue(g, TurnState{3, ToChoose, Bag("55236")}), RangeError);
    EXPECT_THROW(OptimalTurnValue(g, TurnState{0, ToRoll, 0}), RangeError);
    EXPECT_THROW(OptimalTurnValue(g, TurnState{3, ToRoll, Bag("5")}), RangeError);
    EXPECT_THROW(OptimalTurnValue(g, TurnState{1, ToChoose, Bag("55")}), RangeError);
    EXPECT_THROW(ComputeOptimalTurn(State(0, 0, false)), CheckFailure);
    EXPECT_THROW(OptimalStateValue(State(Cats({QuintorCat}), 0, true)), RangeError);
}

TEST(OptimalStateValue, MemoisesCountsAndStepsEvery1024Entries) {
    FreshOptimalCache fresh;
    StepCounter counter;
    CacheState& C = *OptimalStrategy->Cache;
    EXPECT_EQ(C.KnownEntries, 0);
    EXPECT_EQ(OptimalStateValue(State(0, 17, true)), 0.0);
    EXPECT_EQ(C.KnownEntries, 1);
    EXPECT_TRUE(IsKnown(C.Table[GameStateIndex(State(0, 17, true))]));

    const CategorySet eight =
        Cats({Aces, Twos, Threes, Fours, Sixes, FullHouse, LargeStraight, Chance});
    const GameState g = State(eight, 40, false);
    const double v = OptimalStateValue(g);
    EXPECT_EQ(v, CompleteOptimalTable()[GameStateIndex(g)]);
    EXPECT_EQ(C.KnownEntries, CountKnownEntries(C.Table));
    EXPECT_GT(C.KnownEntries, 2048);
    EXPECT_EQ(counter.steps, C.KnownEntries / 1024);
    const int known = C.KnownEntries;
    EXPECT_EQ(OptimalStateValue(g), v);
    EXPECT_EQ(C.KnownEntries, known);

    // The bulk run takes over a partial table and still ends with 768 steps in all.
    ComputeAllOptimalValues(2);
    EXPECT_EQ(counter.steps, 768);
    EXPECT_FALSE(counter.foreign);
    EXPECT_TRUE(SameBytes(C.Table, CompleteOptimalTable()));
}

TEST(CreateOptimalTable, LogsComputesAndSavesTheTable) {
    CompleteOptimalTable();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quintor-create-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    OptimalStrategy->ExpectedCache = nullptr;
    {
        StepCounter counter;
        CreateOptimalTable(dir.string(), 2);
        EXPECT_EQ(counter.steps, 768);
        EXPECT_FALSE(counter.foreign);
    }
    EXPECT_EQ(OptimalStrategy->ExpectedCache, OptimalStrategy->Cache);
    EXPECT_EQ(OptimalStrategy->Cache->KnownEntries, NGameStates);
    const std::string file = (dir / OptimalTableFileName).string();
    GameStateTable saved;
    LoadGameStateTable(file, saved);
    EXPECT_TRUE(SameBytes(saved, CompleteOptimalTable()));

    FlushLog();
    std::ifstream in(LogFilePath());
    const std::string log((std::istreambuf_iterator<char>(in)), {});
    const std::size_t at = log.rfind("Creating Optimal Expected Final Score Table\n");
    ASSERT_NE(at, std::string::npos);
    const std::string run = log.substr(at);
    const std::regex lines(
        "Creating Optimal Expected Final Score Table\n"
        "# Known entries in OptECache\\^\\.gstbl = \n  0\n"
        "Computing all choices for optimal Quintor strategy \\.\\.\\.\n"
        "(Wall clock time = [0-9]+:[0-5][0-9]:[0-5][0-9]\n)?"
        "# Known entries in OptECache\\^\\.gstbl = \n  786432\n"
        "Optimal Expected Final Score of Zelk for GRAND TOTAL = \n  " +
        FixedStr(CompleteOptimalTable()[786431], 5) + "\n"
        "Saving GameStateTable to file named \"" + file + "\"\n");
    EXPECT_TRUE(std::regex_search(run, lines, std::regex_constants::match_continuous)) << run;
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quintor
