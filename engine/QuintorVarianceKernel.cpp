#include "engine/QuintorVarianceKernel.h"

#include <algorithm>
#include <bit>
#include <memory>

namespace quintor::kernel {

namespace {

// Per-roll data of the scoring pass and the order key of every bag.
struct VarianceData {
    std::array<std::array<double, NRolls>, NCategories> points;    // ScoreTbl points as doubles
    std::array<std::array<std::uint8_t, NRolls>, NValues> count;   // dice showing value v
    std::array<int, NValues> quintorRoll;                          // roll index of v^5
    // The sub-bag lists order bags by their count vectors, the count of ones most significant:
    // a larger key is later in every list that holds both.
    std::array<double, NValueBag5Ranks> key;
    std::array<ValueBagRank, 46656> bagOfKey;   // every count vector of six digits 0..5
};

VarianceData data;

void BuildData() {
    for (int i = 0; i < NRolls; ++i) {
        const ValueBagRank r = ValueBagRank(NValueBag4Ranks + i);
        const ScoreTblEntry& s = ScoreTbl(r);
        for (int c = 0; c < NCategories; ++c) data.points[c][i] = double(s.score[c]);
        for (int v = 0; v < NValues; ++v) data.count[v][i] = ValueBagTbl[r].bag.cnt[v];
        if (s.jokerBox != Chance) data.quintorRoll[s.jokerBox] = i;
    }
    for (int b = 0; b < NValueBag5Ranks; ++b) {
        int k = 0;
        for (int v = 0; v < NValues; ++v) k = k * NValues + ValueBagTbl[b].bag.cnt[v];
        data.key[b] = double(k);
        data.bagOfKey[std::size_t(k)] = ValueBagRank(b);
    }
    for (int i = 0; i < NRolls; ++i)
        for (int s = SubBagRanges[i].first; s < SubBagRanges[i].last; ++s)
            Check(data.key[SubBagTbl[s]] < data.key[SubBagTbl[s + 1]], "InitVarianceKernel",
                  "keys ascend along every sub-bag list");
}

// Built once, on first use, after the dice and score tables exist.
void EnsureData() {
    static const bool built = (BuildData(), true);
    (void)built;
}

// The scoring of a Quintor of value index q in category c, by the rules of ApplyScoringEvent:
// jokers, upper bonus and extra bonus. Returns the points; need and chip become the successor's.
int ScoreQuintor(CategorySet free, int& need, bool& chip, int q, int c) {
    const bool joker = JokerRule && !InSet(free, q) && !InSet(free, QuintorCat) &&
                       c >= FullHouse && c <= LargeStraight;
    int pts = joker ? MaxScoreCard.row[std::size_t(c)]
                    : int(data.points[c][std::size_t(data.quintorRoll[q])]);
    const int scored = pts;
    if (c <= Sixes && need > 0) {
        if (need <= scored) {
            pts += UpperSectionBonus;
            need = 0;
        } else {
            need -= scored;
        }
    }
    if (chip) pts += ExtraQuintorBonus;
    if (c == QuintorCat) chip = scored != 0;
    return pts;
}

// Lanes: four game states of one free set and chip side by side in one vector of doubles. Each
// lane does exactly the arithmetic of a single state (IEEE operations, nothing contracted), so a
// state gets the same bits whichever lane it runs in and whichever instruction set runs it.
typedef double Lane4 __attribute__((vector_size(32)));
typedef long long Mask4 __attribute__((vector_size(32)));   // a lane comparison: all ones or 0
constexpr int W = 4;

// The helpers below take and return lane vectors; they are file-local and always inlined, so the
// compiler's note that AVX vectors change the calling convention does not concern them.
#pragma GCC diagnostic ignored "-Wpsabi"
#define QUINTOR_INLINE __attribute__((always_inline)) inline

QUINTOR_INLINE Lane4 Splat4(double x) { return Lane4{x, x, x, x}; }
QUINTOR_INLINE bool AnySet(const Mask4& m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }

// The passes are built twice, for plain x86-64 and for AVX2, and the loader picks one.
#define QUINTOR_LANE_CODE __attribute__((target_clones("avx2", "default")))

struct Lanes {
    Lane4 R[NRollsPerTurn][NRolls];    // expected value of each roll: its best option's
    Lane4 VR[NRollsPerTurn][NRolls];   // the variance of the choice made there
    Lane4 K[NValueBag5Ranks];          // keeper values of the current level
    Lane4 VK[NValueBag5Ranks];         // their variances
    Lane4 BV[NValueBag5Ranks];         // best keeper value among the sub-bags
    // Among the sub-bags within TieTolerance of BV, the one latest in the order: its key and
    // value (MaxStart where the lattice could not tell, see RerollPass).
    Lane4 BKey[NValueBag5Ranks];
    Lane4 BW[NValueBag5Ranks];
    Lane4 bar[NRolls];                 // scoring pass: what ties with the best of a roll
    Lane4 cat[NRolls];                 // best category of each roll
    double start[W];
    double vstart[W];
};

// One candidate category c for every roll: f(i, value, variance) with the value of scoring roll
// i in c (Quintor rolls are redone by the caller) and the variance of where that leads.
template <typename F>
QUINTOR_INLINE void ForEachScoring(const double* E, const double* V, CategorySet free, bool chip,
                                   const std::uint16_t* need, int c, F f) {
    const CategorySet f2 = WithoutCategory(free, c);
    if (c <= Sixes) {
        Lane4 ve[NDice + 1], vv[NDice + 1];
        for (int k = 0; k <= NDice; ++k) {
            const int pts = (c + 1) * k;
            for (int j = 0; j < W; ++j) {
                const UpperOutcome up = ScoreUpper(need[j], pts);
                const int idx = FastIndex(f2, up.need, chip);
                ve[k][j] = E[idx] + double(pts + up.bonus);
                vv[k][j] = V[idx];
            }
        }
        const std::uint8_t* cnt = data.count[c].data();
        for (int i = 0; i < NRolls; ++i) f(i, ve[cnt[i]], vv[cnt[i]]);
    } else {
        // Every roll but a Quintor scores 0 in the Quintor box.
        const bool ch2 = c == QuintorCat ? false : chip;
        Lane4 te, tv;
        for (int j = 0; j < W; ++j) {
            const int idx = FastIndex(f2, need[j], ch2);
            te[j] = E[idx];
            tv[j] = V[idx];
        }
        const double* p = data.points[c].data();
        for (int i = 0; i < NRolls; ++i) f(i, te + Splat4(p[i]), tv);
    }
}

// Scores every roll now: the best value over the free categories (the turn kernel's maximum, the
// same bits), then the lowest category that ties with it, the variance of where that scoring
// leads, and when record is set the category.
QUINTOR_LANE_CODE void ScoringPass(const double* E, const double* V, CategorySet free, bool chip,
                                   const std::uint16_t* need, bool record, Lanes& L) {
    Lane4* R = L.R[0];
    Lane4* VR = L.VR[0];
    const Lane4 tol = Splat4(TieTolerance);
    for (int i = 0; i < NRolls; ++i) {
        R[i] = Splat4(MaxStart);
        VR[i] = Splat4(0.0);
        L.cat[i] = Splat4(0.0);
    }
    for (int c = 0; c < NCategories; ++c) {
        if (!InSet(free, c)) continue;
        ForEachScoring(E, V, free, chip, need, c, [&](int i, const Lane4& e, const Lane4&) {
            R[i] = e > R[i] ? e : R[i];
        });
    }
    // From the highest category down, each one that ties replaces the choice: the lowest stays.
    for (int i = 0; i < NRolls; ++i) L.bar[i] = R[i] - tol;
    for (int c = NCategories - 1; c >= 0; --c) {
        if (!InSet(free, c)) continue;
        const Lane4 cc = Splat4(double(c));
        if (record) {
            ForEachScoring(E, V, free, chip, need, c, [&](int i, const Lane4& e, const Lane4& v) {
                const Mask4 take = e >= L.bar[i];
                VR[i] = take ? v : VR[i];
                L.cat[i] = take ? cc : L.cat[i];
            });
        } else {
            ForEachScoring(E, V, free, chip, need, c, [&](int i, const Lane4& e, const Lane4& v) {
                VR[i] = e >= L.bar[i] ? v : VR[i];
            });
        }
    }
    for (int v = 0; v < NValues; ++v) {
        const int i = data.quintorRoll[v];
        for (int j = 0; j < W; ++j) {
            std::array<double, NCategories> e, var;
            double best = MaxStart;
            for (int c = 0; c < NCategories; ++c) {
                if (!InSet(free, c)) continue;
                int n2 = need[j];
                bool ch2 = chip;
                const int pts = ScoreQuintor(free, n2, ch2, v, c);
                const int idx = FastIndex(WithoutCategory(free, c), n2, ch2);
                e[c] = E[idx] + double(pts);
                var[c] = V[idx];
                if (e[c] > best) best = e[c];
            }
            int c = 0;
            while (!InSet(free, c) || !TiesWithBest(e[c], best)) ++c;
            R[i][j] = best;
            VR[i][j] = var[c];
            L.cat[i][j] = double(c);
        }
    }
}

// One reroll level l: keeper values and variances from the rolls one roll later, each roll's
// best keeper value, the keeper chosen among the ties, and the variance of the optimal choice.
QUINTOR_LANE_CODE void RerollPass(int l, bool scanAll, Lanes& L) {
    const DiceLattice& lat = Lattice();
    const Lane4* Rp = L.R[l - 1];
    const Lane4* VRp = L.VR[l - 1];
    const Lane4 six = Splat4(6.0);
    const Lane4 tol = Splat4(TieTolerance);
    // Holding all five dice: the roll is known, only its own spread remains.
    for (int i = 0; i < NRolls; ++i) {
        L.K[NValueBag4Ranks + i] = Rp[i];
        const Lane4 d = Rp[i] - L.K[NValueBag4Ranks + i];
        L.VK[NValueBag4Ranks + i] = d * d + VRp[i];
    }
    for (int k = NValueBag4Ranks - 1; k >= 0; --k) {
        const auto& pd = lat.plusDie[k];
        // The summation order of the turn kernel's keepers, for the very same bits.
        Lane4 s = L.K[pd[0]];
        s += L.K[pd[1]];
        s += L.K[pd[2]];
        s += L.K[pd[3]];
        s += L.K[pd[4]];
        s += L.K[pd[5]];
        const Lane4 m = s / six;
        L.K[k] = m;
        Lane4 acc = Splat4(0.0);
        for (int v = 0; v < NValues; ++v) {
            const Lane4 d = L.K[pd[v]] - m;
            acc += d * d + L.VK[pd[v]];
        }
        L.VK[k] = acc * (1.0 / 6.0);
    }

    // Bag by bag, smaller bags first: the largest keeper value among the sub-bags, on the
    // lattice (a maximum is exact whatever the grouping), then the chosen keeper: the latest
    // sub-bag whose value ties with that maximum. The bag itself is the latest of all; otherwise
    // it is the latest of the choices of the bags one die smaller, as long as each of those ties
    // with the maximum too (a smaller bag's choice is measured against its own, perhaps lower,
    // best). A smaller bag whose best ties but whose choice does not leaves the bag open, marked
    // by a chosen value that ties with nothing, to be settled from the roll's sub-bag list below;
    // values that tie in exact arithmetic lie far closer together than the tolerance, so that
    // is all but unheard of.
    const Lane4 none = Splat4(MaxStart);
    for (int b = 0; b < NValueBag5Ranks; ++b) {
        const int e0 = lat.minusFirst[b], e1 = lat.minusFirst[b + 1];
        Lane4 m = L.K[b];
        for (int e = e0; e < e1; ++e) {
            const Lane4 sv = L.BV[lat.minusDie[e]];
            m = sv > m ? sv : m;
        }
        L.BV[b] = m;
        const Lane4 bar = m - tol;
        const Mask4 own = L.K[b] >= bar;
        Lane4 key = own ? Splat4(data.key[b]) : Splat4(-1.0);
        Lane4 w = L.K[b];
        Mask4 open = {0, 0, 0, 0};
        for (int e = e0; e < e1; ++e) {
            const int c = lat.minusDie[e];
            const Mask4 sure = L.BW[c] >= bar;
            open |= (L.BV[c] >= bar) & ~sure;
            const Mask4 take = sure & (L.BKey[c] > key);
            key = take ? L.BKey[c] : key;
            w = take ? L.BW[c] : w;
        }
        L.BKey[b] = key;
        L.BW[b] = (open & ~own) ? none : w;
    }
    for (int i = 0; i < NRolls; ++i) {
        const int b = NValueBag4Ranks + i;
        if (!scanAll && !AnySet(L.BW[b] == none)) continue;
        const IndexRange rg = SubBagRanges[i];
        const Lane4 bar = L.BV[b] - tol;
        for (int s = rg.first; s <= rg.last; ++s) {   // each tie replaces: the last one stays
            const ValueBagRank sub = SubBagTbl[s];
            L.BKey[b] = L.K[sub] >= bar ? Splat4(data.key[sub]) : L.BKey[b];
        }
    }

    Lane4* R = L.R[l];
    Lane4* VR = L.VR[l];
    const Lane4* R0 = L.R[0];
    for (int i = 0; i < NRolls; ++i) {
        const int b = NValueBag4Ranks + i;
        R[i] = L.BV[b];
        Lane4 kept;
        for (int j = 0; j < W; ++j) kept[j] = L.VK[data.bagOfKey[std::size_t(L.BKey[b][j])]][j];
        // The optimal rule keeps only when rolling on beats scoring now by more than a tie;
        // scoring counts as holding all five dice.
        VR[i] = R0[i] >= R[i] - tol ? L.VK[b] : kept;
    }
}

// The variance at the start of the turn; start holds the lanes' expected values, the table
// entries of their states.
QUINTOR_LANE_CODE void StartPass(Lanes& L) {
    const DiceLattice& lat = Lattice();
    const Lane4* R = L.R[NRollsPerTurn - 1];
    const Lane4* VR = L.VR[NRollsPerTurn - 1];
    const Lane4 m = Lane4{L.start[0], L.start[1], L.start[2], L.start[3]};
    Lane4 acc = Splat4(0.0);
    for (int i = 0; i < NRolls; ++i) {
        const Lane4 d = R[i] - m;
        acc += Splat4(lat.prob[i]) * (d * d + VR[i]);
    }
    for (int j = 0; j < W; ++j) L.vstart[j] = acc[j];
}

void RunLanes(const double* E, const double* V, CategorySet free, bool chip,
              const std::uint16_t* need, bool record, Lanes& L) {
    for (int j = 0; j < W; ++j) L.start[j] = E[FastIndex(free, need[j], chip)];
    ScoringPass(E, V, free, chip, need, record, L);
    for (int l = 1; l < NRollsPerTurn; ++l) RerollPass(l, false, L);
    StartPass(L);
}

}  // namespace

void ComputeVarianceTurnTables(const GameStateTable& etable, const GameStateTable& vtable,
                               const GameState& g, TurnTables& T, VarianceTables& V,
                               bool scanEveryRoll) {
    Check(g.free != 0, "ComputeVarianceTurnTables", "free <> []");
    EnsureData();
    auto L = std::make_unique<Lanes>();
    // The same state in every lane; lane 0 is read, level by level as the lattice moves on.
    const std::uint16_t need[W] = {g.need, g.need, g.need, g.need};
    L->start[0] = etable[FastIndex(g.free, g.need, g.chip)];
    for (int j = 1; j < W; ++j) L->start[j] = L->start[0];
    ScoringPass(etable.data(), vtable.data(), g.free, g.chip, need, true, *L);
    for (int l = 1; l < NRollsPerTurn; ++l) {
        RerollPass(l, scanEveryRoll, *L);
        for (int k = 0; k < NValueBag5Ranks; ++k) {
            T.K[l][k] = L->K[k][0];
            V.K[l][k] = L->VK[k][0];
        }
        for (int i = 0; i < NRolls; ++i)
            T.keep[l][i] = data.bagOfKey[std::size_t(L->BKey[NValueBag4Ranks + i][0])];
    }
    StartPass(*L);
    for (int l = 0; l < NRollsPerTurn; ++l)
        for (int i = 0; i < NRolls; ++i) {
            T.R[l][i] = L->R[l][i][0];
            V.R[l][i] = L->VR[l][i][0];
        }
    for (int i = 0; i < NRolls; ++i) T.cat[i] = Category(L->cat[i][0]);
    T.start = L->start[0];
    V.start = L->vstart[0];
}

std::int64_t FillVarianceGroup(const GameStateTable& etable, GameStateTable& vtable,
                               const StateGroup& grp) {
    double* VT = vtable.data();
    const int base = FastIndex(grp.free, 0, grp.chip);
    std::int64_t filled = 0;
    if (grp.free == 0) return FillFinishedNeeds(VT, base);
    // Needs of one class give the same bits everywhere: compute each class's first need once.
    const NeedClasses& nc = NeedClassesFor(grp.free);
    std::array<int, 64> todo;
    const int ntodo = OpenNeedClasses(VT, base, nc, todo);
    thread_local std::unique_ptr<Lanes> scratch;
    if (!scratch) scratch = std::make_unique<Lanes>();
    Lanes& L = *scratch;
    for (int at = 0; at < ntodo; at += W) {
        std::uint16_t need[W];
        for (int j = 0; j < W; ++j) need[j] = nc.first[todo[std::min(at + j, ntodo - 1)]];
        RunLanes(etable.data(), VT, grp.free, grp.chip, need, false, L);
        for (int j = 0; j < W && at + j < ntodo; ++j) {
            for (std::uint64_t m = nc.members[todo[at + j]]; m != 0; m &= m - 1) {
                const int n = std::countr_zero(m);
                if (!IsKnown(VT[base + n])) {
                    VT[base + n] = L.vstart[j];
                    ++filled;
                }
            }
        }
    }
    return filled;
}

}  // namespace quintor::kernel

namespace quintor {

void ComputeAllOptimalVariances(CacheState& expected, CacheState& variance, int threads) {
    if (CountKnownEntries(expected.Table) < NGameStates) ComputeAllOptimalValues(threads);
    Check(CountKnownEntries(expected.Table) == NGameStates, "ComputeAllOptimalVariances",
          "ExpectedCache complete");
    kernel::EnsureData();   // here, before the threads share it
    const GameStateTable& et = expected.Table;
    GameStateTable& vt = variance.Table;
    kernel::RunLayers(
        threads,
        [&](const kernel::StateGroup& grp) { return kernel::FillVarianceGroup(et, vt, grp); },
        variance.KnownEntries, [] {
            if (Progress().varianceStep) Progress().varianceStep();
        });
}

}  // namespace quintor
