// Strategy evaluation and the variance of the final score: small states against a naive
// enumeration of every throw, the bulk table against the memoised definition, the creation run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include <unistd.h>

#include "AnalysisTables.h"
#include "engine/QuintorVarianceKernel.h"

namespace quintor {
namespace {

using testtables::FreshCache;
using testtables::OptimalWithTables;
using testtables::ReferenceVarianceTable;
using testtables::StrategyLike;

GameState State(std::initializer_list<int> cats, int need, bool chip) {
    GameState g;
    for (int c : cats) g.free = WithCategory(g.free, c);
    g.need = std::uint16_t(need);
    g.chip = chip;
    return g;
}

ValueBagRank Bag(const char* digits) {
    ValueBag b;
    for (const char* p = digits; *p != 0; ++p) AddToBag(b, *p - '0', 1);
    return RankFromValueBag(b);
}

// Relative agreement with a floor for values that should be (nearly) zero.
void ExpectClose(double want, double got, const std::string& where) {
    const double tol = 1e-9 * std::max(std::fabs(want), std::fabs(got)) + 1e-18;
    EXPECT_NEAR(want, got, tol) << where;
}

struct Moments {
    double m1 = 0.0;   // E[X]
    double m2 = 0.0;   // E[X^2]
};

// The future score of the optimal strategy by brute force: every throw of the missing dice as an
// ordered sequence of 6^n equally likely outcomes, the strategy's choices from ChooseEvent, and
// the raw moments carried along each path. Independent of the completion lists and of the law of
// total variance.
class NaiveOptimal {
public:
    Moments Start(const GameState& g) {
        if (GameOver(g)) return {};
        const int idx = GameStateIndex(g);
        auto it = memo_.find(idx);
        if (it != memo_.end()) return it->second;

        // All choices first: the recursion below moves the optimal turn tables elsewhere.
        std::array<std::array<Event, NFiveDiceBags>, NRollsPerTurn> choice;
        for (int l = 0; l < NRollsPerTurn; ++l)
            for (int i = 0; i < NFiveDiceBags; ++i)
                ChooseEvent(OptimalStrategy, g,
                            TurnState{std::uint8_t(l), ToChoose, ValueBagRank(NValueBag4Ranks + i)},
                            0, choice[l][i], false);

        std::array<std::array<Moments, NValueBag5Ranks>, NRollsPerTurn> roll;
        for (int l = 0; l < NRollsPerTurn; ++l) {
            std::map<int, Moments> thrown;   // many rolls keep the same dice
            for (int i = 0; i < NFiveDiceBags; ++i) {
                const ValueBagRank r = ValueBagRank(NValueBag4Ranks + i);
                const Event& e = choice[l][i];
                if (e.aspect == Scoring) {
                    roll[l][r] = Scored(g, r, e);
                } else {
                    EXPECT_EQ(e.aspect, Keeping);
                    EXPECT_GT(l, 0);
                    auto [at, fresh] = thrown.try_emplace(e.arg);
                    if (fresh) at->second = Throw(roll[l - 1], ValueBagRank(e.arg));
                    roll[l][r] = at->second;
                }
            }
        }
        Moments m = Throw(roll[NRollsPerTurn - 1], 0);
        memo_[idx] = m;
        return m;
    }

private:
    Moments Scored(const GameState& g, ValueBagRank r, Event e) {
        GameState g2;
        ScoreCard d;
        ApplyScoringEvent(OfficialRules, g, TurnState{0, ToChoose, r}, g2, d, e);
        const double s = d[GrandTotal];
        const Moments sub = Start(g2);
        return {s + sub.m1, s * s + 2.0 * s * sub.m1 + sub.m2};
    }

    // Holding kept, throw the missing dice; after the throw the moments of the roll are `after`.
    static Moments Throw(const std::array<Moments, NValueBag5Ranks>& after, ValueBagRank kept) {
        const ValueBag base = ValueBagTbl[kept].bag;
        const int n = NDice - base.size();
        int outcomes = 1;
        for (int j = 0; j < n; ++j) outcomes *= NValues;
        Moments sum;
        for (int code = 0; code < outcomes; ++code) {
            ValueBag b = base;
            for (int j = 0, c = code; j < n; ++j, c /= NValues) AddToBag(b, c % NValues + 1, 1);
            const Moments& m = after[RankFromValueBag(b)];
            sum.m1 += m.m1;
            sum.m2 += m.m2;
        }
        return {sum.m1 / outcomes, sum.m2 / outcomes};
    }

    std::map<int, Moments> memo_;
};

TEST(StrategyVariance, SmallStatesMatchBruteForceEnumeration) {
    QuintorStrategyState* S = OptimalWithTables();
    const GameStateTable& fast = ReferenceVarianceTable();
    // One free category in every box, with bonus, chip and joker situations, and some pairs.
    std::vector<GameState> states;
    for (int c = 0; c < NCategories; ++c) {
        states.push_back(State({c}, c <= Sixes ? 3 * (c + 1) : 0, false));
        if (c != QuintorCat) states.push_back(State({c}, 0, true));
    }
    states.push_back(State({Threes, Chance}, 9, false));
    states.push_back(State({FullHouse, LargeStraight}, 0, true));
    states.push_back(State({Aces, QuintorCat}, 3, false));
    states.push_back(State({Sixes, FourOfAKind}, 24, true));
    states.push_back(State({SmallStraight, QuintorCat}, 0, false));

    NaiveOptimal naive;
    // The memoised definition from scratch, on a variance cache of its own.
    QuintorStrategyState* D =
        StrategyLike(Optimal, S->ExpectedCache, FreshCache("Variance in Final Score"));
    for (const GameState& g : states) {
        const std::string where = GameStateToString(g);
        const Moments m = naive.Start(g);
        const double v = m.m2 - m.m1 * m.m1;
        ExpectClose(m.m1, OptimalStateValue(g), where + " mean");
        ExpectClose(v, StrategyVariance(D, g, InitialTurnState), where + " definition");
        ExpectClose(v, fast[GameStateIndex(g)], where + " table");
        EXPECT_GT(v, 0.0) << where;
    }
    // The recursion counted every entry it made known, and nothing else.
    EXPECT_EQ(D->VarianceCache->KnownEntries, CountKnownEntries(D->VarianceCache->Table));
}

TEST(StrategyVariance, IsZeroWhereTheRestIsCertain) {
    QuintorStrategyState* S = OptimalWithTables();
    const GameStateTable& fast = ReferenceVarianceTable();
    // Finished games, whatever their need and chip.
    for (int n = 0; n <= MaxBonusThreshold; ++n) {
        EXPECT_EQ(fast[GameStateIndex(State({}, n, false))], 0.0) << n;
        EXPECT_EQ(fast[GameStateIndex(State({}, n, true))], 0.0) << n;
    }
    EXPECT_EQ(StrategyVariance(S, State({}, 17, true), InitialTurnState), 0.0);

    // Only Small Straight left: a straight on the table is scored (a tie with rolling on), and
    // holding four in a row makes 30 certain however the last die falls.
    const GameState g = State({SmallStraight}, 0, false);
    EXPECT_EQ(StrategyVariance(S, g, TurnState{0, ToChoose, Bag("12346")}), 0.0);
    EXPECT_EQ(StrategyVariance(S, g, TurnState{2, ToChoose, Bag("12345")}), 0.0);
    EXPECT_LT(StrategyVariance(S, g, TurnState{1, ToRoll, Bag("2345")}), 1e-20);
    EXPECT_GT(StrategyVariance(S, g, TurnState{1, ToRoll, Bag("234")}), 1.0);
    // Every scoring of the last box: nothing random remains.
    const GameState last = State({Chance}, 0, true);
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r)
        EXPECT_EQ(StrategyVariance(S, last, TurnState{0, ToChoose, ValueBagRank(r)}), 0.0);

    // The whole table: known, never negative, and the familiar spread from the start.
    EXPECT_EQ(CountKnownEntries(fast), NGameStates);
    for (double v : fast) ASSERT_TRUE(v >= 0.0 && std::isfinite(v));
    const double sd = std::sqrt(fast[GameStateIndex(InitialGameState)]);
    EXPECT_NEAR(sd, 59.6, 0.05);
    EXPECT_NEAR(OptimalStateValue(InitialGameState), 254.59, 0.005);
}

// Random states: the bulk pass makes the turn kernel's values and choices bit for bit (ties are
// decided by them), and its variances agree with the definition's turn read from the same table.
TEST(StrategyVariance, BulkPassAgreesWithTheTurnKernelAndTheDefinition) {
    QuintorStrategyState* S = OptimalWithTables();
    const GameStateTable& fast = ReferenceVarianceTable();
    const GameStateTable& et = S->ExpectedCache->Table;
    CacheState* copy = FreshCache("Variance in Final Score");
    copy->Table = fast;
    copy->KnownEntries = NGameStates;
    QuintorStrategyState* D = StrategyLike(Optimal, S->ExpectedCache, copy);

    std::mt19937 rng(20240607);
    std::uniform_int_distribution<int> pick(0, NGameStates - 1);
    kernel::TurnTables want, got;
    kernel::VarianceTables V;
    for (int n = 0; n < 2000 && !::testing::Test::HasFailure(); ++n) {
        const int idx = pick(rng);
        const GameState g = GameStateOfIndex(idx);
        if (GameOver(g)) continue;
        const std::string where = GameStateToString(g);
        kernel::ComputeTurnTables(et, g, kernel::Reducer::Expected, true, want);
        kernel::ComputeVarianceTurnTables(et, fast, g, got, V);
        ASSERT_EQ(want.start, et[idx]) << where;
        ASSERT_EQ(want.start, got.start) << where;
        ASSERT_EQ(want.cat, got.cat) << where;
        for (int l = 0; l < NRollsPerTurn; ++l) {
            ASSERT_EQ(want.R[l], got.R[l]) << where << " level " << l;
            if (l == 0) continue;
            ASSERT_EQ(want.K[l], got.K[l]) << where << " level " << l;
            ASSERT_EQ(want.keep[l], got.keep[l]) << where << " level " << l;
        }
        EXPECT_EQ(V.start, fast[idx]) << where;
        if (n % 5 != 0) continue;
        ComputeVarianceTurn(D, g);
        ExpectClose(copy->KeeperValue[NRollsPerTurn][0], fast[idx], where + " start");
        for (int l = 0; l < NRollsPerTurn; ++l) {
            for (int i = 0; i < NFiveDiceBags; ++i)
                ExpectClose(copy->RollValue[l][NValueBag4Ranks + i], V.R[l][i],
                            where + " roll " + std::to_string(l) + "/" + std::to_string(i));
            if (l == 0) continue;
            for (int k = 0; k < NValueBag5Ranks; ++k)
                ExpectClose(copy->KeeperValue[l][k], V.K[l][k],
                            where + " keep " + std::to_string(l) + "/" + std::to_string(k));
        }
    }
}

TEST(StrategyVariance, CreationRunLogsSavesAndIsTheSameForOneThread) {
    QuintorStrategyState* S = OptimalWithTables();
    const GameStateTable reference = ReferenceVarianceTable();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quintor-variance-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    int steps = 0;
    bool otherThread = false;
    const auto caller = std::this_thread::get_id();
    Progress().varianceStep = [&] {
        ++steps;
        if (std::this_thread::get_id() != caller) otherThread = true;
    };
    const std::string logPath = LogFilePath();
    ASSERT_FALSE(logPath.empty());
    FlushLog();
    const auto logStart = std::filesystem::file_size(logPath);
    CreateVarianceTable(dir.string(), 1);
    Progress().varianceStep = nullptr;
    FlushLog();

    EXPECT_EQ(steps, 768);
    EXPECT_FALSE(otherThread);
    EXPECT_EQ(S->VarianceCache->KnownEntries, NGameStates);
    ASSERT_EQ(S->VarianceCache->Table.size(), reference.size());
    EXPECT_EQ(std::memcmp(S->VarianceCache->Table.data(), reference.data(), GameStateTableBytes), 0)
        << "one thread and all threads differ";

    const std::string file = (dir / VarianceTableFileName).string();
    GameStateTable saved;
    LoadGameStateTable(file, saved);
    EXPECT_EQ(std::memcmp(saved.data(), reference.data(), GameStateTableBytes), 0);

    std::ifstream in(logPath);
    in.seekg(std::streamoff(logStart));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const double v = reference[GameStateIndex(InitialGameState)];
    std::vector<std::string> want = {
        "Creating Variance-in-Final-Score Table",
        "# Known entries in VCache^.gstbl = ",
        "  0",
        "Computing all variances for optimal choices ...",
        "# Known entries in VCache^.gstbl = ",
        "  786432",
        "Variance in Final Score of Zelk for GRAND TOTAL = ",
        FixedStr(v, 5) + " = " + FixedStr(std::sqrt(v), 5) + "^2",
        "Saving GameStateTable to file named \"" + file + "\"",
    };
    ASSERT_GE(lines.size(), want.size());
    // The wall clock line comes only when the clock moved; its form is h:nn:ss.
    if (lines.size() > want.size() && lines[4].rfind("Wall clock time = ", 0) == 0) {
        const std::string t = lines[4].substr(18);
        EXPECT_TRUE(t.size() >= 7 && t[t.size() - 3] == ':' && t[t.size() - 6] == ':') << t;
        lines.erase(lines.begin() + 4);
    }
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(lines[i], want[i]) << i;
    std::filesystem::remove_all(dir);
}

TEST(StrategyVariance, ProgressCountsOnlyNewEntries) {
    QuintorStrategyState* S = OptimalWithTables();
    QuintorStrategyState* D =
        StrategyLike(Optimal, S->ExpectedCache, FreshCache("Variance in Final Score"));
    int steps = 0;
    Progress().varianceStep = [&] { ++steps; };
    // A memoised look-up first makes a few thousand entries known, one step per 1024.
    StrategyVariance(D, State({Aces, Twos, Threes, Fours, Fives, FullHouse, Chance}, 40, false),
                     InitialTurnState);
    const int before = D->VarianceCache->KnownEntries;
    EXPECT_GT(before, 1024);
    EXPECT_EQ(steps, before / 1024);
    ComputeAllVariances(D, 3);   // more threads than cores
    Progress().varianceStep = nullptr;
    EXPECT_EQ(steps, 768);
    EXPECT_EQ(D->VarianceCache->KnownEntries, NGameStates);
    EXPECT_EQ(CountKnownEntries(D->VarianceCache->Table), NGameStates);
}

TEST(StrategyEvaluation, SimpleMindedMatchesItsDiceDistribution) {
    OptimalWithTables();
    QuintorStrategyState* S =
        StrategyLike(SimpleMinded, FreshCache("Simple"), FreshCache("Simple variance"));
    // Scores of one throw of five dice in Three of a Kind and in Chance.
    double e3 = 0, q3 = 0, ec = 0, qc = 0;
    for (int code = 0; code < 7776; ++code) {
        ValueBag b;
        for (int j = 0, c = code; j < NDice; ++j, c /= 6) AddToBag(b, c % 6 + 1, 1);
        const double s3 = ScoreTbl(RankFromValueBag(b)).score[ThreeOfAKind];
        const double sc = SumOfValues(b);
        e3 += s3 / 7776;
        q3 += s3 * s3 / 7776;
        ec += sc / 7776;
        qc += sc * sc / 7776;
    }
    const GameState chance = State({Chance}, 0, false);
    ExpectClose(17.5, StrategyExpectedValue(S, chance, InitialTurnState), "chance mean");
    ExpectClose(qc - ec * ec, StrategyVariance(S, chance, InitialTurnState), "chance variance");
    ExpectClose(175.0 / 12.0, StrategyVariance(S, chance, InitialTurnState), "chance 5*35/12");
    // Holding 666 with one roll left: two fresh dice are added, then scored at once.
    const TurnState held{1, ToRoll, Bag("666")};
    ExpectClose(25.0, StrategyExpectedValue(S, chance, held), "666 mean");
    ExpectClose(35.0 / 6.0, StrategyVariance(S, chance, held), "666 variance");
    // It scores at once, so a roll is worth its sum whatever the rolls left.
    const TurnState rolled{2, ToChoose, Bag("13366")};
    ExpectClose(19.0, StrategyExpectedValue(S, chance, rolled), "roll");
    EXPECT_EQ(StrategyVariance(S, chance, rolled), 0.0);

    // Two independent boxes: the lower one is filled first, the spreads add up.
    const GameState two = State({ThreeOfAKind, Chance}, 0, false);
    ExpectClose(e3 + ec, StrategyExpectedValue(S, two, InitialTurnState), "pair mean");
    ExpectClose(q3 - e3 * e3 + qc - ec * ec, StrategyVariance(S, two, InitialTurnState),
                "pair variance");

    // Aces then Twos with need 3: the bonus comes when ones + 2 * twos reaches 3.
    auto binom = [](int k) {
        const double c[] = {1, 5, 10, 10, 5, 1};
        return c[k] * std::pow(1.0 / 6, k) * std::pow(5.0 / 6, 5 - k);
    };
    double m1 = 0, m2 = 0;
    for (int a = 0; a <= 5; ++a)
        for (int t = 0; t <= 5; ++t) {
            const double x = a + 2 * t + (a + 2 * t >= 3 ? 35 : 0);
            m1 += binom(a) * binom(t) * x;
            m2 += binom(a) * binom(t) * x * x;
        }
    const GameState upper = State({Aces, Twos}, 3, false);
    ExpectClose(m1, StrategyExpectedValue(S, upper, InitialTurnState), "upper mean");
    ExpectClose(m2 - m1 * m1, StrategyVariance(S, upper, InitialTurnState), "upper variance");
}

TEST(StrategyEvaluation, OptimalChoicesEvaluateToTheOptimalValues) {
    QuintorStrategyState* S = OptimalWithTables();
    // The optimal rule evaluated through a cache of its own takes the evaluation's own sums.
    QuintorStrategyState* E = StrategyLike(Optimal, FreshCache("Evaluated"), nullptr);
    const std::vector<GameState> states = {State({Fours, FullHouse}, 10, false),
                                           State({QuintorCat, Chance, Twos}, 4, false),
                                           State({SmallStraight, LargeStraight}, 0, true)};
    for (const GameState& g : states) {
        const std::string where = GameStateToString(g);
        ExpectClose(OptimalStateValue(g), StrategyExpectedValue(E, g, InitialTurnState), where);
        // Inside the turn too; a scoring counts as keeping all five dice.
        StrategyExpectedValue(E, g, TurnState{1, ToRoll, 0});
        const CacheState& C = *E->ExpectedCache;
        for (int l = 0; l < NRollsPerTurn; ++l) {
            for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
                const TurnState t{std::uint8_t(l), ToChoose, ValueBagRank(r)};
                ExpectClose(OptimalTurnValue(g, t), C.RollValue[l][r], where + " roll");
                if (l == 0) continue;
                Event e;
                ChooseEvent(S, g, t, 0, e, false);
                if (e.aspect == Scoring) {
                    EXPECT_EQ(C.RollValue[l][r], C.RollValue[l - 1][r]) << where;
                    EXPECT_EQ(C.BestKeeper[l][r], r) << where;
                } else {
                    EXPECT_EQ(C.BestKeeper[l][r], e.arg) << where;
                }
            }
        }
    }
    // On its own cache the optimal strategy reads the optimal turn tables untouched, so the
    // start of the turn still equals the table entry bit for bit.
    const GameState g = states[1];
    ComputeOptimalTurn(states[0]);
    const TurnState held{2, ToRoll, Bag("22")};
    const double v = StrategyExpectedValue(S, g, held);
    EXPECT_EQ(v, OptimalTurnValue(g, held));
    EXPECT_EQ(S->Cache->KeeperValue[NRollsPerTurn][0], S->Cache->Table[GameStateIndex(g)]);
}

TEST(StrategyEvaluation, RefusesWhatCannotBeEvaluated) {
    OptimalWithTables();
    const GameState g = State({Chance}, 0, false);
    auto failure = [](auto&& call) -> std::string {
        try {
            call();
        } catch (const CheckFailure& f) {
            return f.what();
        }
        return "no failure";
    };
    QuintorStrategyState* dw = StrategyLike(DovanWemli, FreshCache("DandW"), FreshCache("DandW V"));
    EXPECT_EQ(failure([&] { StrategyExpectedValue(dw, g, InitialTurnState); }),
              "ComputeStrategyTurn: choice is a scoring in a free category FAILED");
    EXPECT_EQ(failure([&] { StrategyVariance(dw, g, InitialTurnState); }),
              "ComputeVarianceTurn: choice is a scoring in a free category FAILED");
    QuintorStrategyState* bare = StrategyLike(SimpleMinded, nullptr, nullptr);
    EXPECT_EQ(failure([&] { StrategyExpectedValue(bare, g, InitialTurnState); }),
              "StrategyExpectedValue: S^.ExpectedCache<>nil FAILED");
    bare->ExpectedCache = FreshCache("Simple");
    EXPECT_EQ(failure([&] { StrategyVariance(bare, g, InitialTurnState); }),
              "StrategyVariance: S^.VarianceCache<>nil FAILED");
    // Points that do not exist in a turn, and a state outside the table.
    QuintorStrategyState* S = OptimalStrategy;
    EXPECT_THROW(StrategyExpectedValue(S, g, TurnState{3, ToChoose, Bag("12345")}), RangeError);
    EXPECT_THROW(StrategyExpectedValue(S, g, TurnState{1, ToChoose, Bag("1234")}), RangeError);
    EXPECT_THROW(StrategyVariance(S, g, TurnState{0, ToRoll, 0}), RangeError);
    EXPECT_THROW(StrategyVariance(S, g, TurnState{3, ToRoll, Bag("6")}), RangeError);
    EXPECT_THROW(StrategyVariance(S, g, TurnState{1, ToRoll, 462}), RangeError);
    EXPECT_THROW(StrategyExpectedValue(S, State({Chance}, 64, false), InitialTurnState),
                 RangeError);
}

}  // namespace
}  // namespace quintor
