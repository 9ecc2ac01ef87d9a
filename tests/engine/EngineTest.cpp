// The engine against deliberately plain evaluations: state indexes and .gstbl files, the optimal
// values and tie rules, creation runs, choice rules, evaluation and variance, event lists.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "core/GeneralStuff.h"
#include "EngineTestTables.h"
#include "engine/QuintorEventLists.h"

namespace quintor {
namespace {

// A strategy with fresh caches where asked for; an optimal one shares the optimal choice cache.
QuintorStrategyState* StrategyLike(StrategyKind kind, bool expected, bool variance) {
    QuintorStrategyState* S = nullptr;
    CreateQuintorStrategy(S, "Test", "Test", OfficialRules, kind);
    S->Cache = kind == Optimal ? OptimalStrategy->Cache : S->Cache;
    if (expected) CreateCache(S->ExpectedCache, "Test", GrandTotal, "");
    if (variance) CreateCache(S->VarianceCache, "Test", GrandTotal, "");
    return S;
}

GameState State(std::initializer_list<int> free, int need, bool chip) {
    GameState g{0, std::uint16_t(need), chip};
    for (int c : free) g.free = WithCategory(g.free, c);
    return g;
}

ValueBagRank Bag(const char* dice) {   // "11236"
    ValueBag b;
    for (const char* p = dice; *p; ++p) AddToBag(b, *p - '0', 1);
    return RankFromValueBag(b);
}

std::vector<GameState> RandomStates(int n, unsigned seed) {   // games not over
    std::mt19937 rng(seed);
    std::vector<GameState> out;
    for (GameState g; int(out.size()) < n;)
        if (g = GameStateOfIndex(int(rng() % NGameStates)); !GameOver(g)) out.push_back(g);
    return out;
}

std::string FailText(const std::function<void()>& f) {   // "" without a CheckFailure
    try {
        f();
    } catch (const CheckFailure& e) {
        return e.what();
    }
    return "";
}

std::string LogText() {
    FlushLog();
    std::ifstream in(LogFilePath());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Counts the progress steps of a hook that come on this thread.
struct StepCounter {
    std::function<void()>& hook;
    int steps = 0;
    const std::thread::id me = std::this_thread::get_id();
    explicit StepCounter(std::function<void()>& h) : hook(h) {
        hook = [this] { steps += std::this_thread::get_id() == me; };
    }
    ~StepCounter() { hook = nullptr; }
};

struct TempDir {   // a fresh directory of this process, removed at the end
    std::string path;
    explicit TempDir(const std::string& name)
        : path((std::filesystem::temp_directory_path() /
                ("quintor-engine-" + name + "-" + std::to_string(::getpid()))).string()) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

// The points of scoring five-dice bag r in category c; next becomes the successor.
double Score(const GameState& g, ValueBagRank r, Category c, GameState& next) {
    ScoreCard delta;
    Event e;
    e.aspect = Scoring;
    e.category = c;
    ApplyScoringEvent(OfficialRules, g, TurnState{0, ToChoose, r}, next, delta, e);
    return double(delta[GrandTotal]);
}

// Direct enumeration, independent of the engine's lists: each ordered throw of the dice thrown,
// each subset of dice positions kept, ApplyScoringEvent for the points; recursive over the game
// states (few free categories only), or one turn on the successor entries of T. Best: the optimum;
// Worst: the score the dice cannot deny; Follow: the choices of strategy S.
enum class Mode { Best, Worst, Follow };
struct Moments {
    double m1 = 0.0, m2 = 0.0;   // E[X], E[X^2] of the score to come
};

struct Enumerate {
    Mode mode;
    QuintorStrategyState* S = OptimalStrategy;
    const GameStateTable* T = nullptr;
    std::map<long long, Moments> memo{};

    Moments operator()(const GameState& g) { return GameOver(g) ? Moments{} : Hold(g, 3, 0); }

    // Five dice on the table with l rolls left: score, or keep any subset of the positions.
    Moments Rolled(const GameState& g, int l, ValueBagRank r) {
        const long long key = (GameStateIndex(g) * 8LL + l) * 512 + r;
        if (auto it = memo.find(key); it != memo.end()) return it->second;
        Moments best{-1e300, 0.0};
        auto consider = [&best](const Moments& m) { best = m.m1 > best.m1 ? m : best; };
        if (mode == Mode::Follow) {
            Event e;
            ChooseEvent(S, g, {std::uint8_t(l), ToChoose, r}, 0, e, false);
            best = e.aspect == Scoring ? Scored(g, r, e.category) : Hold(g, l, e.arg);
        } else if (l == 0) {
            for (int c = 0; c < NCategories; ++c)
                if (InSet(g.free, c)) consider(Scored(g, r, Category(c)));
        } else {
            ValueList dice;
            ValueListFromValueBag(dice, ValueBagTbl[r].bag);
            for (int mask = 0; mask < 1 << NDice; ++mask) {
                ValueBag kept;
                for (int p = 0; p < NDice; ++p)
                    if (mask >> p & 1) AddToBag(kept, dice.val[std::size_t(p)], 1);
                consider(Hold(g, l, RankFromValueBag(kept)));
            }
        }
        return memo[key] = best;
    }
    // Holding bag k with l rolls left: each ordered outcome of the other dice, equally likely.
    Moments Hold(const GameState& g, int l, ValueBagRank k) {
        const long long key = (GameStateIndex(g) * 8LL + 3 + l) * 512 + k;
        if (auto it = memo.find(key); it != memo.end()) return it->second;
        const int m = NDice - ValueBagTbl[k].bag.size();
        int n = 1;
        for (int i = 0; i < m; ++i) n *= NValues;
        Moments sum, low{1e300, 0.0};
        for (int o = 0; o < n; ++o) {
            ValueBag b = ValueBagTbl[k].bag;
            for (int i = 0, x = o; i < m; ++i, x /= NValues) AddToBag(b, 1 + x % NValues, 1);
            const Moments v = Rolled(g, l - 1, RankFromValueBag(b));
            sum = {sum.m1 + v.m1 / n, sum.m2 + v.m2 / n};
            low = v.m1 < low.m1 ? v : low;
        }
        return memo[key] = mode == Mode::Worst ? low : sum;
    }
    Moments Scored(const GameState& g, ValueBagRank r, Category c) {
        GameState next;
        const double s = Score(g, r, c, next);
        const Moments sub =
            T != nullptr ? Moments{(*T)[std::size_t(GameStateIndex(next))], 0.0} : (*this)(next);
        return {s + sub.m1, s * s + 2.0 * s * sub.m1 + sub.m2};
    }
};

std::vector<char> ReadBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& file, const std::vector<char>& bytes) {
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

TEST(GameStateIndex, FollowsTheStridesAndMeetsEveryEntryOnce) {
    EXPECT_EQ(GameStateIndex(InitialGameState), 786431);
    EXPECT_EQ(GameStateIndex(State({Aces}, 0, false)), 393216);
    EXPECT_EQ(GameStateIndex(State({LargeStraight}, 5, false)), 389);
    EXPECT_EQ(GameStateIndex(State({QuintorCat}, 0, false)), 256);
    EXPECT_EQ(GameStateIndex(State({Chance}, 63, true)), 64 + 128 + 63);
    EXPECT_THROW(GameStateIndex(State({}, 64, false)), RangeError);
    EXPECT_THROW(GameStateIndex(State({QuintorCat}, 0, true)), RangeError);
    EXPECT_THROW(GameStateOfIndex(NGameStates), RangeError);
    std::vector<char> seen(NGameStates, 0);
    GameState g = InitialGameState;
    do {
        const int i = GameStateIndex(g);
        ASSERT_FALSE(seen[std::size_t(i)]) << GameStateToString(g);
        seen[std::size_t(i)] = 1;
        ASSERT_TRUE(EqualGameStates(GameStateOfIndex(i), g)) << i;
    } while (NextGameState(g));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), NGameStates);
}

TEST(GameStateTableFile, RoundTripsBitForBitRejectsBadFilesAndSavesSafely) {
    GameStateTable t;
    InitGameStateTable(t);
    for (int i = 0; i < NGameStates; i += 3) t[std::size_t(i)] = i * 0.5;
    t[1] = std::nextafter(1.0, 2.0);
    t[2] = 5e-324;
    t[5] = -1e-300;   // not a known entry
    t[NGameStates - 1] = 1575.0;
    const TempDir dir("file");
    const std::string file = dir.path + "/t.gstbl";
    SaveGameStateTable(file, t);
    const std::vector<char> bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), GameStateTableBytes);
    // Entry i at offset 8 i, little-endian, no header: 1575.0 is 0x40989C0000000000.
    EXPECT_EQ(std::memcmp(&bytes[8 * std::size_t(NGameStates - 1)],
                          "\x00\x00\x00\x00\x00\x9C\x98\x40", 8), 0);
    EXPECT_EQ(std::memcmp(&bytes[8 * 4], "\x00\x00\x00\x00\x00\x00\xF0\xBF", 8), 0);
    CacheState* C = nullptr;
    CreateCache(C, "Fresh", GrandTotal, "");
    CacheState* same = C;
    C->CurrentState = InitialGameState;
    CreateCache(C, "Loaded", GrandTotal, file);   // the record is reused, its turn tables dropped
    EXPECT_TRUE(C == same && C->Name == "Loaded" && C->CurrentState.free == 0);
    EXPECT_EQ(C->KnownEntries, NGameStates / 3 + 3);
    EXPECT_TRUE(SameBytes(C->Table, t));
    EXPECT_NE(LogText().find("Loading GameStateTable from file named \"" + file + "\"\n"),
              std::string::npos);

    // A failed save leaves the old file as it was and nothing else behind; the disk fills up after
    // one megabyte (a file size limit binds a superuser too).
    const GameStateTable other(NGameStates, 1.0);
    EXPECT_THROW(SaveGameStateTable(dir.path + "/no-such-dir/x.gstbl", other), IOError);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1 << 20;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(SaveGameStateTable(file, other), IOError);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadBytes(file), bytes);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path))
        EXPECT_EQ(entry.path().filename(), "t.gstbl") << "left behind: " << entry.path();

    // Bad files raise the error naming the file and the fault; the table stays as it was.
    auto with = [&](std::size_t entry, double v) {
        std::vector<char> b = bytes;
        std::memcpy(&b[8 * entry], &v, 8);
        return b;
    };
    const struct { const char* name; std::vector<char> bytes; const char* what; } bad[] = {
        {"short", std::vector<char>(bytes.begin(), bytes.end() - 1), "6291455 bytes"},
        {"empty", {}, "0 bytes"},
        {"nan", with(1000, std::nan("")), "entry 1000 is not a number"},
        {"inf", with(77, -HUGE_VAL), "entry 77 is infinite"},
        {"missing", {}, "no such file"}};
    std::vector<double> kept(t);
    for (const auto& c : bad) {
        const std::string name = dir.path + "/" + c.name;
        if (c.name != std::string("missing")) WriteBytes(name, c.bytes);
        try {
            LoadGameStateTable(name, kept);
            ADD_FAILURE() << "no error for " << c.name;
        } catch (const IOError& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << e.what();
        }
        EXPECT_TRUE(SameBytes(kept, t)) << c.name;
    }
    std::vector<char> longer = bytes;   // one byte too many is ignored
    longer.push_back('\x7F');
    WriteBytes(dir.path + "/long", longer);
    InitGameStateTable(kept);
    LoadGameStateTable(dir.path + "/long", kept);
    EXPECT_TRUE(SameBytes(kept, t));
}

TEST(OptimalTable, MatchesDirectEnumerationAndFollowsTheTieRules) {
    const GameStateTable& ref = OptimalTable();
    EXPECT_EQ(CountKnownEntries(ref), NGameStates);
    EXPECT_NEAR(ref[786431], 254.5896, 1e-4);
    std::vector<GameState> few = {   // bonus, Quintors paying 100, jokers; pairs
        State({Aces}, 3, false), State({Sixes}, 24, true), State({FullHouse}, 0, true),
        State({Threes, Sixes}, 27, false), State({Fours, FullHouse}, 8, true),
        State({SmallStraight, QuintorCat}, 0, false), State({Aces, Chance}, 2, true)};
    for (int c = 0; c < NCategories; ++c) few.push_back(State({c}, 0, false));
    for (const GameState& g : few)
        EXPECT_NEAR(ref[std::size_t(GameStateIndex(g))], Enumerate{Mode::Best}(g).m1, 1e-9)
            << GameStateToString(g);

    // Random states: plain enumeration of one turn on the table's successors, and the tie rules.
    std::vector<GameState> states = RandomStates(100, 11);
    states.push_back(InitialGameState);
    const CacheState& C = *OptimalStrategy->Cache;
    int keeperTies = 0;
    for (const GameState& g : states) {
        auto candidate = [&](ValueBagRank r, int c) {   // successor entry + points
            GameState next;
            const double points = Score(g, r, Category(c), next);
            return ref[std::size_t(GameStateIndex(next))] + points;
        };
        Enumerate turn{Mode::Best, OptimalStrategy, &ref};
        ASSERT_NEAR(ref[std::size_t(GameStateIndex(g))], turn(g).m1, 1e-9) << GameStateToString(g);
        ComputeOptimalTurn(g);
        ASSERT_EQ(C.KeeperValue[3][0], ref[std::size_t(GameStateIndex(g))]) << GameStateToString(g);
        for (int l = 1; l < NRollsPerTurn; ++l)
            for (ValueBagRank k = 0; k < NValueBag5Ranks; ++k)
                ASSERT_NEAR(C.KeeperValue[l][k], turn.Hold(g, l, k).m1, 1e-9) << l << " " << k;
        for (ValueBagRank r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
            // The value is the maximum; the choice the lowest category that ties with it.
            const double v0 = C.RollValue[0][r];
            ASSERT_NEAR(v0, turn.Rolled(g, 0, r).m1, 1e-9);
            for (int c = 0; c < NCategories; ++c) {
                const double v = InSet(g.free, c) ? candidate(r, c) : -1.0;
                ASSERT_LE(v, v0) << r << " " << c;
                ASSERT_TRUE(c >= C.BestCategory[r] || !TiesWithBest(v, v0)) << r << " " << c;
            }
            ASSERT_TRUE(TiesWithBest(candidate(r, C.BestCategory[r]), v0));
            // The latest sub-bag that ties with the best; never worse with more rolls left.
            const IndexRange sr = SubBagRanges[r - NValueBag4Ranks];
            for (int l = 1; l < NRollsPerTurn; ++l) {
                const double v = C.RollValue[l][r];
                ASSERT_NEAR(v, turn.Rolled(g, l, r).m1, 1e-9);
                ASSERT_GE(v, C.RollValue[l - 1][r]);
                ASSERT_EQ(C.KeeperValue[l][r], C.RollValue[l - 1][r]);
                bool after = false;
                for (int i = sr.first; i <= sr.last; ++i) {
                    const double k = C.KeeperValue[l][SubBagTbl[i]];
                    const bool chosen = SubBagTbl[i] == C.BestKeeper[l][r];
                    ASSERT_LE(k, v);
                    ASSERT_TRUE(chosen ? TiesWithBest(k, v) : !after || !TiesWithBest(k, v))
                        << r << " " << i;
                    keeperTies += !after && !chosen && TiesWithBest(k, v);
                    after = after || chosen;
                }
                ASSERT_TRUE(after);
            }
        }
    }
    EXPECT_GT(keeperTies, 0) << "no tie met: the rule was not exercised";
    const GameState& g = states.back();
    EXPECT_EQ(OptimalTurnValue(g, InitialTurnState), ref[std::size_t(GameStateIndex(g))]);
    EXPECT_EQ(OptimalTurnValue(g, {1, ToChoose, Bag("55236")}), C.RollValue[1][Bag("55236")]);
    EXPECT_EQ(OptimalTurnValue(g, {2, ToRoll, Bag("55")}), C.KeeperValue[2][Bag("55")]);
    EXPECT_THROW(OptimalTurnValue(g, {3, ToChoose, Bag("55236")}), RangeError);
    EXPECT_THROW(OptimalTurnValue(g, {1, ToChoose, Bag("55")}), RangeError);

    // Aces and Twos made to lead to states worth the same: a roll without ones or twos ties.
    CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
    OptimalStrategy->Cache->Table[std::size_t(GameStateIndex(State({Twos}, 0, false)))] = 10.0;
    OptimalStrategy->Cache->Table[std::size_t(GameStateIndex(State({Aces}, 0, false)))] = 10.0;
    ComputeOptimalTurn(State({Aces, Twos}, 0, false));
    EXPECT_TRUE(C.BestCategory[Bag("33456")] == Aces && C.BestCategory[Bag("12345")] == Twos);
}

TEST(OptimalTable, MemoisedStepsEvery1024EntriesAndBulkRunsGiveTheSameBytes) {
    const GameStateTable& ref = OptimalTable();
    CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
    const CacheState& C = *OptimalStrategy->Cache;
    StepCounter counter(Progress().optimalStep);
    const GameState g = State({Aces, Twos, Threes, Fours, Sixes, FullHouse, Chance}, 40, false);
    EXPECT_EQ(OptimalStateValue(g), ref[std::size_t(GameStateIndex(g))]);
    EXPECT_GT(C.KnownEntries, 2048);
    EXPECT_EQ(counter.steps, C.KnownEntries / 1024);
    ComputeAllOptimalValues(3);   // on the partial table, more threads than cores
    EXPECT_EQ(counter.steps, 768);
    EXPECT_TRUE(SameBytes(C.Table, ref));

    const TempDir dir("create");
    OptimalStrategy->ExpectedCache = nullptr;
    counter.steps = 0;
    CreateOptimalTable(dir.path, 2);
    EXPECT_EQ(counter.steps, 768);
    EXPECT_EQ(OptimalStrategy->ExpectedCache, OptimalStrategy->Cache);
    const std::string file = dir.path + "/" + OptimalTableFileName;
    GameStateTable saved;
    LoadGameStateTable(file, saved);
    EXPECT_TRUE(SameBytes(saved, ref) && SameBytes(OptimalStrategy->Cache->Table, ref));
    const std::string log = LogText();   // a wall clock line may come between the two parts
    for (const std::string& lines :
         {std::string("Creating Optimal Expected Final Score Table\n# Known entries in "
                      "OptECache^.gstbl = \n  0\nComputing all choices for optimal Quintor "
                      "strategy ...\n"),
          "# Known entries in OptECache^.gstbl = \n  786432\nOptimal Expected Final Score of "
          "Zelk for GRAND TOTAL = \n  " + FixedStr(ref[786431], 5) +
              "\nSaving GameStateTable to file named \"" + file + "\"\n"})
        EXPECT_NE(log.find(lines), std::string::npos) << lines << log;
}

void ExpectClose(double want, double got, const std::string& where) {   // relative, floored
    EXPECT_NEAR(want, got, 1e-9 * std::max(std::fabs(want), std::fabs(got)) + 1e-18) << where;
}

TEST(ChooseEvent, SimpleOptimalAndMinScoreRules) {
    OptimalTable();
    const GameState g = State({Aces, Threes, SmallStraight, Chance}, 20, false);
    Event e;
    ChooseEvent(SimpleStrategy, g, {2, ToChoose, Bag("66666")}, 0, e, false);
    EXPECT_TRUE(e.aspect == Scoring && e.category == Aces);
    // Optimal: scores with no roll left or when rolling on is worth no more (to within a tie),
    // else keeps.
    const CacheState& C = *OptimalStrategy->Cache;
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r)
        for (std::uint8_t l = 0; l < NRollsPerTurn; ++l) {
            ChooseEvent(OptimalStrategy, g, {l, ToChoose, ValueBagRank(r)}, 0, e, false);
            ASSERT_TRUE(l > 0 && !TiesWithBest(C.RollValue[0][r], C.RollValue[l][r])
                            ? e.aspect == Keeping && e.arg == C.BestKeeper[l][r]
                            : e.aspect == Scoring && e.category == C.BestCategory[r])
                << int(l) << " " << r;
        }

    // Min score: the worst case of direct enumeration, its cache made on first use.
    QuintorStrategyState* S = StrategyLike(OptimalMinScore, false, false);
    const GameState a = State({Aces, Chance}, 3, false);
    for (const GameState& s : {State({Chance}, 0, false), State({Sixes}, 12, false),
                               State({QuintorCat}, 0, false), State({FullHouse}, 0, true), a,
                               State({SmallStraight, LargeStraight}, 0, false)})
        EXPECT_NEAR(MinScoreValue(S, s, InitialTurnState), Enumerate{Mode::Worst}(s).m1, 1e-9)
            << GameStateToString(s);
    ASSERT_NE(S->Cache, nullptr);
    // Three aces (3 + 35, then 5 or more in Chance) is all it can be sure of: it scores.
    ChooseEvent(S, a, {2, ToChoose, Bag("11156")}, 0, e, false);
    EXPECT_EQ(MinScoreValue(S, a, {2, ToChoose, Bag("11156")}), 43.0);
    EXPECT_TRUE(e.aspect == Scoring && e.category == Aces);
}

TEST(ChooseEvent, UserDialogueRejectsWhatItMustAndAsksAgain) {
    const GameState g = State({Aces, Twos, Chance}, 5, false);
    const TurnState roll{2, ToChoose, Bag("11236")};
    UserStrategy->LastShownState.free = 0;
    std::istringstream in("x\nk 4 4\nr 11236\ns 3\nk 1,1;\n"          // the first choice
                          "k 11\nS 1 and the rest of the line\n"    // the second
                          "s h\n");                                  // and the input ends
    std::ostringstream out;
    SetConsole(&in, &out);
    struct Back { ~Back() { SetConsole(&std::cin, &std::cout); } } back;
    auto count = [](const std::string& text, const std::string& s) {
        int n = 0;
        for (auto at = text.find(s); at != std::string::npos; at = text.find(s, at + 1)) ++n;
        return n;
    };
    Event e;
    ChooseEvent(UserStrategy, g, roll, 17, e, true);
    const std::string first = out.str();
    EXPECT_TRUE(e.aspect == Keeping && e.arg == Bag("11"));
    EXPECT_EQ(count(first, "  Choice [k <keepers> | s <category>]? "), 5);
    EXPECT_EQ(count(first, "\nGame state: " + GameStateToString(g) + ", Total= 17\n"), 1);
    EXPECT_EQ(count(first, "      Roll: " + TurnStateToString(roll, false, false) + "\n"), 1);
    EXPECT_EQ(count(first, "the roll holds no such dice"), 1);
    EXPECT_EQ(count(first, "that category is used already"), 1);
    EXPECT_EQ(count(first, "the dice are rolled already"), 1);
    // No roll left: keepers neither offered nor accepted; the same state is not shown again.
    ChooseEvent(UserStrategy, g, {0, ToChoose, Bag("11236")}, 17, e, true);
    const std::string second = out.str().substr(first.size());
    EXPECT_TRUE(e.aspect == Scoring && e.category == Aces && e.arg == 2);
    EXPECT_EQ(count(second, "  Choice [s <category>]? "), 2);
    EXPECT_EQ(count(second, "k <keepers>"), 0);
    EXPECT_EQ(count(second, "no roll is left"), 1);
    EXPECT_EQ(count(second, "Game state: "), 0);
    EXPECT_EQ(count(second, "  " + EventToString(e, true, true) + "\n"), 1);
    EXPECT_THROW(ChooseEvent(UserStrategy, g, roll, 0, e, false), EndOfInput);
    EXPECT_EQ(count(out.str().substr(first.size() + second.size()), "Roll: "), 0);
}

TEST(StrategyVariance, MatchesDirectEnumerationTheDefinitionAndOneThread) {
    const GameStateTable& V = VarianceTable();
    std::vector<GameState> states = {   // every box alone, with bonus, chip and jokers; pairs
        State({Threes, Chance}, 9, false), State({FullHouse, LargeStraight}, 0, true),
        State({Aces, QuintorCat}, 3, false), State({Sixes, FourOfAKind}, 24, true)};
    for (int c = 0; c < NCategories; ++c) {
        states.push_back(State({c}, c <= Sixes ? 3 * (c + 1) : 0, false));
        if (c != QuintorCat) states.push_back(State({c}, 0, true));
    }
    Enumerate follow{Mode::Follow};
    // The memoised definition from scratch, on a variance cache of its own.
    QuintorStrategyState* D = StrategyLike(Optimal, false, true);
    D->ExpectedCache = OptimalStrategy->Cache;
    for (const GameState& g : states) {
        const std::string where = GameStateToString(g);
        const Moments m = follow(g);
        ExpectClose(m.m1, OptimalStateValue(g), where + " mean");
        ExpectClose(m.m2 - m.m1 * m.m1, StrategyVariance(D, g, InitialTurnState), where + " def");
        ExpectClose(m.m2 - m.m1 * m.m1, V[std::size_t(GameStateIndex(g))], where + " table");
    }
    // Random states: the definition's turn on the table's successor entries gives the entry.
    Restore(D->VarianceCache, V);
    for (const GameState& g : RandomStates(400, 20240607)) {
        ComputeVarianceTurn(D, g);
        ExpectClose(D->VarianceCache->KeeperValue[NRollsPerTurn][0],
                    V[std::size_t(GameStateIndex(g))], GameStateToString(g));
    }
    for (double v : V) ASSERT_TRUE(v >= 0.0 && std::isfinite(v));
    EXPECT_NEAR(std::sqrt(V[786431]), 59.6, 0.05);

    // The creation run on one thread: the same bytes, 768 steps on this thread, its log lines.
    const TempDir dir("variance");
    StepCounter counter(Progress().varianceStep);
    CreateVarianceTable(dir.path, 1);
    EXPECT_EQ(counter.steps, 768);
    EXPECT_TRUE(SameBytes(OptimalStrategy->VarianceCache->Table, V));
    const std::string file = dir.path + "/" + VarianceTableFileName;
    GameStateTable saved;
    LoadGameStateTable(file, saved);
    EXPECT_TRUE(SameBytes(saved, V));
    const std::string log = LogText();   // a wall clock line may come between the two parts
    for (const std::string& lines :
         {std::string("Creating Variance-in-Final-Score Table\n# Known entries in VCache^.gstbl ="
                      " \n  0\nComputing all variances for optimal choices ...\n"),
          "# Known entries in VCache^.gstbl = \n  786432\nVariance in Final Score of Zelk for "
          "GRAND TOTAL = \n" + FixedStr(V[786431], 5) + " = " + FixedStr(std::sqrt(V[786431]), 5) +
              "^2\nSaving GameStateTable to file named \"" + file + "\"\n"})
        EXPECT_NE(log.find(lines), std::string::npos) << lines << log;
}

TEST(StrategyEvaluation, FollowsTheStrategysChoicesAndRefusesWhatItCannotEvaluate) {
    QuintorStrategyState* simple = StrategyLike(SimpleMinded, true, true);
    Enumerate follow{Mode::Follow, simple};
    const GameState chance = State({Chance}, 0, false);
    for (const GameState& g : {State({ThreeOfAKind, Chance}, 0, false),
                               State({Aces, Twos}, 3, false), State({FullHouse, Sixes}, 6, true)}) {
        const Moments m = follow(g);
        ExpectClose(m.m1, StrategyExpectedValue(simple, g, InitialTurnState), GameStateToString(g));
        ExpectClose(m.m2 - m.m1 * m.m1, StrategyVariance(simple, g, InitialTurnState), "variance");
    }
    ExpectClose(175.0 / 12.0, StrategyVariance(simple, chance, InitialTurnState), "5 * 35/12");
    // A kind without a choice rule leaves the event alone, so it cannot be evaluated.
    QuintorStrategyState* dw = StrategyLike(DovanWemli, true, true);
    EXPECT_EQ(FailText([&] { StrategyExpectedValue(dw, chance, InitialTurnState); }),
              "ComputeStrategyTurn: choice is a scoring in a free category FAILED");
    EXPECT_EQ(FailText([&] { StrategyVariance(dw, chance, InitialTurnState); }),
              "ComputeVarianceTurn: choice is a scoring in a free category FAILED");
    EXPECT_THROW(StrategyVariance(simple, chance, {1, ToRoll, 462}), RangeError);
}

TEST(EventLists, ListEveryOptionWithItsValuesFindAndSortStably) {
    const GameStateTable& V = VarianceTable();
    QuintorStrategyState* S = OptimalStrategy;
    EList list;
    // No roll left: the scorings in category order; a total at the top of its range still adds.
    const GameState g = State({Twos, FullHouse, QuintorCat, Chance}, 4, false);
    const TurnState t{0, ToChoose, Bag("22255")};
    ListChoiceOptions(list, S, g, MaxPoints, t);
    ASSERT_EQ(list.len, 4);
    const Category want[] = {Twos, FullHouse, QuintorCat, Chance};
    for (std::size_t i = 0; i < 4; ++i) {
        const EListEntry& e = list.entry[i];
        GameState next;
        const double points = Score(g, t.dice, want[i], next);
        EXPECT_TRUE(e.event.aspect == Scoring && e.event.category == want[i]) << i;
        EXPECT_EQ(e.event.arg, points);
        EXPECT_DOUBLE_EQ(e.expected, OptimalStateValue(next) + MaxPoints + points);
        EXPECT_DOUBLE_EQ(e.sd, std::sqrt(V[std::size_t(GameStateIndex(next))]));
    }
    // With rolls left: the 13 scorings, then each distinct sub-bag from all five to none.
    const TurnState r{2, ToChoose, Bag("12346")};
    ListChoiceOptions(list, S, InitialGameState, 0, r);
    ASSERT_EQ(list.len, 13 + 32);
    EXPECT_TRUE(list.entry[13].event.arg == r.dice && list.entry[44].event.arg == 0);
    std::set<int> kept;
    for (std::size_t i = 13; i < 45; ++i) {
        const EListEntry& e = list.entry[i];
        const TurnState k{2, ToRoll, e.event.arg};
        ASSERT_EQ(e.event.aspect, Keeping);
        EXPECT_TRUE(IsSubBag(ValueBagTbl[k.dice].bag, ValueBagTbl[r.dice].bag));
        EXPECT_DOUBLE_EQ(e.expected, OptimalTurnValue(InitialGameState, k));
        EXPECT_DOUBLE_EQ(e.sd, std::sqrt(StrategyVariance(S, InitialGameState, k)));
        kept.insert(e.event.arg);
    }
    EXPECT_EQ(kept.size(), 32u);
    Event f = list.entry[12].event;   // Chance; the points play no part in the match
    f.arg = 999;
    EXPECT_EQ(FindEvent(list, f), 12);
    f = list.entry[30].event;
    EXPECT_EQ(FindEvent(list, f), 30);
    f.arg = Bag("55");   // not part of the roll
    EXPECT_THROW(FindEvent(list, f), RangeError);
    ListChoiceOptions(list, S, InitialGameState, 0, {2, ToChoose, Bag("56666")});
    EXPECT_EQ(list.len, 13 + 2 * 5);
    // Roll outcomes: the 252 bags fill the list, which then refuses to grow.
    ListRollOutcomes(list, S, g, 200, {1, ToRoll, 0});
    ASSERT_EQ(list.len, MaxEListIndex);
    for (int i = 0; i < list.len; ++i) {
        const EListEntry& e = list.entry[std::size_t(i)];
        const TurnState o{0, ToChoose, CompletionTbl[CompletionRanges[0].first + i].vbr};
        ASSERT_TRUE(e.event.aspect == Rolling && e.event.arg == ValueBagTbl[o.dice].vlr);
        EXPECT_DOUBLE_EQ(e.expected, OptimalTurnValue(g, o) + 200);
        EXPECT_DOUBLE_EQ(e.sd, std::sqrt(StrategyVariance(S, g, o)));
    }
    EXPECT_EQ(FailText([&] { ExtendEList(list, list.entry[0].event, 0.0, -1.0); }),
              "ExtendEList: len<MaxEListIndex FAILED");
    EXPECT_EQ(list.len, MaxEListIndex);
    ListRollOutcomes(list, S, g, 0, {2, ToRoll, Bag("6663")});
    EXPECT_EQ(list.len, 6);
    // A finished game has no options; without a variance table every deviation is -1.
    ListChoiceOptions(list, S, State({}, 0, true), 300, {2, ToChoose, Bag("12345")});
    EXPECT_EQ(list.len, 0);
    CacheState* variance = std::exchange(S->VarianceCache, nullptr);
    ListRollOutcomes(list, S, InitialGameState, 0, {2, ToRoll, Bag("11")});
    S->VarianceCache = variance;
    ASSERT_EQ(list.len, 56);
    for (int i = 0; i < list.len; ++i) EXPECT_EQ(list.entry[std::size_t(i)].sd, -1.0);
    EXPECT_THROW(ListChoiceOptions(list, S, g, 1576, {1, ToChoose, Bag("12345")}), RangeError);

    // Sorting: by value descending, equal values in their order, entries moving whole.
    InitEList(list, InitialGameState, InitialTurnState);
    const double values[] = {3.0, 5.0, 3.0, 7.0, 5.0, 3.0, 1.0};
    for (int i = 0; i < 7; ++i) ExtendEList(list, list.entry[0].event, values[i], double(i));
    SortEList(list);
    const int order[] = {3, 1, 4, 0, 2, 5, 6};
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_TRUE(list.entry[i].sd == order[i] && list.entry[i].expected == values[order[i]]);
}

}  // namespace
}  // namespace quintor
