// Caches, strategy records, the optimal expected final score (memoised and the fast bulk
// creation run), the strategies' choice rules and the min-score computation.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "engine/QuintorStateTables.h"

namespace quintor {

constexpr int MaxShortNameLength = 5;

// One table plus the turn tables of one game state at a time.
struct CacheState {
    std::string Name;
    ScoreItem Line = GrandTotal;
    GameState CurrentState;   // free empty: no turn tables held
    // KeeperValue[l][k], l = 1..MaxRollsPerTurn (index 0 unused): holding bag k, l rolls left.
    std::array<std::array<double, NValueBag5Ranks>, MaxRollsPerTurn + 1> KeeperValue;
    // RollValue[l][r], l = 0..MaxRollsPerTurn-1: having rolled five-dice bag r, l rolls left.
    std::array<std::array<double, NValueBag5Ranks>, MaxRollsPerTurn> RollValue;
    // BestKeeper[l][r], l = 1..MaxRollsPerTurn-1 (index 0 unused).
    std::array<std::array<ValueBagRank, NValueBag5Ranks>, MaxRollsPerTurn> BestKeeper;
    std::array<Category, NValueBag5Ranks> BestCategory;
    GameStateTable Table;
    std::int32_t KnownEntries = 0;

    bool HoldsTurn(const GameState& g) const {
        return CurrentState.free != 0 && EqualGameStates(CurrentState, g);
    }
};

// The value of point t (either phase) in the turn tables C holds; RangeError for a point that
// no turn has.
double TurnTableValue(const CacheState& C, const TurnState& t);

// Allocates the cache when C is null, then (re)initialises it: a fresh table of unknown entries
// without a file name, else the table loaded from the file (IOError leaves C unusable).
void CreateCache(CacheState*& C, const std::string& name, ScoreItem line,
                 const std::string& fileName);

enum StrategyKind : std::uint8_t { User = 0, SimpleMinded, Optimal, OptimalMinScore, DovanWemli };

struct QuintorStrategyState {
    std::string LongName;
    std::string ShortName;
    const QuintorRulesState* Rules = nullptr;
    CacheState* ExpectedCache = nullptr;
    CacheState* VarianceCache = nullptr;
    StrategyKind Kind = User;
    GameState LastShownState;   // User only
    CacheState* Cache = nullptr;   // every other kind
};

void CreateQuintorStrategy(QuintorStrategyState*& S, const std::string& longName,
                           const std::string& shortName, const QuintorRulesState* rules,
                           StrategyKind kind);

// The five strategies, created by InitQuintorStrategies in this order.
extern QuintorStrategyState* UserStrategy;        // "User", "You"
extern QuintorStrategyState* SimpleStrategy;      // "Simple Minded", "Simpl"
extern QuintorStrategyState* OptimalStrategy;     // "Optimal Official Quintor", "Zelk"
extern QuintorStrategyState* MinScoreStrategy;    // "Optimal MinScore Quintor", "Murvo"
extern QuintorStrategyState* DandWStrategy;       // "Dovan and Wemli", "DandW"

// Progress of the two creation runs: one call per 1024 newly known entries, always on the
// thread that started the run. Empty functions do nothing.
struct ProgressHooks {
    std::function<void()> optimalStep;
    std::function<void()> varianceStep;
};
ProgressHooks& Progress();

// ---- Optimal expected final score --------------------------------------------------------------
double OptimalStateValue(const GameState& g);
void ComputeOptimalTurn(const GameState& g);
double OptimalTurnValue(const GameState& g, const TurnState& t);
// threads <= 0 means one per hardware thread. The table is the same for every thread count.
void ComputeAllOptimalValues(int threads = 0);
// The creation run: a fresh table, every entry computed, run-log lines, saved as
// location/OptEScore-Official.gstbl; the optimal strategy's ExpectedCache becomes its Cache.
void CreateOptimalTable(const std::string& location, int threads = 0);

// ---- Choice rules ------------------------------------------------------------------------------
// The optimal rule's choice between scoring a roll now and keeping dice to roll on, from the two
// values: keep only when rolling on is worth more. Everything that follows the optimal player
// (ChooseEvent, the score distribution) decides through this one test.
inline bool KeepRatherThanScore(double scoreNow, double rollOn) { return !TiesWithBest(scoreNow, rollOn); }
// t is in phase ToChoose with the rolled five-dice bag. The User dialogue reads the console and
// throws EndOfInput when the input ends.
void ChooseEvent(QuintorStrategyState* S, const GameState& g, const TurnState& t, int total,
                 Event& e, bool verbose);
double MinScoreValue(QuintorStrategyState* S, const GameState& g, const TurnState& t);
void ComputeMinScoreTurn(QuintorStrategyState* S, const GameState& g);

void InitQuintorStrategies();

}  // namespace quintor
