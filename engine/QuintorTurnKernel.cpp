#include "engine/QuintorTurnKernel.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <type_traits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/GeneralStuff.h"

namespace quintor::kernel {

namespace {

// Per-roll scoring data, laid out per category so that one category's pass over the rolls is a
// straight loop.
struct RollData {
    std::array<std::array<double, NRolls>, NCategories> points;   // ScoreTbl points as doubles
    std::array<std::array<std::uint8_t, NRolls>, NValues> count;   // dice showing value v
    std::array<int, NValues> quintorRoll;   // roll index of the Quintor of each value
};

DiceLattice lattice;
RollData rolls;
std::array<int, FullCategorySet + 1> freeBase;   // index part of the free set (Quintor box too)
std::array<NeedClasses, 64> needClasses;
std::vector<std::vector<StateGroup>> layers;

// Strides of the free categories 0..10; the Quintor box and Chance follow.
constexpr int StrideOf(int c) { return 384 << (10 - c); }

void BuildLattice() {
    for (int k = 0; k < NValueBag4Ranks; ++k) {
        for (int v = MinValue; v <= MaxValue; ++v) {
            ValueBag b = ValueBagTbl[k].bag;
            AddToBag(b, v, 1);
            lattice.plusDie[k][v - 1] = RankFromValueBag(b);
        }
    }
    int e = 0;
    for (int b = 0; b < NValueBag5Ranks; ++b) {
        lattice.minusFirst[b] = std::uint16_t(e);
        const ValueBag& bag = ValueBagTbl[b].bag;
        for (int v = MinValue; v <= MaxValue; ++v) {
            if (bag.cnt[v - 1] == 0) continue;
            ValueBag smaller = bag;
            smaller.cnt[v - 1]--;
            lattice.minusDie.at(e++) = RankFromValueBag(smaller);
        }
    }
    Check(e == NLatticeEdges, "InitTurnKernel", "edges = NLatticeEdges");
    lattice.minusFirst[NValueBag5Ranks] = std::uint16_t(e);
    for (int i = 0; i < NRolls; ++i) lattice.prob[i] = ValueBagTbl[NValueBag4Ranks + i].prob;
}

void BuildRollData() {
    for (int i = 0; i < NRolls; ++i) {
        const ValueBagRank r = ValueBagRank(NValueBag4Ranks + i);
        const ScoreTblEntry& s = ScoreTbl(r);
        for (int c = 0; c < NCategories; ++c) rolls.points[c][i] = double(s.score[c]);
        for (int v = MinValue; v <= MaxValue; ++v)
            rolls.count[v - 1][i] = ValueBagTbl[r].bag.cnt[v - 1];
        if (s.jokerBox != Chance) rolls.quintorRoll[s.jokerBox] = i;
    }
    for (int f = 0; f <= FullCategorySet; ++f) {
        int base = 0;
        for (int c = 0; c <= LargeStraight; ++c)
            if (InSet(CategorySet(f), c)) base += StrideOf(c);
        if (InSet(CategorySet(f), QuintorCat)) base += 256;
        if (InSet(CategorySet(f), Chance)) base += 64;
        freeBase[f] = base;
    }
}

// Needs n1, n2 are equivalent for the free upper set U when every upper scoring gives both the
// same bonus and leads to equivalent needs for U minus that box. Built from the smaller sets up.
void BuildNeedClasses() {
    std::array<int, 64> order{};
    for (int u = 0; u < 64; ++u) order[u] = u;
    std::stable_sort(order.begin(), order.end(), [](int a, int b) {
        return std::popcount(unsigned(a)) < std::popcount(unsigned(b));
    });
    for (int u : order) {
        NeedClasses& nc = needClasses[u];
        std::map<std::vector<int>, int> ids;
        for (int n = 0; n < 64; ++n) {
            std::vector<int> sig;
            for (int c = 0; c < NValues; ++c) {
                if (!InSet(CategorySet(u), c)) continue;
                const NeedClasses& rest = needClasses[WithoutCategory(CategorySet(u), c)];
                for (int k = 0; k <= NDice; ++k) {
                    const UpperOutcome up = ScoreUpper(n, (c + 1) * k);
                    sig.push_back(up.bonus != 0 ? -1 : rest.classOf[up.need]);
                }
            }
            auto [it, fresh] = ids.emplace(sig, nc.count);
            if (fresh) {
                nc.first[nc.count] = std::uint8_t(n);
                nc.count++;
            }
            nc.classOf[n] = std::uint8_t(it->second);
            nc.members[it->second] |= std::uint64_t(1) << n;
        }
    }
}

void BuildLayers() {
    layers.assign(NCategories + 1, {});
    for (int f = 0; f <= FullCategorySet; ++f) {
        const CategorySet fs = CategorySet(f);
        auto& layer = layers[std::popcount(unsigned(f))];
        layer.push_back({fs, false});
        if (!InSet(fs, QuintorCat)) layer.push_back({fs, true});
    }
}

// One scoring, the rules of ApplyScoringEvent inlined: the points added to the total and the
// next state.
struct Outcome {
    CategorySet free;
    int need;
    bool chip;
    int points;
};

inline Outcome ScoreRoll(CategorySet free, int need, bool chip, int i, int c) {
    const ScoreTblEntry& s = detail::scoreTbl[std::size_t(i)];
    const bool quintor = s.jokerBox != Chance;
    const bool joker = JokerRule && quintor && !InSet(free, s.jokerBox) &&
                       !InSet(free, QuintorCat) && c >= FullHouse && c <= LargeStraight;
    const int pts = joker ? MaxScoreCard.row[std::size_t(c)] : s.score[std::size_t(c)];
    Outcome o{WithoutCategory(free, c), need, chip, pts};
    if (c <= Sixes && need > 0) {
        if (need <= pts) {
            o.points += UpperSectionBonus;
            o.need = 0;
        } else {
            o.need = need - pts;
        }
    }
    if (chip && quintor) o.points += ExtraQuintorBonus;
    if (c == QuintorCat) o.chip = pts != 0;
    return o;
}

inline double Candidate(const double* T, CategorySet free, int need, bool chip, int i, int c) {
    const Outcome o = ScoreRoll(free, need, chip, i, c);
    return T[FastIndex(o.free, o.need, o.chip)] + double(o.points);
}

// Lanes: W game states of one free set and chip side by side, each lane doing exactly the
// arithmetic of a single state. A lane vector is a plain double for one state, a pair of doubles
// (SSE2 on every x86-64) for the bulk runs, or four (AVX2, where the processor has it) for the
// groups of the score passes; all give the same bits in every lane.
typedef double Pair __attribute__((vector_size(16)));
typedef double Quad __attribute__((vector_size(32)));
#if defined(__GNUC__) && !defined(__clang__)
// Functions on four-double lanes are only ever inlined into the AVX2 one below, so no call
// passes such a vector between code compiled for different instruction sets.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

template <typename V>
constexpr int Width = 1;
template <>
constexpr int Width<Pair> = 2;
template <>
constexpr int Width<Quad> = 4;

template <typename V>
inline V Splat(double x) {
    if constexpr (std::is_same_v<V, double>) {
        return x;
    } else {
        V v;
        for (int j = 0; j < Width<V>; ++j) v[j] = x;
        return v;
    }
}
template <typename V>
inline void SetLane(V& v, int j, double x) {
    if constexpr (std::is_same_v<V, double>) {
        (void)j;
        v = x;
    } else {
        v[j] = x;
    }
}
// Bit j set where lane j of a is at least that of b.
template <typename V>
inline unsigned AtLeast(V a, V b) {
#if defined(__SSE2__)
    if constexpr (std::is_same_v<V, Pair>)
        return unsigned(_mm_movemask_pd(_mm_cmpge_pd(__m128d(a), __m128d(b))));
#endif
    const auto m = a >= b;
    unsigned bits = 0;
    for (int j = 0; j < Width<V>; ++j) bits |= unsigned(m[j] & 1) << j;
    return bits;
}
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) inline unsigned AtLeast(Quad a, Quad b) {
    return unsigned(_mm256_movemask_pd(_mm256_cmp_pd(__m256d(a), __m256d(b), _CMP_GE_OQ)));
}
#endif
// Branch-free, so that the lane loops stay vector code; with no NaN about they are exactly the
// strict-comparison maximum and minimum.
template <typename V>
inline V VMax(V a, V b) { return a < b ? b : a; }
template <typename V>
inline V VMin(V a, V b) { return b < a ? b : a; }

// The value of scoring each roll now (R[i * W + j] for the need of lane j). Quintor rolls, the
// only ones with jokers and extra bonuses, are done one by one afterwards; the other rolls by
// one pass per free category.
template <typename V, int NV>
void LaneScoring(const double* T, CategorySet free, bool chip, const std::uint16_t* need,
                 V* R) {
    constexpr int W = NV * Width<V>;
    const V init = Splat<V>(MaxStart);
    for (int x = 0; x < NRolls * NV; ++x) R[x] = init;
    for (int c = ThreeOfAKind; c <= Chance; ++c) {
        if (!InSet(free, c)) continue;
        const CategorySet f2 = WithoutCategory(free, c);
        const bool ch2 = c == QuintorCat ? false : chip;   // no Quintor: the box gets 0
        alignas(16) double tvd[W];
        for (int j = 0; j < W; ++j) tvd[j] = T[FastIndex(f2, need[j], ch2)];
        V tv[NV];
        std::memcpy(tv, tvd, sizeof tv);
        const double* p = rolls.points[c].data();
        for (int i = 0; i < NRolls; ++i) {
            const V pts = Splat<V>(p[i]);
            for (int q = 0; q < NV; ++q) R[i * NV + q] = VMax(R[i * NV + q], tv[q] + pts);
        }
    }
    for (int c = Aces; c <= Sixes; ++c) {
        if (!InSet(free, c)) continue;
        const CategorySet f2 = WithoutCategory(free, c);
        alignas(16) double vtd[NDice + 1][W];
        for (int k = 0; k <= NDice; ++k) {
            const int pts = (c + 1) * k;
            for (int j = 0; j < W; ++j) {
                const UpperOutcome up = ScoreUpper(need[j], pts);
                vtd[k][j] = T[FastIndex(f2, up.need, chip)] + double(pts + up.bonus);
            }
        }
        V vt[NDice + 1][NV];
        std::memcpy(vt, vtd, sizeof vt);
        const std::uint8_t* cnt = rolls.count[c].data();
        for (int i = 0; i < NRolls; ++i) {
            const V* row = vt[cnt[i]];
            for (int q = 0; q < NV; ++q) R[i * NV + q] = VMax(R[i * NV + q], row[q]);
        }
    }
    for (int q : rolls.quintorRoll) {
        for (int j = 0; j < W; ++j) {
            double best = MaxStart;
            for (int c = 0; c < NCategories; ++c) {
                if (!InSet(free, c)) continue;
                const double v = Candidate(T, free, need[j], chip, q, c);
                if (v > best) best = v;
            }
            SetLane(R[q * NV + j / Width<V>], j % Width<V>, best);
        }
    }
}

// K[210 + i] := R[i]; then each smaller bag from the bags one die larger.
template <typename V, int NV, Reducer Red>
void LaneKeepers(const V* R, V* K) {
    std::copy(R, R + NRolls * NV, K + NValueBag4Ranks * NV);
    const V six = Splat<V>(6.0);
    for (int k = NValueBag4Ranks - 1; k >= 0; --k) {
        const auto& pd = lattice.plusDie[k];
        for (int q = 0; q < NV; ++q) {
            if constexpr (Red == Reducer::Expected) {
                V s = K[pd[0] * NV + q];
                s = s + K[pd[1] * NV + q];
                s = s + K[pd[2] * NV + q];
                s = s + K[pd[3] * NV + q];
                s = s + K[pd[4] * NV + q];
                s = s + K[pd[5] * NV + q];
                K[k * NV + q] = s / six;
            } else {
                V m = K[pd[0] * NV + q];
                for (int v = 1; v < NValues; ++v) m = VMin(m, K[pd[v] * NV + q]);
                K[k * NV + q] = m;
            }
        }
    }
}

// B[b] := the best keeper value among the sub-bags of b; R[i] := B[210 + i].
template <typename V, int NV>
void LaneBest(const V* K, V* B, V* R) {
    for (int q = 0; q < NV; ++q) B[q] = K[q];
    for (int b = 1; b < NValueBag5Ranks; ++b) {
        V m[NV];
        for (int q = 0; q < NV; ++q) m[q] = K[b * NV + q];
        for (int e = lattice.minusFirst[b]; e < lattice.minusFirst[b + 1]; ++e) {
            const V* s = B + lattice.minusDie[e] * NV;
            for (int q = 0; q < NV; ++q) m[q] = VMax(m[q], s[q]);
        }
        for (int q = 0; q < NV; ++q) B[b * NV + q] = m[q];
    }
    std::copy(B + NValueBag4Ranks * NV, B + NValueBag5Ranks * NV, R);
}

// LaneBest that also keeps, for every bag b, the sub-bag A[b] with the best keeper value and the
// best value S[b] among all its other sub-bags (every bag is counted once, whichever way the
// lattice reaches it). Where S stays below the best by more than TieTolerance, A is the only
// sub-bag that ties with the best, whatever the order of the list. Two different sub-bags with
// the very same value make S the best, so such a tie is never taken for a lone best.
template <typename V, int NV>
void LaneBestOf(const V* K, V* B, decltype(V{} >= V{})* A, V* S, V* R) {
    using Mask = decltype(V{} >= V{});
    const V none = Splat<V>(MaxStart);
    for (int b = 0; b < NValueBag5Ranks; ++b) {
        V m[NV], r2[NV];
        Mask a[NV];
        for (int q = 0; q < NV; ++q) {
            m[q] = K[b * NV + q];
            a[q] = Mask{} + b;
            r2[q] = none;
        }
        for (int e = lattice.minusFirst[b]; e < lattice.minusFirst[b + 1]; ++e) {
            const int c = lattice.minusDie[e];
            for (int q = 0; q < NV; ++q) {
                const V cm = B[c * NV + q];
                const Mask ca = A[c * NV + q];
                const Mask above = cm > m[q];
                // What the child adds besides the best: its runner-up, and its own best unless
                // that is the same sub-bag; a better child hands on the best so far.
                const V beside = above ? m[q] : (ca == a[q] ? none : cm);
                r2[q] = VMax(r2[q], VMax(S[c * NV + q], beside));
                m[q] = above ? cm : m[q];
                a[q] = above ? ca : a[q];
            }
        }
        for (int q = 0; q < NV; ++q) {
            B[b * NV + q] = m[q];
            A[b * NV + q] = a[q];
            S[b * NV + q] = r2[q];
        }
    }
    std::copy(B + NValueBag4Ranks * NV, B + NValueBag5Ranks * NV, R);
}

// The start-of-turn expected values of the W states.
template <typename V, int NV>
void ExpectedLanes(const double* T, CategorySet free, bool chip, const std::uint16_t* need,
                   double* start) {
    constexpr int W = NV * Width<V>;
    V R[NRolls * NV], K[NValueBag5Ranks * NV], B[NValueBag5Ranks * NV];
    LaneScoring<V, NV>(T, free, chip, need, R);
    for (int l = 1; l < NRollsPerTurn; ++l) {
        LaneKeepers<V, NV, Reducer::Expected>(R, K);
        LaneBest<V, NV>(K, B, R);
    }
    double Rd[NRolls * W];
    std::memcpy(Rd, R, sizeof Rd);
    for (int j = 0; j < W; ++j) start[j] = ExpectedStart(Rd + j, W);
}

constexpr int BulkLanes = 4;   // two pairs

}  // namespace

const DiceLattice& Lattice() { return lattice; }

int FastIndex(CategorySet free, int need, bool chip) {
    return freeBase[free] + (chip ? 128 : 0) + need;
}

int Successors(const GameState& g, std::array<GameState, 48>& out) {
    int n = 0;
    auto add = [&](CategorySet f, int need, bool chip) {
        for (int k = 0; k < n; ++k)
            if (out[k].free == f && out[k].need == need && out[k].chip == chip) return;
        out[n++] = GameState{f, std::uint16_t(need), chip};
    };
    for (int c = 0; c < NCategories; ++c) {
        if (!InSet(g.free, c)) continue;
        const CategorySet f2 = WithoutCategory(g.free, c);
        if (c <= Sixes) {
            for (int k = 0; k <= NDice; ++k) {
                add(f2, ScoreUpper(g.need, (c + 1) * k).need, g.chip);
            }
        } else if (c == QuintorCat) {
            add(f2, g.need, false);
            add(f2, g.need, true);
        } else {
            add(f2, g.need, g.chip);
        }
    }
    return n;
}

const NeedClasses& NeedClassesFor(CategorySet free) { return needClasses[free & 63]; }

void ScoringValues(const GameStateTable& table, const GameState& g, double* R0) {
    const std::uint16_t need[1] = {g.need};
    LaneScoring<double, 1>(table.data(), g.free, g.chip, need, R0);
}

void ExpectedKeepers(const double* R, double* K) {
    LaneKeepers<double, 1, Reducer::Expected>(R, K);
}
void WorstKeepers(const double* R, double* K) { LaneKeepers<double, 1, Reducer::Worst>(R, K); }

void BestSubBags(const double* K, double* R) {
    double B[NValueBag5Ranks];
    LaneBest<double, 1>(K, B, R);
}

// Kept out of line so that the bulk lanes and the single look-ups run the very same instructions.
__attribute__((noinline)) double ExpectedStart(const double* R, std::size_t stride) {
    double acc = 0.0;
    for (int i = 0; i < NRolls; ++i) acc = acc + lattice.prob[i] * R[std::size_t(i) * stride];
    return acc;
}

double ExpectedStartOfTurn(const GameStateTable& table, const GameState& g) {
    const std::uint16_t need[1] = {g.need};
    double start[1];
    ExpectedLanes<double, 1>(table.data(), g.free, g.chip, need, start);
    return start[0];
}

void ComputeTurnTables(const GameStateTable& table, const GameState& g, Reducer red,
                       bool choices, TurnTables& T) {
    Check(g.free != 0, "ComputeTurnTables", "free <> []");
    const double* tbl = table.data();
    const std::uint16_t need[1] = {g.need};
    LaneScoring<double, 1>(tbl, g.free, g.chip, need, T.R[0].data());
    double B[NValueBag5Ranks];
    for (int l = 1; l < NRollsPerTurn; ++l) {
        if (red == Reducer::Expected)
            LaneKeepers<double, 1, Reducer::Expected>(T.R[l - 1].data(), T.K[l].data());
        else
            LaneKeepers<double, 1, Reducer::Worst>(T.R[l - 1].data(), T.K[l].data());
        LaneBest<double, 1>(T.K[l].data(), B, T.R[l].data());
    }
    const auto& R2 = T.R[NRollsPerTurn - 1];
    if (red == Reducer::Expected) {
        T.start = ExpectedStart(R2.data(), 1);
    } else {
        double m = MinStart;
        for (double v : R2)
            if (v < m) m = v;
        T.start = m;
    }
    if (!choices) return;
    for (int l = 1; l < NRollsPerTurn; ++l)
        for (int i = 0; i < NRolls; ++i)
            T.scoreNow[l][i] = TiesWithBest(T.R[0][i], T.R[l][i]);   // !KeepRatherThanScore
    BestCategories(table, g, T, T.cat.data());
    for (int l = 1; l < NRollsPerTurn; ++l)
        for (int i = 0; i < NRolls; ++i) T.keep[l][i] = BestKeep(T, l, i);
}

// R holds each roll's largest value; a choice is the first candidate in the order that fixes
// every tie (lowest category; the sub-bag nearest the end of the list) that ties with it.
Category BestCategory(const GameStateTable& table, const GameState& g, const TurnTables& T, int i) {
    const double* tbl = table.data();
    int c = 0;
    while (c < NCategories &&
           !(InSet(g.free, c) &&
             TiesWithBest(Candidate(tbl, g.free, g.need, g.chip, i, c), T.R[0][i])))
        ++c;
    Check(c < NCategories, "BestCategory", "a category ties with RollValue[0]");
    return Category(c);
}

void BestCategories(const GameStateTable& table, const GameState& g, const TurnTables& T,
                    Category* out) {
    const double* tbl = table.data();
    // The candidates' values as the scoring lanes form them: one table entry per lower category,
    // one per upper category and count; Quintor rolls, with their jokers, one by one.
    std::array<double, NCategories> tv{};
    std::array<std::array<double, NDice + 1>, NValues> vt{};
    for (int c = 0; c < NCategories; ++c) {
        if (!InSet(g.free, c)) continue;
        const CategorySet f2 = WithoutCategory(g.free, c);
        if (c <= Sixes) {
            for (int k = 0; k <= NDice; ++k) {
                const int pts = (c + 1) * k;
                const UpperOutcome up = ScoreUpper(g.need, pts);
                vt[c][k] = tbl[FastIndex(f2, up.need, g.chip)] + double(pts + up.bonus);
            }
        } else {
            tv[c] = tbl[FastIndex(f2, g.need, c == QuintorCat ? false : g.chip)];
        }
    }
    int cats[NCategories], nFree = 0;
    for (int c = 0; c < NCategories; ++c)
        if (InSet(g.free, c)) cats[nFree++] = c;
    for (int i = 0; i < NRolls; ++i) {
        if (detail::scoreTbl[std::size_t(i)].jokerBox != Chance) {
            out[i] = BestCategory(table, g, T, i);
            continue;
        }
        const double best = T.R[0][i];
        int n = 0;
        for (; n < nFree; ++n) {
            const int c = cats[n];
            const double v = c <= Sixes ? vt[c][rolls.count[c][i]] : tv[c] + rolls.points[c][i];
            if (TiesWithBest(v, best)) break;
        }
        Check(n < nFree, "BestCategories", "a category ties with RollValue[0]");
        out[i] = Category(cats[n]);
    }
}

ValueBagRank BestKeep(const TurnTables& T, int l, int i) {
    const auto& K = T.K[l];
    const double best = T.R[l][i];
    const IndexRange rg = SubBagRanges[i];
    int s = rg.last;
    // Four sub-bags a step, with one branch: the loads do not wait for each other's outcome.
    for (; s - 3 >= rg.first; s -= 4) {
        const bool a = TiesWithBest(K[SubBagTbl[s]], best);
        const bool b = TiesWithBest(K[SubBagTbl[s - 1]], best);
        const bool c = TiesWithBest(K[SubBagTbl[s - 2]], best);
        const bool d = TiesWithBest(K[SubBagTbl[s - 3]], best);
        if (a | b | c | d) return SubBagTbl[a ? s : b ? s - 1 : c ? s - 2 : s - 3];
    }
    while (s >= rg.first && !TiesWithBest(K[SubBagTbl[s]], best)) --s;
    Check(s >= rg.first, "BestKeep", "a keeper ties with RollValue[l]");
    return SubBagTbl[s];
}

namespace {

// The sub-bag each of the first n lanes keeps from every roll with l rolls left (BestKeep's
// choice): the last sub-bag in the roll's list that ties with the best. Where the best stands
// alone (A and S of LaneBestOf), it is that one; otherwise one pass over the list serves all
// lanes, without a branch: each sub-bag that ties replaces the lanes' earlier pick. K and R hold
// the lanes' keeper and roll values, NV vectors side by side.
template <typename V, int NV>
void LaneKeeps(const V* K, const V* R, const V* R0, const decltype(V{} >= V{})* A, const V* S,
               int n, int l, TurnTables* T) {
    constexpr int W = Width<V>;
    using Mask = decltype(V{} >= V{});   // a lane of all ones where a comparison holds
    const V tol = Splat<V>(TieTolerance);
    const unsigned all = (1u << n) - 1;
    for (int i = 0; i < NRolls; ++i) {
        V thr[NV];
        for (int q = 0; q < NV; ++q) thr[q] = R[i * NV + q] - tol;   // as TiesWithBest
        // Scoring now ties with rolling on: KeepRatherThanScore says no.
        for (int q = 0; q < NV; ++q)
            for (int h = 0; h < W && W * q + h < n; ++h)
                T[W * q + h].scoreNow[l][i] = R0[i * NV + q][h] >= thr[q][h];
        const int r = NValueBag4Ranks + i;
        unsigned near = 0;   // lanes where another sub-bag comes within the tolerance
        for (int q = 0; q < NV; ++q) near |= AtLeast(S[r * NV + q], thr[q]) << (W * q);
        if ((near & all) == 0) {
            for (int j = 0; j < n; ++j) T[j].keep[l][i] = ValueBagRank(A[r * NV + j / W][j % W]);
            continue;
        }
        const IndexRange rg = SubBagRanges[i];
        // keep: the place in the sub-bag list each lane picked so far.
        Mask keep[NV], at = Mask{} + rg.first;
        for (int q = 0; q < NV; ++q) keep[q] = Mask{} - 1;   // none yet
        for (int s = rg.first; s <= rg.last; ++s, at += 1) {
            const V* k = K + std::size_t(SubBagTbl[s]) * NV;
            for (int q = 0; q < NV; ++q) keep[q] = k[q] >= thr[q] ? at : keep[q];
        }
        for (int j = 0; j < n; ++j) {
            const auto s = keep[j / W][j % W];
            Check(s >= 0, "LaneKeeps", "a keeper ties with RollValue[l]");
            T[j].keep[l][i] = SubBagTbl[std::size_t(s)];
        }
    }
}

// The category each of the first n lanes scores every roll in (BestCategory's choice): the
// first category in order whose candidate ties with the roll's best. The categories go by from
// the last, one pass over all rolls and lanes each, every candidate that ties replacing the pick
// so far, without a branch. R holds the lanes' roll values with no roll left. Quintor rolls,
// with their jokers, are left to BestCategory.
template <typename V, int NV>
void LaneCategories(const GameStateTable& table, CategorySet free, bool chip,
                    const std::uint16_t* need, const V* R, int n, TurnTables* T) {
    constexpr int W = Width<V> * NV;
    using Mask = decltype(V{} >= V{});
    const double* tbl = table.data();
    const V tol = Splat<V>(TieTolerance);
    V thr[NRolls * NV];
    Mask pick[NRolls * NV];
    for (int x = 0; x < NRolls * NV; ++x) {
        thr[x] = R[x] - tol;   // as TiesWithBest
        pick[x] = Mask{} - 1;   // none yet
    }
    for (int c = NCategories - 1; c >= 0; --c) {
        if (!InSet(free, c)) continue;
        const CategorySet f2 = WithoutCategory(free, c);
        if (c <= Sixes) {
            alignas(16) double vtd[NDice + 1][W];
            for (int k = 0; k <= NDice; ++k) {
                const int pts = (c + 1) * k;
                for (int j = 0; j < W; ++j) {
                    const UpperOutcome up = ScoreUpper(need[j], pts);
                    vtd[k][j] = tbl[FastIndex(f2, up.need, chip)] + double(pts + up.bonus);
                }
            }
            V vt[NDice + 1][NV];
            std::memcpy(vt, vtd, sizeof vt);
            const std::uint8_t* cnt = rolls.count[c].data();
            for (int i = 0; i < NRolls; ++i)
                for (int q = 0; q < NV; ++q)
                    pick[i * NV + q] =
                        vt[cnt[i]][q] >= thr[i * NV + q] ? Mask{} + c : pick[i * NV + q];
        } else {
            const bool ch2 = c == QuintorCat ? false : chip;
            alignas(16) double tvd[W];
            for (int j = 0; j < W; ++j) tvd[j] = tbl[FastIndex(f2, need[j], ch2)];
            V tv[NV];
            std::memcpy(tv, tvd, sizeof tv);
            const double* p = rolls.points[c].data();
            for (int i = 0; i < NRolls; ++i)
                for (int q = 0; q < NV; ++q)
                    pick[i * NV + q] = tv[q] + Splat<V>(p[i]) >= thr[i * NV + q] ? Mask{} + c
                                                                              : pick[i * NV + q];
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < NRolls; ++i) {
            const auto c = pick[i * NV + j / Width<V>][j % Width<V>];
            T[j].cat[std::size_t(i)] = Category(c);
            if (detail::scoreTbl[std::size_t(i)].jokerBox == Chance)
                Check(c >= 0, "LaneCategories", "a category ties with RollValue[0]");
        }
    }
    for (int q : rolls.quintorRoll)
        for (int j = 0; j < n; ++j)
            T[j].cat[std::size_t(q)] = BestCategory(table, GameState{free, need[j], chip}, T[j], q);
}

// ExpectedTurnTablesOfGroup with NV lane vectors V.
template <typename V, int NV>
void GroupTurnTables(const GameStateTable& table, CategorySet free, bool chip,
                     const std::uint16_t* need, int n, TurnTables* T, bool keeperValues) {
    const double* tbl = table.data();
    constexpr int W = Width<V> * NV;
    std::uint16_t lanes[W];
    for (int j = 0; j < W; ++j) lanes[j] = need[std::min(j, n - 1)];
    constexpr int VW = Width<V>;
    using Mask = decltype(V{} >= V{});
    V R[NRolls * NV], K[NValueBag5Ranks * NV], B[NValueBag5Ranks * NV], S[NValueBag5Ranks * NV];
    Mask A[NValueBag5Ranks * NV];
    const auto spreadR = [&](int l) {
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < NRolls; ++i) T[j].R[l][i] = R[i * NV + j / VW][j % VW];
    };
    LaneScoring<V, NV>(tbl, free, chip, lanes, R);
    if (keeperValues) {
        spreadR(0);
    } else {
        // BestCategory reads the values of the Quintor rolls, whose jokers it weighs one by one.
        for (int j = 0; j < n; ++j)
            for (int i : rolls.quintorRoll) T[j].R[0][i] = R[i * NV + j / VW][j % VW];
    }
    V R0[NRolls * NV];
    std::copy(R, R + NRolls * NV, R0);
    LaneCategories<V, NV>(table, free, chip, lanes, R, n, T);
    for (int l = 1; l < NRollsPerTurn; ++l) {
        LaneKeepers<V, NV, Reducer::Expected>(R, K);
        LaneBestOf<V, NV>(K, B, A, S, R);
        if (keeperValues) {
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < NValueBag5Ranks; ++k) T[j].K[l][k] = K[k * NV + j / VW][j % VW];
            spreadR(l);
        }
        LaneKeeps<V, NV>(K, R, R0, A, S, n, l, T);
    }
    if (!keeperValues) return;
    double Rd[NRolls * W];
    std::memcpy(Rd, R, sizeof Rd);
    for (int j = 0; j < n; ++j) T[j].start = ExpectedStart(Rd + j, W);
}

#if defined(__x86_64__) && defined(__GNUC__)
// The four lanes in one AVX2 vector: every lane function is inlined here, so all of them are
// compiled for the wider instructions, and each lane still does one state's arithmetic.
__attribute__((target("avx2"), flatten)) void GroupTurnTablesWide(
    const GameStateTable& table, CategorySet free, bool chip, const std::uint16_t* need, int n,
    TurnTables* T, bool keeperValues) {
    GroupTurnTables<Quad, 1>(table, free, chip, need, n, T, keeperValues);
}
#endif

}  // namespace

bool HasAvx2() {
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool wide = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return wide;
#else
    return false;
#endif
}

void ExpectedTurnTablesOfGroup(const GameStateTable& table, CategorySet free, bool chip,
                               const std::uint16_t* need, int n, TurnTables* T,
                               bool keeperValues, LaneWidth width) {
    static_assert(GroupLanes == BulkLanes);
    Check(free != 0 && n >= 1 && n <= GroupLanes, "ExpectedTurnTablesOfGroup",
          "free <> [] and 1 <= n <= GroupLanes");
#if defined(__x86_64__) && defined(__GNUC__)
    if (width == LaneWidth::Widest && HasAvx2())
        return GroupTurnTablesWide(table, free, chip, need, n, T, keeperValues);
#endif
    // One pair of lanes does for two states at half the work of two pairs.
    if (n <= 2)
        GroupTurnTables<Pair, 1>(table, free, chip, need, n, T, keeperValues);
    else
        GroupTurnTables<Pair, 2>(table, free, chip, need, n, T, keeperValues);
}

int OpenNeedClasses(const double* table, int base, const NeedClasses& nc,
                    std::array<int, 64>& todo) {
    int ntodo = 0;
    for (int c = 0; c < nc.count; ++c) {
        bool open = false;
        for (std::uint64_t m = nc.members[c]; m != 0; m &= m - 1)
            if (!IsKnown(table[base + std::countr_zero(m)])) open = true;
        if (open) todo[ntodo++] = c;
    }
    return ntodo;
}

std::int64_t FillFinishedNeeds(double* table, int base) {
    std::int64_t added = 0;
    for (int n = 0; n <= MaxBonusThreshold; ++n) {
        if (!IsKnown(table[base + n])) {
            table[base + n] = 0.0;
            ++added;
        }
    }
    return added;
}

std::int64_t FillExpectedGroup(GameStateTable& table, const StateGroup& grp) {
    double* T = table.data();
    const int base = FastIndex(grp.free, 0, grp.chip);
    std::int64_t added = 0;
    if (grp.free == 0) return FillFinishedNeeds(T, base);
    const NeedClasses& nc = NeedClassesFor(grp.free);
    std::array<int, 64> todo;
    const int ntodo = OpenNeedClasses(T, base, nc, todo);
    for (int at = 0; at < ntodo; at += BulkLanes) {
        std::uint16_t need[BulkLanes];
        for (int j = 0; j < BulkLanes; ++j)
            need[j] = nc.first[todo[std::min(at + j, ntodo - 1)]];
        double start[BulkLanes];
        ExpectedLanes<Pair, 2>(T, grp.free, grp.chip, need, start);
        for (int j = 0; j < BulkLanes && at + j < ntodo; ++j) {
            std::uint64_t m = nc.members[todo[at + j]];
            while (m != 0) {
                const int n = std::countr_zero(m);
                m &= m - 1;
                if (!IsKnown(T[base + n])) {
                    T[base + n] = start[j];
                    ++added;
                }
            }
        }
    }
    return added;
}

const std::vector<std::vector<StateGroup>>& StateLayers() { return layers; }

int ThreadCount(int threads) {
    if (threads <= 0) threads = int(std::thread::hardware_concurrency());
    return std::clamp(threads, 1, 64);
}

void RunLayers(int threads, const std::function<std::int64_t(const StateGroup&)>& work,
               std::int32_t& known, const std::function<void()>& step) {
    threads = ThreadCount(threads);
    std::int64_t total = known;
    std::int64_t stepped = total / 1024;
    auto deliver = [&](std::int64_t now) {
        while (now / 1024 > stepped) {
            ++stepped;
            if (step) step();
        }
    };
    for (const auto& layer : layers) {
        std::atomic<std::size_t> next{0};
        std::atomic<std::int64_t> done{0};
        std::atomic<bool> stop{false};
        std::exception_ptr failure;
        std::mutex failureLock;
        auto fail = [&]() {
            std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
            stop = true;
        };
        auto loop = [&](bool caller) {
            try {
                for (;;) {
                    if (stop) return;
                    const std::size_t i = next++;
                    if (i >= layer.size()) return;
                    done += work(layer[i]);
                    if (caller) deliver(total + done);
                }
            } catch (...) {
                fail();
            }
        };
        // Small layers are not worth a thread.
        const int helpers = layer.size() >= 64 ? threads - 1 : 0;
        std::vector<std::thread> pool;
        pool.reserve(std::size_t(helpers));
        for (int t = 0; t < helpers; ++t) pool.emplace_back(loop, false);
        loop(true);
        for (auto& th : pool) th.join();
        total += done;
        known = std::int32_t(total);
        if (failure) std::rethrow_exception(failure);
        deliver(total);
    }
}

ScoringOutcome ScoreRollIn(const GameState& g, int i, Category c) {
    const Outcome o = ScoreRoll(g.free, g.need, g.chip, i, c);
    ScoringOutcome r;
    r.next.free = o.free;
    r.next.need = std::uint16_t(o.need);
    r.next.chip = o.chip;
    r.points = o.points;
    return r;
}

void InitTurnKernel() {
    BuildLattice();
    BuildRollData();
    BuildNeedClasses();
    BuildLayers();
}

}  // namespace quintor::kernel
