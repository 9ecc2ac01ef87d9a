#include "engine/QuintorStrategies.h"

#include <chrono>
#include <limits>
#include <memory>
#include <new>
#include <ostream>

#include "core/GeneralStuff.h"
#include "engine/QuintorTurnKernel.h"

namespace quintor {

QuintorStrategyState* UserStrategy = nullptr;
QuintorStrategyState* SimpleStrategy = nullptr;
QuintorStrategyState* OptimalStrategy = nullptr;
QuintorStrategyState* MinScoreStrategy = nullptr;
QuintorStrategyState* DandWStrategy = nullptr;

ProgressHooks& Progress() {
    static ProgressHooks hooks;
    return hooks;
}

namespace {

CacheState& OptCache(std::string_view proc) {
    Check(OptimalStrategy != nullptr && OptimalStrategy->Cache != nullptr, proc,
          "OptimalStrategy^.Cache <> nil");
    return *OptimalStrategy->Cache;
}

CacheState& MinCache(QuintorStrategyState* S, std::string_view proc) {
    Check(S != nullptr && S->Kind == OptimalMinScore, proc, "S^.Kind = OptimalMinScore");
    // Nothing else creates this strategy's table: it starts empty on first use.
    if (S->Cache == nullptr) CreateCache(S->Cache, "Guaranteed Final Score", GrandTotal, "");
    return *S->Cache;
}

void CountNewEntry(CacheState& C) {
    if (C.KnownEntries == std::numeric_limits<std::int32_t>::max())
        throw OverflowError("KnownEntries would pass the 32-bit range");
    ++C.KnownEntries;
    if (C.KnownEntries % 1024 == 0 && Progress().optimalStep) Progress().optimalStep();
}

// Turn tables under construction; never live across a recursive call.
kernel::TurnTables& Scratch() {
    thread_local kernel::TurnTables T;
    return T;
}

void StoreTurn(CacheState& C, const GameState& g, const kernel::TurnTables& T) {
    for (int l = 1; l < NRollsPerTurn; ++l) C.KeeperValue[l] = T.K[l];
    for (int l = 0; l < NRollsPerTurn; ++l) {
        for (int i = 0; i < kernel::NRolls; ++i) {
            C.RollValue[l][NValueBag4Ranks + i] = T.R[l][i];
            if (l > 0) C.BestKeeper[l][NValueBag4Ranks + i] = T.keep[l][i];
        }
    }
    for (int i = 0; i < kernel::NRolls; ++i) C.BestCategory[NValueBag4Ranks + i] = T.cat[i];
    C.KeeperValue[NRollsPerTurn][0] = T.start;
    C.CurrentState = g;
}

// The turn-table entry of a point inside a turn; RangeError for levels or bags outside the tables.
void CheckChoicePoint(const TurnState& t) {
    if (t.phase != ToChoose) throw RangeError("ChooseEvent: the dice are not rolled yet");
    CheckRange(t.rollsLeft, 0, NRollsPerTurn - 1, "rolls left after a roll");
    CheckFiveDiceBagRank(t.dice);
}

// Keep only when rolling on is worth more than scoring now: a tie, to within TieTolerance,
// scores.
void ChooseFromTurn(const CacheState& C, const TurnState& t, Event& e) {
    const int l = t.rollsLeft;
    if (l > 0 && KeepRatherThanScore(C.RollValue[0][t.dice], C.RollValue[l][t.dice])) {
        e.aspect = Keeping;
        e.arg = C.BestKeeper[l][t.dice];
    } else {
        e.aspect = Scoring;
        e.category = C.BestCategory[t.dice];
    }
}

// The guaranteed score of g from the start of a turn, memoised in the table, without touching
// the turn tables: a turn computation overwrites them anyway.
double WorstStateValue(CacheState& C, const GameState& g) {
    const int idx = GameStateIndex(g);
    double e = C.Table[idx];
    if (IsKnown(e)) return e;
    if (g.free == 0) {
        e = 0.0;
    } else {
        std::array<GameState, 48> next;
        const int n = kernel::Successors(g, next);
        for (int k = 0; k < n; ++k) WorstStateValue(C, next[k]);
        kernel::TurnTables& T = Scratch();
        kernel::ComputeTurnTables(C.Table, g, kernel::Reducer::Worst, false, T);
        e = T.start;
    }
    C.Table[idx] = e;
    return e;
}

void UserDialogue(QuintorStrategyState* S, const GameState& g, const TurnState& t, int total,
                  Event& e, bool verbose) {
    std::ostream& out = ConsoleOut();
    if (verbose) {
        if (!EqualGameStates(g, S->LastShownState))
            out << "\nGame state: " << GameStateToString(g) << ", Total= " << total << '\n';
        out << "      Roll: " << TurnStateToString(t, false, false) << '\n';
    }
    const std::string prompt =
        std::string("  Choice [") + (t.rollsLeft > 0 ? "k <keepers> | " : "") + "s <category>]? ";
    const ValueBag& roll = ValueBagTbl[t.dice].bag;
    for (;;) {
        Event read = e;
        std::string error;
        const bool ok = ReadEvent(prompt, read, &error);
        SkipRestOfLine();
        if (!ok) {
            out << "  " << (error.empty() ? "that is no event" : error) << '\n';
        } else if (read.aspect == Keeping) {
            if (t.rollsLeft == 0) {
                out << "  no roll is left: score in a free category\n";
            } else if (!IsSubBag(ValueBagTbl[read.arg].bag, roll)) {
                out << "  the roll holds no such dice\n";
            } else {
                e = read;
                break;
            }
        } else if (read.aspect == Scoring) {
            if (!InSet(g.free, read.category)) {
                out << "  that category is used already\n";
            } else {
                e = read;
                break;
            }
        } else {
            out << "  the dice are rolled already: keep dice or score\n";
        }
    }
    if (verbose && e.aspect == Scoring) {
        GameState next;
        ScoreCard delta;
        ApplyScoringEvent(S->Rules, g, t, next, delta, e);
        out << "  " << EventToString(e, true, true) << '\n';
    }
    S->LastShownState = g;
}

std::string ElapsedText(std::chrono::milliseconds ms) {
    const long long s = ms.count() / 1000;
    return Format("%lld:%02lld:%02lld", (s / 3600) % 24, (s / 60) % 60, s % 60);
}

}  // namespace

double TurnTableValue(const CacheState& C, const TurnState& t) {
    if (t.phase == ToRoll) {
        const int l = int(CheckRange(t.rollsLeft, 1, NRollsPerTurn, "rolls left before a roll"));
        const int k = l == NRollsPerTurn
                          ? int(CheckRange(t.dice, 0, 0, "kept bag at the turn's start"))
                          : CheckValueBagRank(t.dice);
        return C.KeeperValue[l][k];
    }
    const int l = int(CheckRange(t.rollsLeft, 0, NRollsPerTurn - 1, "rolls left after a roll"));
    return C.RollValue[l][CheckFiveDiceBagRank(t.dice)];
}

// ---- Caches and strategy records ---------------------------------------------------------------

void CreateCache(CacheState*& C, const std::string& name, ScoreItem line,
                 const std::string& fileName) {
    if (C == nullptr) C = new (std::nothrow) CacheState;
    Check(C != nullptr, "CreateCache", "C <> nil");
    C->Name = name;
    C->Line = line;
    C->CurrentState.free = 0;
    if (fileName.empty()) {
        InitGameStateTable(C->Table);
        C->KnownEntries = 0;
    } else {
        LoadGameStateTable(fileName, C->Table);
        C->KnownEntries = CountKnownEntries(C->Table);
    }
}

void CreateQuintorStrategy(QuintorStrategyState*& S, const std::string& longName,
                           const std::string& shortName, const QuintorRulesState* rules,
                           StrategyKind kind) {
    std::unique_ptr<QuintorStrategyState> ys(new (std::nothrow) QuintorStrategyState);
    Check(ys != nullptr, "CreateQuintorStrategy", "YS<>nil");
    ys->LongName = longName;
    Check(shortName.size() <= std::size_t(MaxShortNameLength), "CreateQuintorStrategy",
          "length(shnm)<=MaxShortNameLength");
    ys->ShortName = shortName;
    Check(rules != nullptr, "CreateQuintorStrategy", "YR<>nil");
    ys->Rules = rules;
    ys->ExpectedCache = nullptr;
    ys->VarianceCache = nullptr;
    ys->Kind = kind;
    ys->LastShownState.free = 0;
    ys->Cache = nullptr;
    S = ys.release();
}

void InitQuintorStrategies() {
    kernel::InitTurnKernel();
    if (UserStrategy != nullptr) return;   // the records live until exit
    CreateQuintorStrategy(UserStrategy, "User", "You", OfficialRules, User);
    CreateQuintorStrategy(SimpleStrategy, "Simple Minded", "Simpl", OfficialRules, SimpleMinded);
    CreateQuintorStrategy(OptimalStrategy, "Optimal Official Quintor", "Zelk", OfficialRules,
                          Optimal);
    CreateQuintorStrategy(MinScoreStrategy, "Optimal MinScore Quintor", "Murvo", OfficialRules,
                          OptimalMinScore);
    CreateQuintorStrategy(DandWStrategy, "Dovan and Wemli", "DandW", OfficialRules, DovanWemli);
}

// ---- Optimal expected final score --------------------------------------------------------------

double OptimalStateValue(const GameState& g) {
    CacheState& C = OptCache("OptimalStateValue");
    const int idx = GameStateIndex(g);
    double e = C.Table[idx];
    if (IsKnown(e)) return e;
    if (g.free == 0) {
        e = 0.0;
    } else {
        std::array<GameState, 48> next;
        const int n = kernel::Successors(g, next);
        for (int k = 0; k < n; ++k) OptimalStateValue(next[k]);
        e = kernel::ExpectedStartOfTurn(C.Table, g);
    }
    C.Table[idx] = e;
    CountNewEntry(C);
    return e;
}

void ComputeOptimalTurn(const GameState& g) {
    CacheState& C = OptCache("ComputeOptimalTurn");
    Check(g.free != 0, "ComputeOptimalTurn", "free <> []");
    GameStateIndex(g);   // range check
    if (C.HoldsTurn(g)) return;
    std::array<GameState, 48> next;
    const int n = kernel::Successors(g, next);
    for (int k = 0; k < n; ++k) OptimalStateValue(next[k]);
    kernel::TurnTables& T = Scratch();
    kernel::ComputeTurnTables(C.Table, g, kernel::Reducer::Expected, true, T);
    StoreTurn(C, g, T);
}

double OptimalTurnValue(const GameState& g, const TurnState& t) {
    ComputeOptimalTurn(g);
    return TurnTableValue(*OptimalStrategy->Cache, t);
}

void ComputeAllOptimalValues(int threads) {
    CacheState& C = OptCache("ComputeAllOptimalValues");
    auto fill = [&C](const kernel::StateGroup& grp) {
        return kernel::FillExpectedGroup(C.Table, grp);
    };
    kernel::RunLayers(threads, fill, C.KnownEntries, Progress().optimalStep);
}

void CreateOptimalTable(const std::string& location, int threads) {
    Check(OptimalStrategy != nullptr, "CreateOptimalTable", "OptimalStrategy <> nil");
    CheckTableLocation(location);
    std::ostream& log = LogFile();
    log << "Creating Optimal Expected Final Score Table\n";
    CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
    CacheState& C = *OptimalStrategy->Cache;
    log << "# Known entries in OptECache^.gstbl = \n  " << CountKnownEntries(C.Table) << '\n';
    log << "Computing all choices for optimal Quintor strategy ...\n";
    FlushLog();
    using Clock = std::chrono::system_clock;
    const Clock::time_point t0 = Clock::now();
    ComputeAllOptimalValues(threads);
    const Clock::time_point t1 = Clock::now();
    if (t1 > t0)
        log << "Wall clock time = "
            << ElapsedText(std::chrono::duration_cast<std::chrono::milliseconds>(t1 - t0)) << '\n';
    log << "# Known entries in OptECache^.gstbl = \n  " << CountKnownEntries(C.Table) << '\n';
    log << C.Name << " of " << OptimalStrategy->ShortName << " for " << ScoreItemName(C.Line)
        << " = \n  " << FixedStr(OptimalStateValue(InitialGameState), 5) << '\n';
    const bool sep = !location.empty() && location.back() == '/';
    SaveGameStateTable(location + (sep ? "" : "/") + OptimalTableFileName, C.Table);
    OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
}

// ---- Choice rules and the min-score computation ------------------------------------------------

// Rolling on must be worth more than a tie: an option within TieTolerance scores.
void ChooseEvent(QuintorStrategyState* S, const GameState& g, const TurnState& t, int total,
                 Event& e, bool verbose) {
    Check(S != nullptr, "ChooseEvent", "S<>nil");
    CheckChoicePoint(t);
    switch (S->Kind) {
        case User:
            UserDialogue(S, g, t, total, e, verbose);
            break;
        case SimpleMinded:
            e.aspect = Scoring;
            e.category = FirstCategoryIn(g.free);
            break;
        case Optimal:
            ComputeOptimalTurn(g);
            ChooseFromTurn(OptCache("ChooseEvent"), t, e);
            break;
        case OptimalMinScore: {
            CacheState& C = MinCache(S, "ChooseEvent");
            if (!C.HoldsTurn(g)) ComputeMinScoreTurn(S, g);
            ChooseFromTurn(C, t, e);
            break;
        }
        case DovanWemli:
            break;   // no decision rule: the event stays as it was
    }
}

double MinScoreValue(QuintorStrategyState* S, const GameState& g, const TurnState& t) {
    CacheState& C = MinCache(S, "MinScoreValue");
    if (!C.HoldsTurn(g)) {
        if (t.rollsLeft == NRollsPerTurn) {
            const int idx = GameStateIndex(g);
            double e = C.Table[idx];
            if (!IsKnown(e)) {
                if (g.free != 0) {
                    ComputeMinScoreTurn(S, g);
                    e = C.KeeperValue[NRollsPerTurn][0];
                } else {
                    e = 0.0;
                }
                C.Table[idx] = e;
            }
            return e;
        }
        ComputeMinScoreTurn(S, g);
    }
    return TurnTableValue(C, t);
}

void ComputeMinScoreTurn(QuintorStrategyState* S, const GameState& g) {
    CacheState& C = MinCache(S, "ComputeMinScoreTurn");
    Check(g.free != 0, "ComputeMinScoreTurn", "free <> []");
    GameStateIndex(g);   // range check
    std::array<GameState, 48> next;
    const int n = kernel::Successors(g, next);
    for (int k = 0; k < n; ++k) WorstStateValue(C, next[k]);
    kernel::TurnTables& T = Scratch();
    kernel::ComputeTurnTables(C.Table, g, kernel::Reducer::Worst, true, T);
    StoreTurn(C, g, T);
}

}  // namespace quintor
