// Expected final score and variance of the final score under a strategy, asked of the strategy's
// own choices at every roll. The single-state operations are memoised recursions; the complete
// variance table of the optimal strategy has a bulk path (QuintorVarianceKernel).
#include "engine/QuintorStrategyAnalysis.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <ostream>

#include "engine/QuintorVarianceKernel.h"

namespace quintor {

namespace {

constexpr int FirstFive = NValueBag4Ranks;
constexpr int LastFive = NValueBag5Ranks - 1;

// A point inside a turn: ToChoose after a roll (rolls left 0..2, five dice on the table), ToRoll
// before one (rolls left 1..3, any kept bag; nothing is kept at the start of a turn). Asked on
// every look-up, so the message is only built for a bad point.
void CheckTurnPoint(const TurnState& t, const char* proc) {
    bool ok = false;
    if (t.phase == ToChoose)
        ok = t.rollsLeft < NRollsPerTurn && t.dice >= NValueBag4Ranks && t.dice < NValueBag5Ranks;
    else if (t.phase == ToRoll)
        ok = t.rollsLeft >= 1 && t.rollsLeft <= NRollsPerTurn &&
             (t.rollsLeft == NRollsPerTurn ? t.dice == 0 : t.dice < NValueBag5Ranks);
    if (!ok)
        throw RangeError(Format("%s: no such point in a turn (rolls left %d, phase %d, dice %d)",
                                proc, int(t.rollsLeft), int(t.phase), int(t.dice)));
}

// The optimal strategy evaluated on its own cache: its turn tables already hold exactly the
// values of its choices, computed with the table's arithmetic. Recomputing them here with other
// summation orders would leave last-bit differences in the shared tables, and a later choice
// could then read a tie the other way.
bool UsesOptimalTables(const QuintorStrategyState* S) {
    return S->Kind == Optimal && OptimalStrategy != nullptr && OptimalStrategy->Cache != nullptr &&
           S->ExpectedCache == OptimalStrategy->Cache;
}

CacheState& ExpectedCacheOf(QuintorStrategyState* S, const char* proc) {
    Check(S != nullptr, proc, "S<>nil");
    Check(S->ExpectedCache != nullptr, proc, "S^.ExpectedCache<>nil");
    return *S->ExpectedCache;
}

CacheState& VarianceCacheOf(QuintorStrategyState* S, const char* proc) {
    ExpectedCacheOf(S, proc);
    Check(S->VarianceCache != nullptr, proc, "S^.VarianceCache<>nil");
    return *S->VarianceCache;
}

// The strategy's scoring at roll r with no roll left: the next game state, the score-card change
// and the scoring event.
GameState ScoringSuccessor(QuintorStrategyState* S, const GameState& g, ValueBagRank r,
                           ScoreCard& delta, Event& e, const char* proc) {
    TurnState t{0, ToChoose, r};
    e = Event{};
    ChooseEvent(S, g, t, 0, e, false);
    // A strategy without a decision rule hands back whatever it was given: no scoring.
    Check(e.aspect == Scoring && e.category < NCategories && InSet(g.free, e.category), proc,
          "choice is a scoring in a free category");
    GameState g2;
    ApplyScoringEvent(S->Rules, g, t, g2, delta, e);
    return g2;
}

// The bag the strategy keeps at roll r with l rolls left; scoring counts as keeping all five
// dice, whose value is that of the same roll with one roll less.
ValueBagRank KeptBag(QuintorStrategyState* S, const GameState& g, int l, ValueBagRank r,
                     const char* proc) {
    Event e;
    ChooseEvent(S, g, TurnState{std::uint8_t(l), ToChoose, r}, 0, e, false);
    if (e.aspect == Scoring) {
        Check(e.category < NCategories && InSet(g.free, e.category), proc,
              "choice is a scoring in a free category");
        return r;
    }
    Check(e.aspect == Keeping && e.arg < NValueBag5Ranks &&
              IsSubBag(ValueBagTbl[e.arg].bag, ValueBagTbl[r].bag),
          proc, "choice keeps dice of the roll");
    return ValueBagRank(e.arg);
}

void CountNewVarianceEntry(CacheState& VC) {
    if (VC.KnownEntries == std::numeric_limits<std::int32_t>::max())
        throw OverflowError("StrategyVariance: KnownEntries would pass the 32-bit range");
    ++VC.KnownEntries;
    if (VC.KnownEntries % 1024 == 0 && Progress().varianceStep) Progress().varianceStep();
}

std::string ElapsedText(std::chrono::system_clock::duration d) {
    long long s = std::chrono::duration_cast<std::chrono::seconds>(d).count() % 86400;
    return Format("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
}

}  // namespace

double StrategyExpectedValue(QuintorStrategyState* S, const GameState& g, const TurnState& t) {
    CacheState& EC = ExpectedCacheOf(S, "StrategyExpectedValue");
    CheckTurnPoint(t, "StrategyExpectedValue");
    if (!EC.HoldsTurn(g)) {
        if (t.rollsLeft == NRollsPerTurn) {
            int i = GameStateIndex(g);
            double e = EC.Table[i];
            if (IsKnown(e)) return e;
            // The optimal table counts what it learns; the lookup must not bypass that.
            if (UsesOptimalTables(S)) return OptimalStateValue(g);
            if (GameOver(g)) {
                e = 0.0;
            } else {
                ComputeStrategyTurn(S, g);
                e = EC.KeeperValue[NRollsPerTurn][0];
            }
            EC.Table[i] = e;
            return e;
        }
        ComputeStrategyTurn(S, g);
    }
    return TurnTableValue(EC, t);
}

void ComputeStrategyTurn(QuintorStrategyState* S, const GameState& g) {
    CacheState& EC = ExpectedCacheOf(S, "ComputeStrategyTurn");
    Check(!GameOver(g), "ComputeStrategyTurn", "g.free<>[]");
    if (UsesOptimalTables(S)) {
        ComputeOptimalTurn(g);
        return;
    }

    // Local first: the recursion may compute another state's turn in this same cache.
    std::array<double, NValueBag5Ranks> value{};
    std::array<Category, NValueBag5Ranks> category{};
    for (int r = FirstFive; r <= LastFive; ++r) {
        ScoreCard delta;
        Event e;
        GameState g2 = ScoringSuccessor(S, g, ValueBagRank(r), delta, e, "ComputeStrategyTurn");
        value[r] = StrategyExpectedValue(S, g2, InitialTurnState) + double(delta[EC.Line]);
        category[r] = e.category;
    }
    for (int r = FirstFive; r <= LastFive; ++r) {
        EC.RollValue[0][r] = value[r];
        EC.BestCategory[r] = category[r];
    }

    for (int l = 1; l < NRollsPerTurn; ++l) {
        for (int k = 0; k < NValueBag5Ranks; ++k) {
            double acc = 0.0;
            for (int j = CompletionRanges[k].first; j <= CompletionRanges[k].last; ++j)
                acc += CompletionTbl[j].prob * EC.RollValue[l - 1][CompletionTbl[j].vbr];
            EC.KeeperValue[l][k] = acc;
        }
        for (int r = FirstFive; r <= LastFive; ++r) {
            ValueBagRank kept = KeptBag(S, g, l, ValueBagRank(r), "ComputeStrategyTurn");
            EC.RollValue[l][r] = EC.KeeperValue[l][kept];
            EC.BestKeeper[l][r] = kept;
        }
    }
    double acc = 0.0;
    for (int r = FirstFive; r <= LastFive; ++r)
        acc += ValueBagTbl[r].prob * EC.RollValue[NRollsPerTurn - 1][r];
    EC.KeeperValue[NRollsPerTurn][0] = acc;
    EC.CurrentState = g;
}

double StrategyVariance(QuintorStrategyState* S, const GameState& g, const TurnState& t) {
    CacheState& VC = VarianceCacheOf(S, "StrategyVariance");
    CheckTurnPoint(t, "StrategyVariance");
    if (!VC.HoldsTurn(g)) {
        if (t.rollsLeft == NRollsPerTurn) {
            int i = GameStateIndex(g);
            double e = VC.Table[i];
            if (!IsKnown(e)) {
                if (GameOver(g)) {
                    e = 0.0;
                } else {
                    ComputeVarianceTurn(S, g);
                    e = VC.KeeperValue[NRollsPerTurn][0];
                }
                VC.Table[i] = e;
                CountNewVarianceEntry(VC);
            }
            return e;
        }
        ComputeVarianceTurn(S, g);
    }
    return TurnTableValue(VC, t);
}

// The law of total variance at every random step: the spread of the conditional means plus the
// mean of the conditional variances. A scoring adds a fixed amount once roll and choice are known,
// so it contributes nothing beyond the next state's variance.
void ComputeVarianceTurn(QuintorStrategyState* S, const GameState& g) {
    CacheState& VC = VarianceCacheOf(S, "ComputeVarianceTurn");
    Check(!GameOver(g), "ComputeVarianceTurn", "g.free<>[]");

    std::array<double, NValueBag5Ranks> var{};
    for (int r = FirstFive; r <= LastFive; ++r) {
        ScoreCard delta;
        Event e;
        GameState g2 = ScoringSuccessor(S, g, ValueBagRank(r), delta, e, "ComputeVarianceTurn");
        var[r] = StrategyVariance(S, g2, InitialTurnState);
    }
    for (int r = FirstFive; r <= LastFive; ++r) VC.RollValue[0][r] = var[r];

    // From here on only g's own turn is computed and read.
    for (int l = 1; l < NRollsPerTurn; ++l) {
        for (int k = 0; k < NValueBag5Ranks; ++k) {
            const TurnState held{std::uint8_t(l), ToRoll, ValueBagRank(k)};
            const double m = StrategyExpectedValue(S, g, held);
            double acc = 0.0;
            for (int j = CompletionRanges[k].first; j <= CompletionRanges[k].last; ++j) {
                ValueBagRank r2 = CompletionTbl[j].vbr;
                double d =
                    StrategyExpectedValue(S, g, TurnState{std::uint8_t(l - 1), ToChoose, r2}) - m;
                acc += CompletionTbl[j].prob * (d * d + VC.RollValue[l - 1][r2]);
            }
            VC.KeeperValue[l][k] = acc;
        }
        for (int r = FirstFive; r <= LastFive; ++r) {
            const ValueBagRank kept = KeptBag(S, g, l, ValueBagRank(r), "ComputeVarianceTurn");
            VC.RollValue[l][r] = VC.KeeperValue[l][kept];
        }
    }
    const double m = StrategyExpectedValue(S, g, InitialTurnState);
    double acc = 0.0;
    for (int r = FirstFive; r <= LastFive; ++r) {
        const TurnState rolled{NRollsPerTurn - 1, ToChoose, ValueBagRank(r)};
        const double d = StrategyExpectedValue(S, g, rolled) - m;
        acc += ValueBagTbl[r].prob * (d * d + VC.RollValue[NRollsPerTurn - 1][r]);
    }
    VC.KeeperValue[NRollsPerTurn][0] = acc;
    VC.CurrentState = g;
}

void ComputeAllVariances(QuintorStrategyState* S, int threads) {
    CacheState& VC = VarianceCacheOf(S, "ComputeAllVariances");
    if (UsesOptimalTables(S)) {
        ComputeAllOptimalVariances(*S->ExpectedCache, VC, threads);
        return;
    }
    GameState g = InitialGameState;
    do {
        StrategyVariance(S, g, InitialTurnState);
    } while (NextGameState(g));
}

void CreateVarianceTable(const std::string& location, int threads) {
    QuintorStrategyState* S = OptimalStrategy;
    Check(S != nullptr, "CreateVarianceTable", "OptimalStrategy<>nil");
    Check(S->ExpectedCache != nullptr, "CreateVarianceTable", "S^.ExpectedCache<>nil");
    CheckTableLocation(location);
    std::ostream& log = LogFile();
    log << "Creating Variance-in-Final-Score Table\n";
    CreateCache(S->VarianceCache, "Variance in Final Score", GrandTotal, "");
    CacheState& VC = *S->VarianceCache;
    log << "# Known entries in VCache^.gstbl = \n" << "  " << CountKnownEntries(VC.Table) << '\n';
    log << "Computing all variances for optimal choices ...\n";
    FlushLog();

    auto t0 = std::chrono::system_clock::now();
    ComputeAllVariances(S, threads);
    auto t1 = std::chrono::system_clock::now();
    if (t1 > t0) log << "Wall clock time = " << ElapsedText(t1 - t0) << '\n';
    log << "# Known entries in VCache^.gstbl = \n" << "  " << CountKnownEntries(VC.Table) << '\n';
    log << VC.Name << " of " << S->ShortName << " for " << ScoreItemName(VC.Line) << " = \n";
    double v = StrategyVariance(S, InitialGameState, InitialTurnState);
    log << FixedStr(v, 5) << " = " << FixedStr(std::sqrt(v), 5) << "^2\n";
    FlushLog();
    SaveGameStateTable(location + "/" + VarianceTableFileName, VC.Table);
}

}  // namespace quintor
