// The arithmetic of one turn, shared by the memoised look-ups, the turn tables and the bulk
// creation runs, so that every path produces the same bits for the same game state; plus the
// layer order and the thread helper of the creation runs.
//
// Keeper values are built one die at a time (a kept bag of s dice averages the bags of s+1 dice
// one roll of a single die away), and the best sub-bag of a roll is found on the same lattice
// (best of b = max of its own keeper value and the best of every bag one die smaller). Both give
// the completion-list and sub-bag-list results, with about a third of the work.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/QuintorStateTables.h"

namespace quintor::kernel {

constexpr int NRolls = NFiveDiceBags;   // 252; roll index i is the five-dice bag 210 + i
constexpr int NLatticeEdges = 1260;     // bag-and-one-die pairs below five dice
constexpr double MaxStart = -2147483647.0;
constexpr double MinStart = 2147483647.0;

struct DiceLattice {
    // plusDie[k][v-1]: the bag k (fewer than five dice) with one more die of value v.
    std::array<std::array<ValueBagRank, NValues>, NValueBag4Ranks> plusDie;
    // minusDie[minusFirst[b] .. minusFirst[b+1]-1]: the bags b loses by giving up one die, one
    // per distinct value of b; none for the empty bag.
    std::array<std::uint16_t, NValueBag5Ranks + 1> minusFirst;
    std::array<ValueBagRank, NLatticeEdges> minusDie;
    std::array<double, NRolls> prob;   // P(roll) with five fresh dice
};
const DiceLattice& Lattice();

// Entry index without checks; g must be a valid game state.
int FastIndex(CategorySet free, int need, bool chip);

// Scoring pts in an upper box with this need: the need left and the bonus earned.
struct UpperOutcome {
    int need;
    int bonus;
};
inline UpperOutcome ScoreUpper(int need, int pts) {
    if (need == 0) return {0, 0};
    return need <= pts ? UpperOutcome{0, UpperSectionBonus} : UpperOutcome{need - pts, 0};
}

// Successors of a turn: every game state one scoring of g can lead to, each once. Returns the
// count (at most 13 + 6 * 5).
int Successors(const GameState& g, std::array<GameState, 48>& out);

// Upper-section needs that behave identically for a given set of free upper categories: the same
// bonus at the same scorings on every path, so their entries hold the same bits. Need 0 and every
// need the free upper boxes can no longer reach are one class.
struct NeedClasses {
    int count = 0;
    std::array<std::uint8_t, 64> classOf{};
    std::array<std::uint8_t, 64> first{};   // the lowest need of each class (its representative)
    std::array<std::uint64_t, 64> members{};   // bit n set: need n belongs to the class
};
const NeedClasses& NeedClassesFor(CategorySet free);   // uses the upper bits only
// The classes with at least one entry still unknown in table[base + need]; returns their count.
int OpenNeedClasses(const double* table, int base, const NeedClasses& nc,
                    std::array<int, 64>& todo);
// Sets every unknown entry table[base + 0..63] of a finished game to 0.0; returns how many.
std::int64_t FillFinishedNeeds(double* table, int base);

// The turn tables of one game state; the successors' entries in the table must be known.
struct TurnTables {
    // K[l][k], l = 1, 2: keeper values with l rolls left (index 0 unused).
    std::array<std::array<double, NValueBag5Ranks>, NRollsPerTurn> K;
    // R[l][i], l = 0..2: value of roll i with l rolls left.
    std::array<std::array<double, NRolls>, NRollsPerTurn> R;
    // keep[l][i], l = 1, 2: the best sub-bag (later in the sub-bag list wins ties).
    std::array<std::array<ValueBagRank, NRolls>, NRollsPerTurn> keep;
    std::array<Category, NRolls> cat;   // best category (lowest wins ties)
    // scoreNow[l][i], l = 1, 2: roll i is scored rather than kept from (!KeepRatherThanScore).
    std::array<std::array<bool, NRolls>, NRollsPerTurn> scoreNow;
    // R and K hold the maxima themselves; a choice takes the first candidate in its order within
    // TieTolerance of the maximum.
    double start = 0.0;                 // value at the start of the turn
};

// What a keeper is worth: the expectation over the dice still to roll, or their worst case.
enum class Reducer { Expected, Worst };

// Fills T (choices too when choices is set) for g, free not empty.
void ComputeTurnTables(const GameStateTable& table, const GameState& g, Reducer red,
                       bool choices, TurnTables& T);
// The choices of ComputeTurnTables one roll at a time, for T filled for g: the category roll i
// is scored in, and the sub-bag kept from roll i with l rolls left (l = 1, 2).
Category BestCategory(const GameStateTable& table, const GameState& g, const TurnTables& T, int i);
ValueBagRank BestKeep(const TurnTables& T, int l, int i);
// BestCategory for every roll, into out.
void BestCategories(const GameStateTable& table, const GameState& g, const TurnTables& T,
                    Category* out);
// The expected-score turn tables with their choices of up to GroupLanes game states of one free
// set and chip, computed side by side: T[j] for need[j], j < n, holds exactly what
// ComputeTurnTables gives for that state: the choices always; K, R and start only with
// keeperValues.
// The lanes are four doubles wide where the processor has AVX2, else pairs; Pairs asks for the
// pairs anyway (the tests compare both).
constexpr int GroupLanes = 4;
enum class LaneWidth { Widest, Pairs };
void ExpectedTurnTablesOfGroup(const GameStateTable& table, CategorySet free, bool chip,
                               const std::uint16_t* need, int n, TurnTables* T,
                               bool keeperValues = true, LaneWidth width = LaneWidth::Widest);
// Just the start-of-turn value of g (the expected-score arithmetic of ComputeTurnTables).
double ExpectedStartOfTurn(const GameStateTable& table, const GameState& g);

// Building blocks, exposed for the other creation runs. R and K as in TurnTables.
// The value of every roll scored now (max over the free categories).
void ScoringValues(const GameStateTable& table, const GameState& g, double* R0);
// K[k] for all 462 bags from the roll values R (one roll fewer left).
void ExpectedKeepers(const double* R, double* K);
void WorstKeepers(const double* R, double* K);
// R[i] := max over the sub-bags s of roll i of K[s].
void BestSubBags(const double* K, double* R);
// Sum over the rolls, ascending, of P(roll) * R[i * stride], term by term.
double ExpectedStart(const double* R, std::size_t stride = 1);

// Fills every unknown entry of one group (free set and chip, all needs) of the expected-score
// table from its successors; returns how many entries became known. Safe to run for different
// groups of one layer at the same time.
struct StateGroup {
    CategorySet free;
    bool chip;
};
std::int64_t FillExpectedGroup(GameStateTable& table, const StateGroup& grp);

// The groups by number of free categories: layer k holds the groups with k free categories, so
// every successor of a layer lies in the layer before it.
const std::vector<std::vector<StateGroup>>& StateLayers();

// Whether the processor has AVX2, read when first asked rather than in whatever order the
// program's start-up runs; the wider code paths give the same bits as the others.
bool HasAvx2();

// threads <= 0: one per hardware thread.
int ThreadCount(int threads);

// Runs work(group) for every group of every layer, layer after layer, the groups of a layer spread
// over `threads` threads; work returns the number of entries it made known. known grows by those
// counts, and step() is called on the calling thread once for every multiple of 1024 that known
// passes. An exception from work or step stops the run and is rethrown after the threads ended.
void RunLayers(int threads, const std::function<std::int64_t(const StateGroup&)>& work,
               std::int32_t& known, const std::function<void()>& step);

// One scoring of roll i (the five-dice bag 210 + i) in free category c from g, by the rules of
// ApplyScoringEvent: the next game state and the points the total gains (bonuses included).
struct ScoringOutcome {
    GameState next;
    int points;
};
ScoringOutcome ScoreRollIn(const GameState& g, int i, Category c);

// Builds the lattice and the per-roll scoring data; after InitDiceStuff and InitQuintorConcepts.
void InitTurnKernel();

}  // namespace quintor::kernel
