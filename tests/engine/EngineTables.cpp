#include "EngineTables.h"

#include <map>
#include <vector>

namespace quintor::enginetest {

namespace {

GameStateTable complete;

CacheState& Opt() {
    if (OptimalStrategy->Cache == nullptr)
        CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
    return *OptimalStrategy->Cache;
}

}  // namespace

const GameStateTable& CompleteOptimalTable() {
    if (complete.empty()) {
        CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
        ComputeAllOptimalValues(0);
        complete = OptimalStrategy->Cache->Table;
        OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
    }
    return complete;
}

void UseCompleteOptimalTable() {
    const GameStateTable& t = CompleteOptimalTable();
    CacheState& C = Opt();
    if (C.Table != t) C.Table = t;
    C.KnownEntries = NGameStates;
    C.CurrentState.free = 0;
    OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
}

FreshOptimalCache::FreshOptimalCache() {
    CompleteOptimalTable();
    CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
}

FreshOptimalCache::~FreshOptimalCache() { UseCompleteOptimalTable(); }

GameState State(CategorySet free, int need, bool chip) {
    return GameState{free, std::uint16_t(need), chip};
}

ValueBagRank Bag(const char* dice) {
    ValueBag b;
    for (const char* p = dice; *p; ++p) AddToBag(b, *p - '0', 1);
    return RankFromValueBag(b);
}

double NaiveCandidate(const GameState& g, const GameStateTable& T, ValueBagRank r, Category c) {
    const TurnState t{0, ToChoose, r};
    GameState next;
    ScoreCard delta;
    Event e;
    e.aspect = Scoring;
    e.category = c;
    ApplyScoringEvent(OfficialRules, g, t, next, delta, e);
    return T[std::size_t(GameStateIndex(next))] + double(delta[GrandTotal]);
}

void NaiveOptimalTurn(const GameState& g, const GameStateTable& T, NaiveTurn& out) {
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
        double best = -2147483647.0;
        for (int c = 0; c < NCategories; ++c) {
            if (!InSet(g.free, c)) continue;
            const double v = NaiveCandidate(g, T, ValueBagRank(r), Category(c));
            if (v > best) best = v;
        }
        out.roll[0][r] = best;
    }
    for (int l = 1; l < NRollsPerTurn; ++l) {
        for (int k = 0; k < NValueBag5Ranks; ++k) {
            double s = 0.0;
            const IndexRange cr = CompletionRanges[k];
            for (int i = cr.first; i <= cr.last; ++i)
                s += CompletionTbl[i].prob * out.roll[l - 1][CompletionTbl[i].vbr];
            out.keeper[l][k] = s;
        }
        for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
            double best = -2147483647.0;
            const IndexRange sr = SubBagRanges[r - NValueBag4Ranks];
            for (int i = sr.first; i <= sr.last; ++i) {
                const double v = out.keeper[l][SubBagTbl[i]];
                if (v > best) best = v;
            }
            out.roll[l][r] = best;
        }
    }
    double s = 0.0;
    for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r)
        s += ValueBagTbl[r].prob * out.roll[NRollsPerTurn - 1][r];
    out.keeper[NRollsPerTurn][0] = s;
}

namespace {

// Dice as a sorted vector, encoded base 7 for the memo tables.
int Code(const std::vector<int>& dice) {
    int c = 0;
    for (int d : dice) c = c * 7 + d;
    return c * 8 + int(dice.size());
}

struct Brute {
    bool worst;
    std::map<int, double> states;   // by entry index

    double Value(const GameState& g) {
        if (g.free == 0) return 0.0;
        const int idx = GameStateIndex(g);
        auto it = states.find(idx);
        if (it != states.end()) return it->second;
        Turn turn{this, g, {}, {}};
        const double v = turn.Hold(NRollsPerTurn, {});
        states[idx] = v;
        return v;
    }

    struct Turn {
        Brute* b;
        GameState g;
        std::map<int, double> rolled[NRollsPerTurn];
        std::map<int, double> held[NRollsPerTurn + 1];

        double Score(const std::vector<int>& dice) {
            ValueBag bag;
            for (int d : dice) AddToBag(bag, d, 1);
            const TurnState t{0, ToChoose, RankFromValueBag(bag)};
            double best = -1e300;
            for (int c = 0; c < NCategories; ++c) {
                if (!InSet(g.free, c)) continue;
                GameState next;
                ScoreCard delta;
                Event e;
                e.aspect = Scoring;
                e.category = Category(c);
                ApplyScoringEvent(OfficialRules, g, t, next, delta, e);
                best = std::max(best, double(delta[GrandTotal]) + b->Value(next));
            }
            return best;
        }
        // Five dice on the table with l rolls left: score (l = 0) or keep any subset of them.
        double Rolled(int l, const std::vector<int>& dice) {
            if (l == 0) return Score(dice);
            const int code = Code(dice);
            auto it = rolled[l].find(code);
            if (it != rolled[l].end()) return it->second;
            double best = -1e300;
            for (int mask = 0; mask < 32; ++mask) {
                std::vector<int> kept;
                for (int p = 0; p < NDice; ++p)
                    if (mask & (1 << p)) kept.push_back(dice[p]);
                best = std::max(best, Hold(l, kept));
            }
            rolled[l][code] = best;
            return best;
        }
        // Holding these dice with l rolls left: every ordered outcome of the others.
        double Hold(int l, const std::vector<int>& kept) {
            const int code = Code(kept);
            auto it = held[l].find(code);
            if (it != held[l].end()) return it->second;
            const int m = NDice - int(kept.size());
            int n = 1;
            for (int i = 0; i < m; ++i) n *= 6;
            double sum = 0.0, low = 1e300;
            for (int o = 0; o < n; ++o) {
                std::vector<int> dice = kept;
                for (int i = 0, x = o; i < m; ++i, x /= 6) dice.push_back(1 + x % 6);
                std::sort(dice.begin(), dice.end());
                const double v = Rolled(l - 1, dice);
                sum += v;
                low = std::min(low, v);
            }
            const double v = b->worst ? low : sum / n;
            held[l][code] = v;
            return v;
        }
    };
};

}  // namespace

double BruteForceValue(const GameState& g, bool worst) {
    Brute b{worst, {}};
    return b.Value(g);
}

}  // namespace quintor::enginetest
