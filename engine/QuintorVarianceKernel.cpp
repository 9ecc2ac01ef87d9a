#include "engine/QuintorVarianceKernel.h"

namespace quintor::kernel {

namespace {

// Entry strides of the categories in the table index (the Quintor box is a three-way code).
constexpr int CategoryStride(int c) { return c == Chance ? 64 : 3 << (17 - c); }
constexpr int QuintorCodeStride = 128;

struct RollScoring {
    std::array<std::array<std::uint8_t, Sixes + 1>, NRolls> upper;   // points in Aces..Sixes
    std::array<bool, NRolls> quintor;
};

const RollScoring& Scoring() {
    static const RollScoring data = [] {
        RollScoring d{};
        for (int i = 0; i < NRolls; ++i) {
            const ScoreTblEntry& e = ScoreTbl(ValueBagRank(NValueBag4Ranks + i));
            for (int c = Aces; c <= Sixes; ++c) d.upper[i][c] = std::uint8_t(e.score[c]);
            d.quintor[i] = e.score[QuintorCat] != 0;
        }
        return d;
    }();
    return data;
}

}  // namespace

int ScoringSuccessorIndex(int index, const GameState& g, int i, Category c) {
    if (c == QuintorCat)
        return index - 2 * QuintorCodeStride + (Scoring().quintor[i] ? QuintorCodeStride : 0);
    int j = index - CategoryStride(c);
    if (c <= Sixes && g.need > 0) {
        int s = Scoring().upper[i][c];
        j -= s >= g.need ? g.need : s;
    }
    return j;
}

void ComputeVarianceTables(const GameStateTable& vtable, const GameState& g, int index,
                           const TurnTables& T, VarianceTables& V) {
    const DiceLattice& lat = Lattice();
    for (int i = 0; i < NRolls; ++i)
        V.R[0][i] = vtable[ScoringSuccessorIndex(index, g, i, T.cat[i])];

    for (int l = 1; l < NRollsPerTurn; ++l) {
        const auto& E = T.K[l];
        auto& K = V.K[l];
        // Holding all five dice: the roll is known, only its own spread remains.
        for (int i = 0; i < NRolls; ++i) {
            double d = T.R[l - 1][i] - E[NValueBag4Ranks + i];
            K[NValueBag4Ranks + i] = d * d + V.R[l - 1][i];
        }
        for (int s = NDice - 1; s >= 0; --s) {
            for (int k = ValueBagRanks[s].firstvbr; k <= ValueBagRanks[s].lastvbr; ++k) {
                const double m = E[k];
                double acc = 0.0;
                for (int v = 0; v < NValues; ++v) {
                    const ValueBagRank k2 = lat.plusDie[k][v];
                    const double d = E[k2] - m;
                    acc += d * d + K[k2];
                }
                K[k] = acc / NValues;
            }
        }
        // The optimal rule: keep only when rolling on is strictly better than scoring now.
        for (int i = 0; i < NRolls; ++i) {
            const int kept = T.R[0][i] < T.R[l][i] ? T.keep[l][i] : NValueBag4Ranks + i;
            V.R[l][i] = K[kept];
        }
    }

    const double m = T.start;
    double acc = 0.0;
    for (int i = 0; i < NRolls; ++i) {
        const double d = T.R[NRollsPerTurn - 1][i] - m;
        acc += lat.prob[i] * (d * d + V.R[NRollsPerTurn - 1][i]);
    }
    V.start = acc;
}

std::int64_t FillVarianceGroup(const GameStateTable& etable, GameStateTable& vtable,
                               const StateGroup& grp) {
    const int base = FastIndex(grp.free, 0, grp.chip);
    std::int64_t filled = 0;
    if (grp.free == 0) {
        for (int n = 0; n <= MaxBonusThreshold; ++n)
            if (!IsKnown(vtable[base + n])) {
                vtable[base + n] = 0.0;
                ++filled;
            }
        return filled;
    }
    // Needs of one class give the same bits everywhere: compute the representative once.
    const NeedClasses& nc = NeedClassesFor(grp.free);
    std::array<bool, 64> missing{};
    for (int n = 0; n <= MaxBonusThreshold; ++n)
        if (!IsKnown(vtable[base + n])) missing[nc.classOf[n]] = true;
    std::array<double, 64> value{};
    TurnTables T;
    VarianceTables V;
    for (int c = 0; c < nc.count; ++c) {
        if (!missing[c]) continue;
        const GameState g{grp.free, nc.first[c], grp.chip};
        ComputeTurnTables(etable, g, Reducer::Expected, true, T);
        ComputeVarianceTables(vtable, g, base + g.need, T, V);
        value[c] = V.start;
    }
    for (int n = 0; n <= MaxBonusThreshold; ++n)
        if (!IsKnown(vtable[base + n])) {
            vtable[base + n] = value[nc.classOf[n]];
            ++filled;
        }
    return filled;
}

}  // namespace quintor::kernel

namespace quintor {

void ComputeAllOptimalVariances(CacheState& expected, CacheState& variance, int threads) {
    if (CountKnownEntries(expected.Table) < NGameStates) ComputeAllOptimalValues(threads);
    Check(CountKnownEntries(expected.Table) == NGameStates, "ComputeAllOptimalVariances",
          "ExpectedCache complete");
    kernel::Scoring();   // built here, before the threads share it
    const GameStateTable& et = expected.Table;
    GameStateTable& vt = variance.Table;
    kernel::RunLayers(
        threads, [&](const kernel::StateGroup& grp) { return kernel::FillVarianceGroup(et, vt, grp); },
        variance.KnownEntries, [] {
            if (Progress().varianceStep) Progress().varianceStep();
        });
}

}  // namespace quintor
