#include "engine/QuintorScoreDistribution.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <exception>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <utility>

#include "core/GeneralStuff.h"
#include "engine/QuintorTurnKernel.h"

namespace quintor {

namespace {

using kernel::NRolls;

// One way a turn can end: the next game state (its entry index, later its place in the next
// layer), the points the total gains and the probability.
struct Transition {
    std::int32_t target;
    std::int32_t points;
    double p;
};

// A game state reached with its score-so-far distribution pool[offset + s - lo], s = lo..hi.
struct Reached {
    std::int32_t state;
    std::int32_t lo, hi;
    std::size_t offset;
};

// A vector whose resize leaves new doubles unset, so that the threads that fill a pool also
// clear their parts of it: the clearing (and the first touch of the memory) runs in parallel.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};

struct Layer {
    std::vector<Reached> states;
    std::vector<double, UnsetAllocator<double>> pool;
};

// The transitions of the states of one group of a layer.
struct Chunk {
    std::vector<Transition> moves;
    std::vector<std::uint16_t> count;   // per state of the run
};

constexpr int MaxTurnPoints = 256;   // more than one scoring can gain (30 + 35 + 100)

// Probability of each roll being the one scored in a turn that follows the turn tables T[j] (with
// their keepers), for the first n of GroupLanes lanes: every roll that the optimal rule keeps
// from passes its mass on through the kept dice's completions. The kept dice are rolled one die
// at a time, all lanes together: every bag passes a sixth of its mass to each bag one die larger
// (bags come in order of size). Each lane gets the very sums it would get alone.
using LaneMasses = std::array<std::array<double, NRolls>, kernel::GroupLanes>;
void ScoredRolls(const kernel::TurnTables* T, int n, LaneMasses& q) {
    constexpr int W = kernel::GroupLanes;
    typedef double Lanes __attribute__((vector_size(W * sizeof(double))));
    thread_local std::array<Lanes, NValueBag5Ranks> kept;
    thread_local std::array<Lanes, NRolls> m;
    const auto& lat = kernel::Lattice();
    for (int j = 0; j < n; ++j) q[std::size_t(j)].fill(0.0);
    for (int i = 0; i < NRolls; ++i)
        for (int j = 0; j < W; ++j) m[std::size_t(i)][j] = lat.prob[std::size_t(i)];
    const Lanes six = {6.0, 6.0, 6.0, 6.0};
    for (int l = NRollsPerTurn - 1; l >= 1; --l) {
        kept.fill(Lanes{});
        for (int i = 0; i < NRolls; ++i) {
            for (int j = 0; j < n; ++j) {
                const double mass = m[std::size_t(i)][j];
                if (mass == 0.0) continue;
                const kernel::TurnTables& t = T[j];
                if (t.scoreNow[std::size_t(l)][std::size_t(i)])
                    q[std::size_t(j)][std::size_t(i)] += mass;
                else
                    kept[t.keep[std::size_t(l)][std::size_t(i)]][j] += mass;
            }
        }
        for (int k = 0; k < NValueBag4Ranks; ++k) {
            const Lanes sixth = kept[std::size_t(k)] / six;
            for (ValueBagRank b : lat.plusDie[std::size_t(k)]) kept[b] += sixth;
        }
        for (int i = 0; i < NRolls; ++i) m[std::size_t(i)] = kept[std::size_t(NValueBag4Ranks + i)];
    }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < NRolls; ++i) q[std::size_t(j)][std::size_t(i)] += m[std::size_t(i)][j];
}

// A way a turn of one need class ends, before the need is known: its probability, and what the
// scoring does to every state of the class: the free set and chip after, the points in an upper
// box (-1 for a lower one) and the points besides the upper bonus.
struct Ending {
    double p;
    CategorySet free;
    bool chip;
    int upper;
    int points;
};

// The state a turn of g ending in e leads to (its entry index) and the points it gains.
inline Transition Ends(const GameState& g, const Ending& e) {
    int need = g.need, points = e.points;
    if (e.upper >= 0) {
        const kernel::UpperOutcome up = kernel::ScoreUpper(g.need, e.upper);
        need = up.need;
        points += up.bonus;
    }
    return {kernel::FastIndex(e.free, need, e.chip), points, e.p};
}

// The ways the turn of g (its turn tables T with their choices, and q from ScoredRolls) ends
// under optimal play, one per category and points gained. Every need of g's need class has the
// same turn tables, and rolls that gain the same points in a category also leave the same need,
// so the list serves the whole class.
void TurnEndings(const GameState& g, const kernel::TurnTables& T,
                 const std::array<double, NRolls>& q, std::vector<Ending>& out) {
    // Where each category and points are in out; only the entries used are set back after.
    thread_local const auto where = [] {
        auto w = std::make_unique<std::array<std::array<std::int16_t, MaxTurnPoints>, NCategories>>();
        for (auto& row : *w) row.fill(-1);
        return w;
    }();
    out.clear();
    thread_local std::vector<std::int16_t*> used;   // its room kept from call to call
    used.clear();
    struct Reset {
        ~Reset() {
            for (std::int16_t* w : used) *w = -1;
        }
    } reset;
    for (int i = 0; i < NRolls; ++i) {
        if (q[i] == 0.0) continue;
        const Category c = T.cat[std::size_t(i)];
        // Only a Quintor roll has jokers and extra bonuses; any other scores its table points,
        // with the upper bonus on top.
        const ScoreTblEntry& st = detail::scoreTbl[std::size_t(i)];
        int points = st.score[std::size_t(c)];
        if (st.jokerBox != Chance)
            points = kernel::ScoreRollIn(g, i, c).points;
        else if (c <= Sixes)
            points += kernel::ScoreUpper(g.need, points).bonus;
        Check(points >= 0 && points < MaxTurnPoints, "TurnEndings", "points < MaxTurnPoints");
        std::int16_t& w = (*where)[c][points];
        if (w < 0) {
            const kernel::ScoringOutcome o = kernel::ScoreRollIn(g, i, c);
            used.push_back(&w);
            w = std::int16_t(out.size());
            Ending e{0.0, o.next.free, o.next.chip, -1, o.points};
            if (c <= Sixes) {
                e.upper = (c + 1) * ValueBagTbl[NValueBag4Ranks + i].bag.cnt[c];
                e.points -= kernel::ScoreUpper(g.need, e.upper).bonus;
            }
            out.push_back(e);
        }
        out[std::size_t(w)].p += q[i];
    }
}

// d[x] += p * s[x] for x < n: most of the time of the passes. Each element is one product and
// one sum either way, so the wider instructions, where the processor has them, give the same bits.
void AddScaledPlain(double* __restrict d, const double* __restrict s, int n, double p) {
    for (int x = 0; x < n; ++x) d[x] += p * s[x];
}
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void AddScaledWide(double* __restrict d,
                                                   const double* __restrict s, int n, double p) {
    for (int x = 0; x < n; ++x) d[x] += p * s[x];
}
void AddScaled(double* __restrict d, const double* __restrict s, int n, double p) {
    static const auto add = kernel::HasAvx2() ? AddScaledWide : AddScaledPlain;
    add(d, s, n, p);
}
#else
void AddScaled(double* __restrict d, const double* __restrict s, int n, double p) {
    AddScaledPlain(d, s, n, p);
}
#endif

// Runs work(i, thread) for i = 0..n-1 over the threads; rethrows the first exception.
void ParallelFor(int threads, std::size_t n, const std::function<void(std::size_t, int)>& work) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::mutex lock;
    auto loop = [&](int t) {
        try {
            for (;;) {
                if (stop) return;
                const std::size_t i = next++;
                if (i >= n) return;
                work(i, t);
            }
        } catch (...) {
            std::lock_guard<std::mutex> g(lock);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads && std::size_t(t) < n; ++t) pool.emplace_back(loop, t);
    loop(0);
    for (auto& th : pool) th.join();
    if (failure) std::rethrow_exception(failure);
}

// The transitions of one layer: the states (sorted by index) in groups of one free set and chip,
// each group's transitions in one chunk, their targets places in the next layer.
struct Expansion {
    std::vector<std::size_t> groupStart;   // one per group, then the number of states
    std::vector<Chunk> chunks;
};

// A start-of-turn point where a pass begins: a game state (its index) and the total so far.
struct Seed {
    std::int32_t state;
    int total;
};

// The turns of the states `from` (sorted by index, each with its score range): their
// transitions into ex, and the next layer, sorted by index, with the range of scores so far each
// of its states can have (offsets not set). `enter` adds start points to the next layer.
std::vector<Reached> Expand(const GameStateTable& table, const std::vector<Reached>& from,
                            const std::vector<Seed>& enter, int threads,
                            std::vector<std::int32_t>& slotOf, Expansion& ex) {
    // Work items are the groups of the layer, so that the needs of a group are side by side and
    // their turn tables are computed together.
    const std::size_t nStates = from.size();
    ex.groupStart.clear();
    for (std::size_t j = 0; j < nStates; ++j)
        if (j == 0 || from[j].state / 64 != from[j - 1].state / 64) ex.groupStart.push_back(j);
    const std::size_t nChunks = ex.groupStart.size();
    ex.groupStart.push_back(nStates);
    ex.chunks.assign(nChunks, Chunk{});
    ParallelFor(threads, nChunks, [&](std::size_t c, int) {
        thread_local std::array<kernel::TurnTables, kernel::GroupLanes> T;
        Chunk& ch = ex.chunks[c];
        const std::size_t j0 = ex.groupStart[c], j1 = ex.groupStart[c + 1];
        const GameState first = GameStateOfIndex(from[j0].state);
        const kernel::NeedClasses& nc = kernel::NeedClassesFor(first.free);
        // The need classes the group reaches, one need of each standing for its class.
        std::array<bool, 64> seen{};
        std::array<int, 64> cls;
        std::array<std::uint16_t, 64> need;
        int n = 0;
        // The need is the low six bits of a state's index, the rest is the group's.
        const auto needOf = [&](std::size_t j) { return std::uint16_t(from[j].state % 64); };
        for (std::size_t j = j0; j < j1; ++j) {
            const int k = nc.classOf[needOf(j)];
            if (seen[std::size_t(k)]) continue;
            seen[std::size_t(k)] = true;
            cls[std::size_t(n)] = k;
            need[std::size_t(n)] = needOf(j);
            ++n;
        }
        thread_local std::array<std::vector<Ending>, 64> endings;   // capacity kept for the next group
        for (int at = 0; at < n; at += kernel::GroupLanes) {
            const int w = std::min(kernel::GroupLanes, n - at);
            kernel::ExpectedTurnTablesOfGroup(table, first.free, first.chip, &need[std::size_t(at)],
                                              w, T.data(), false);
            thread_local LaneMasses q;
            ScoredRolls(T.data(), w, q);
            for (int j = 0; j < w; ++j) {
                const GameState g{first.free, need[std::size_t(at + j)], first.chip};
                TurnEndings(g, T[std::size_t(j)], q[std::size_t(j)],
                            endings[std::size_t(cls[std::size_t(at + j)])]);
            }
        }
        std::size_t nMoves = 0;
        for (std::size_t j = j0; j < j1; ++j) nMoves += endings[nc.classOf[needOf(j)]].size();
        ch.moves.reserve(nMoves);
        ch.count.reserve(j1 - j0);
        for (std::size_t j = j0; j < j1; ++j) {
            const GameState g{first.free, needOf(j), first.chip};
            const std::vector<Ending>& es = endings[nc.classOf[g.need]];
            for (const Ending& e : es) {
                ch.moves.push_back(Ends(g, e));
                // Marks the target as reached; threads may mark one target together.
                std::atomic_ref<std::int32_t>(slotOf[std::size_t(ch.moves.back().target)])
                    .store(0, std::memory_order_relaxed);
            }
            ch.count.push_back(std::uint16_t(es.size()));
        }
    });
    for (const Seed& s : enter) slotOf[std::size_t(s.state)] = 0;

    // The next layer's states in index order; targets become places in it.
    std::vector<Reached> to;
    for (std::size_t state = 0; state < slotOf.size(); ++state) {
        if (slotOf[state] < 0) continue;
        slotOf[state] = std::int32_t(to.size());
        to.push_back({std::int32_t(state), std::numeric_limits<std::int32_t>::max(),
                      std::numeric_limits<std::int32_t>::min(), 0});
    }
    ParallelFor(threads, nChunks, [&](std::size_t c, int) {
        Chunk& ch = ex.chunks[c];
        std::size_t m = 0;
        for (std::size_t k = 0; k < ch.count.size(); ++k) {
            const Reached& src = from[ex.groupStart[c] + k];
            for (int n = 0; n < ch.count[k]; ++n, ++m) {
                Transition& t = ch.moves[m];
                t.target = slotOf[std::size_t(t.target)];
                Reached& dst = to[std::size_t(t.target)];
                // The least and the most of the totals; the other thread may widen them too.
                std::atomic_ref<std::int32_t> lo(dst.lo), hi(dst.hi);
                const std::int32_t a = src.lo + t.points, z = src.hi + t.points;
                for (std::int32_t v = lo.load(std::memory_order_relaxed);
                     a < v && !lo.compare_exchange_weak(v, a, std::memory_order_relaxed);) {
                }
                for (std::int32_t v = hi.load(std::memory_order_relaxed);
                     z > v && !hi.compare_exchange_weak(v, z, std::memory_order_relaxed);) {
                }
            }
        }
    });
    for (const Seed& s : enter) {
        Reached& dst = to[std::size_t(slotOf[std::size_t(s.state)])];
        dst.lo = std::min(dst.lo, s.total);
        dst.hi = std::max(dst.hi, s.total);
    }
    for (const Reached& r : to) {
        slotOf[std::size_t(r.state)] = -1;
        // Only a point given with a total no game can have gets here.
        if (r.lo < 0 || r.hi > MaxPoints)
            throw RangeError("the total is more than a game with these free categories can have");
    }
    return to;
}

// Sets the states' offsets into a pool of their score ranges; returns the pool's size.
std::size_t AssignOffsets(std::vector<Reached>& states) {
    std::size_t size = 0;
    for (Reached& r : states) {
        r.offset = size;
        size += std::size_t(r.hi - r.lo + 1);
    }
    return size;
}

// The score distributions of the next layer `to` (its states from Expand) from those of `from`.
void Propagate(const Layer& from, const Expansion& ex, Layer& to, int threads) {
    to.pool.clear();
    to.pool.resize(AssignOffsets(to.states));
    const std::size_t nChunks = ex.chunks.size();
    // Each thread clears and adds into its own share of the targets, going through the sources in
    // order, so every target's sum is formed in the same order for any number of threads.
    const int parts = std::max(1, threads);
    ParallelFor(parts, std::size_t(parts), [&](std::size_t part, int) {
        for (std::size_t k = part; k < to.states.size(); k += std::size_t(parts)) {
            const Reached& r = to.states[k];
            std::fill_n(to.pool.data() + r.offset, r.hi - r.lo + 1, 0.0);
        }
        for (std::size_t c = 0; c < nChunks; ++c) {
            const Chunk& ch = ex.chunks[c];
            std::size_t m = 0;
            for (std::size_t k = 0; k < ch.count.size(); ++k) {
                const Reached& src = from.states[ex.groupStart[c] + k];
                const double* s = from.pool.data() + src.offset;
                const int width = src.hi - src.lo + 1;
                for (int n = 0; n < ch.count[k]; ++n, ++m) {
                    const Transition& t = ch.moves[m];
                    if (std::size_t(t.target) % std::size_t(parts) != part) continue;
                    const Reached& dst = to.states[std::size_t(t.target)];
                    double* d = to.pool.data() + dst.offset + (src.lo + t.points - dst.lo);
                    const double p = t.p;
                    AddScaled(d, s, width, p);
                }
            }
        }
    });
}

// The states that follow those of `from` one turn later, with their score distributions.
Layer NextLayer(const GameStateTable& table, const Layer& from, int threads,
                std::vector<std::int32_t>& slotOf) {
    Expansion ex;
    Layer to;
    to.states = Expand(table, from.states, {}, threads, slotOf, ex);
    Propagate(from, ex, to, threads);
    return to;
}

[[noreturn]] void LoadFailure(const std::string& fileName, const std::string& what) {
    throw IOError("Cannot load score distribution file \"" + fileName + "\": " + what);
}

std::string FilePath(const std::string& location) {
    const bool sep = !location.empty() && location.back() == '/';
    return location + (sep ? "" : "/") + DistributionFileName;
}

const CacheState& OptimalTable(const char* proc) {
    Check(OptimalStrategy != nullptr && OptimalStrategy->Cache != nullptr, proc,
          "OptimalStrategy^.Cache <> nil");
    return *OptimalStrategy->Cache;
}

// The layers from `layer` (states with k free categories) to the end of the game, summed into
// the final score distribution.
ScoreDistribution RunToEnd(const GameStateTable& table, Layer layer, int threads) {
    std::vector<std::int32_t> slotOf(NGameStates, -1);
    const int turns = layer.states.empty() ? 0 : CategorySetSize(GameStateOfIndex(layer.states[0].state).free);
    for (int k = 1; k <= turns; ++k) {
        layer = NextLayer(table, layer, threads, slotOf);
    }
    ScoreDistribution d(NFinalScores, 0.0);
    for (const Reached& r : layer.states)
        for (int s = r.lo; s <= r.hi; ++s) d[std::size_t(s)] += layer.pool[r.offset + std::size_t(s - r.lo)];
    return d;
}

void CheckPoint(const GameState& g, int total, const TurnState& t) {
    GameStateIndex(g);
    CheckRange(total, 0, MaxPoints, "total so far");
    if (t.phase == ToChoose) {
        CheckRange(t.rollsLeft, 0, NRollsPerTurn - 1, "rolls left after a roll");
        CheckFiveDiceBagRank(t.dice);
    } else {
        CheckRange(t.rollsLeft, 1, NRollsPerTurn, "rolls left before a roll");
        CheckValueBagRank(t.dice);
        if (t.rollsLeft == NRollsPerTurn && t.dice != 0)
            throw RangeError("no dice are kept before the first roll of a turn");
    }
}


// The most points a game in state g can still score: every free box at its best, the upper
// bonus while it is open, and an extra Quintor bonus in every turn one can still come in.
int MostStillToScore(const GameState& g) {
    int sum = 0, n = 0;
    for (int c = 0; c < NCategories; ++c) {
        if (!InSet(g.free, c)) continue;
        sum += MaxScoreCard.row[std::size_t(c)];
        ++n;
    }
    if (g.need > 0) sum += UpperSectionBonus;
    if (g.chip)
        sum += ExtraQuintorBonus * n;
    else if (InSet(g.free, QuintorCat))
        sum += ExtraQuintorBonus * (n - 1);
    return sum;
}

// The states optimal play reaches from a set of start-of-turn points, layer by layer (layer k:
// the states with k free categories, sorted by index, each with its score range), and the
// transitions of each layer into the next.
struct ReachGraph {
    std::array<std::vector<Reached>, NCategories + 1> layers;
    std::array<Expansion, NCategories + 1> steps;   // steps[k]: from layers[k] into layers[k - 1]
    std::array<bool, NCategories + 1> seeded{};     // a seed's state lies in layer k
    int top = 0;
};

// Counts the layers of a forward and a backward pass (2 x top) for a caller's progress; its
// call raises Stopped when the caller wants no more.
struct Stopped {};
struct PassSteps {
    const std::function<bool(int, int)>* step = nullptr;
    int done = 0, all = 0;
    void operator()() {
        if (step && *step && !(*step)(++done, all)) throw Stopped{};
    }
};

ReachGraph BuildReachGraph(const GameStateTable& table, const std::vector<Seed>& seeds,
                           int threads, PassSteps* steps = nullptr) {
    ReachGraph rg;
    std::array<std::vector<Seed>, NCategories + 1> enter;
    for (const Seed& s : seeds) {
        const int k = CategorySetSize(GameStateOfIndex(s.state).free);
        enter[std::size_t(k)].push_back(s);
        rg.seeded[std::size_t(k)] = true;
        rg.top = std::max(rg.top, k);
    }
    std::vector<std::int32_t> slotOf(NGameStates, -1);
    Expansion none;
    if (steps) steps->all = 2 * rg.top;
    rg.layers[std::size_t(rg.top)] = Expand(table, {}, enter[std::size_t(rg.top)], threads, slotOf, none);
    for (int k = rg.top; k >= 1; --k) {
        rg.layers[std::size_t(k - 1)] = Expand(table, rg.layers[std::size_t(k)], enter[std::size_t(k - 1)],
                                               threads, slotOf, rg.steps[std::size_t(k)]);
        if (steps) (*steps)();
    }
    return rg;
}

// P(final >= target) for every state of a reach graph and every total it can have there. Only a
// band of totals needs numbers: from `lo` on the target may still be reached, and from the
// target on it is.
class ReachChances {
public:
    ReachChances(const ReachGraph& rg, int target, int threads, PassSteps* steps = nullptr)
        : rg_(rg), target_(target) {
        for (int k = 0; k <= rg.top; ++k) {
            auto& bands = bands_[std::size_t(k)];
            const auto& states = rg.layers[std::size_t(k)];
            bands.resize(states.size());
            constexpr std::size_t Block = 4096;
            ParallelFor(threads, (states.size() + Block - 1) / Block, [&](std::size_t at, int) {
                const std::size_t end = std::min(states.size(), (at + 1) * Block);
                for (std::size_t j = at * Block; j < end; ++j) {
                    const Reached& r = states[j];
                    Band& b = bands[j];
                    b.lo = std::max(r.lo, target - MostStillToScore(GameStateOfIndex(r.state)));
                    b.hi = std::min(r.hi, target - 1);
                    if (k == 0 || b.hi < b.lo) b.hi = b.lo - 1;   // no numbers needed
                }
            });
            std::size_t size = 0;
            for (Band& b : bands) {
                b.offset = size;
                size += std::size_t(b.hi - b.lo + 1);
            }
            // Left unset: Fill clears each band on the thread that fills it.
            values_[std::size_t(k)].resize(size);
            if (k > 0) {
                Fill(k, threads);
                // Only the seeds' layers are asked for afterwards.
                if (!rg.seeded[std::size_t(k - 1)]) Release(k - 1);
                if (steps) (*steps)();
            }
        }
    }

    // The chance at the start of a turn of the state with entry index `state` (in the graph).
    double At(std::int32_t state, int total) const {
        if (total >= target_) return 1.0;
        const int k = CategorySetSize(GameStateOfIndex(state).free);
        const auto& states = rg_.layers[std::size_t(k)];
        const auto it = std::lower_bound(states.begin(), states.end(), state,
                                         [](const Reached& r, std::int32_t s) { return r.state < s; });
        Check(it != states.end() && it->state == state && total >= it->lo && total <= it->hi &&
                  rg_.seeded[std::size_t(k)],
              "ReachChances.At", "the point is in a seed's layer of the graph");
        return Value(k, std::size_t(it - states.begin()), total);
    }

private:
    struct Band {
        int lo, hi;
        std::size_t offset;
    };

    void Release(int k) {
        decltype(values_)::value_type none;
        values_[std::size_t(k)].swap(none);
    }

    double Value(int k, std::size_t slot, int total) const {
        if (total >= target_) return 1.0;
        const Band& b = bands_[std::size_t(k)][slot];
        if (total < b.lo || total > b.hi) return 0.0;
        return values_[std::size_t(k)][b.offset + std::size_t(total - b.lo)];
    }

    // Layer k from layer k - 1: each state's chances are the mixture of its turn's endings,
    // summed in transition order whatever the thread count.
    void Fill(int k, int threads) {
        const Expansion& ex = rg_.steps[std::size_t(k)];
        const auto& below = bands_[std::size_t(k - 1)];
        const double* next = values_[std::size_t(k - 1)].data();
        double* out = values_[std::size_t(k)].data();
        ParallelFor(threads, ex.chunks.size(), [&](std::size_t c, int) {
            const Chunk& ch = ex.chunks[c];
            std::size_t m = 0;
            for (std::size_t j = 0; j < ch.count.size(); ++j) {
                const Band& b = bands_[std::size_t(k)][ex.groupStart[c] + j];
                const std::size_t first = m;
                m += ch.count[j];
                if (b.hi < b.lo) continue;
                double* v = out + b.offset;
                std::fill_n(v, b.hi - b.lo + 1, 0.0);
                // The endings that reach the target add their probability to every total from
                // some total on: gathered by where they start, summed up once at the end.
                thread_local std::vector<double> reached;
                reached.assign(std::size_t(b.hi - b.lo + 1), 0.0);
                for (std::size_t n = first; n < m; ++n) {
                    const Transition& t = ch.moves[n];
                    const Band& tb = below[std::size_t(t.target)];
                    const double p = t.p;
                    // Totals that reach the target with this turn's points.
                    const int from = std::max(b.lo, target_ - t.points);
                    if (from <= b.hi) reached[std::size_t(from - b.lo)] += p;
                    // Totals that land in the band of the state after.
                    const int a = std::max(b.lo, tb.lo - t.points);
                    const int z = std::min(b.hi, tb.hi - t.points);
                    if (a > z) continue;
                    const double* w = next + tb.offset + std::size_t(a + t.points - tb.lo);
                    AddScaled(v + (a - b.lo), w, z - a + 1, p);
                }
                double sum = 0.0;
                for (int x = 0; x <= b.hi - b.lo; ++x) {
                    sum += reached[std::size_t(x)];
                    v[x] += sum;
                }
            }
        });
    }

    const ReachGraph& rg_;
    int target_;
    std::array<std::vector<Band>, NCategories + 1> bands_;
    std::array<std::vector<double, UnsetAllocator<double>>, NCategories + 1> values_;
};

// Both passes from a set of seeds; null once the caller's step asked to stop.
struct ChancePasses {
    ReachGraph graph;
    std::unique_ptr<ReachChances> chances;   // over graph
};
std::unique_ptr<ChancePasses> RunChancePasses(const GameStateTable& table,
                                              const std::vector<Seed>& seeds, int target,
                                              int threads,
                                              const std::function<bool(int, int)>& step) {
    PassSteps steps{&step};
    auto passes = std::make_unique<ChancePasses>();
    try {
        passes->graph = BuildReachGraph(table, seeds, threads, &steps);
        passes->chances = std::make_unique<ReachChances>(passes->graph, target, threads, &steps);
    } catch (const Stopped&) {
        return nullptr;
    }
    return passes;
}

// The chances from every point of one turn of g played by the turn tables T (with choices):
// V[l][i] from roll i with l rolls left, K[l][k] from kept dice k about to be rolled with l rolls
// left; scored(i, c) is the chance after scoring roll i in category c.
struct TurnChances {
    std::array<std::array<double, NRolls>, NRollsPerTurn> V;
    std::array<std::array<double, NValueBag5Ranks>, NRollsPerTurn + 1> K;
};
void ComputeTurnChances(const kernel::TurnTables& T,
                        const std::function<double(int, Category)>& scored, TurnChances& tc) {
    auto& V = tc.V;
    auto& K = tc.K;
    const auto keeper = [&](int l, int k) {
        double sum = 0.0;
        const IndexRange rg = CompletionRanges[std::size_t(k)];
        for (int c = rg.first; c <= rg.last; ++c)
            sum += CompletionTbl[std::size_t(c)].prob *
                   V[std::size_t(l - 1)][std::size_t(CompletionTbl[std::size_t(c)].vbr - NValueBag4Ranks)];
        return sum;
    };
    for (int i = 0; i < NRolls; ++i) V[0][std::size_t(i)] = scored(i, T.cat[std::size_t(i)]);
    for (int l = 1; l < NRollsPerTurn; ++l) {
        for (int k = 0; k < NValueBag5Ranks; ++k) K[std::size_t(l)][std::size_t(k)] = keeper(l, k);
        for (int i = 0; i < NRolls; ++i)
            V[std::size_t(l)][std::size_t(i)] =
                T.scoreNow[std::size_t(l)][std::size_t(i)]
                    ? V[0][std::size_t(i)]
                    : K[std::size_t(l)][T.keep[std::size_t(l)][std::size_t(i)]];
    }
    K[NRollsPerTurn][0] = keeper(NRollsPerTurn, 0);
}

// The seeds of a reach graph for the turn of g at total: every way the turn tables T can end it.
void AddTurnSeeds(const GameState& g, int total, const kernel::TurnTables& T,
                  std::vector<Seed>& seeds) {
    for (int i = 0; i < NRolls; ++i) {
        const kernel::ScoringOutcome o = kernel::ScoreRollIn(g, i, T.cat[std::size_t(i)]);
        seeds.push_back({GameStateIndex(o.next), total + o.points});
    }
}

}  // namespace

ScoreDistribution DistributionFrom(const GameStateTable& table, const GameState& g, int total,
                                   const TurnState& t, int threads) {
    if (table.size() != std::size_t(NGameStates) || CountKnownEntries(table) != NGameStates)
        throw RangeError("DistributionFrom: the expected-score table is not complete");
    CheckPoint(g, total, t);
    ScoreDistribution d(NFinalScores, 0.0);
    if (g.free == 0) {
        d[std::size_t(total)] = 1.0;
        return d;
    }
    if (t.phase == ToRoll && t.rollsLeft == NRollsPerTurn) {
        // The start of a turn: the very pass of the whole game, shifted by the total.
        const ScoreDistribution rest = ComputeScoreDistribution(table, threads, {}, g);
        for (int s = 0; s + total <= MaxPoints; ++s) d[std::size_t(s + total)] = rest[std::size_t(s)];
        for (int s = MaxPoints - total + 1; s <= MaxPoints; ++s)
            if (rest[std::size_t(s)] != 0.0)
                throw RangeError("the total is more than a game with these free categories can have");
        return d;
    }
    threads = kernel::ThreadCount(threads);
    kernel::TurnTables T;
    kernel::ComputeTurnTables(table, g, kernel::Reducer::Expected, true, T);
    // m: the mass of each roll with l rolls left, starting from the point; q: the mass scored.
    std::array<double, NRolls> m{}, q{};
    std::array<double, NValueBag5Ranks> kept{};
    int l = t.rollsLeft;
    if (t.phase == ToChoose) {
        m[std::size_t(t.dice - NValueBag4Ranks)] = 1.0;
    } else {
        kept[t.dice] = 1.0;
    }
    for (;;) {
        if (t.phase == ToRoll && l == t.rollsLeft) {
            --l;   // the kept dice roll first
        } else {
            kept.fill(0.0);
            for (int i = 0; i < NRolls; ++i) {
                if (m[std::size_t(i)] == 0.0) continue;
                if (l > 0 && !T.scoreNow[std::size_t(l)][std::size_t(i)])
                    kept[T.keep[std::size_t(l)][std::size_t(i)]] += m[std::size_t(i)];
                else
                    q[std::size_t(i)] += m[std::size_t(i)];
            }
            if (l == 0) break;
            --l;
        }
        m.fill(0.0);
        for (int k = 0; k < NValueBag5Ranks; ++k) {
            if (kept[std::size_t(k)] == 0.0) continue;
            const IndexRange rg = CompletionRanges[std::size_t(k)];
            for (int c = rg.first; c <= rg.last; ++c) {
                const CompletionEntry& ce = CompletionTbl[std::size_t(c)];
                m[std::size_t(ce.vbr - NValueBag4Ranks)] += kept[std::size_t(k)] * ce.prob;
            }
        }
    }
    // The states after this turn, each with the totals it can be reached with.
    std::map<std::int32_t, std::map<int, double>> after;
    for (int i = 0; i < NRolls; ++i) {
        if (q[std::size_t(i)] == 0.0) continue;
        const kernel::ScoringOutcome o = kernel::ScoreRollIn(g, i, T.cat[std::size_t(i)]);
        after[GameStateIndex(o.next)][total + o.points] += q[std::size_t(i)];
    }
    Layer layer;
    for (const auto& [state, dist] : after) {
        Reached r{state, dist.begin()->first, dist.rbegin()->first, layer.pool.size()};
        if (r.hi > MaxPoints)
            throw RangeError("the total is more than a game with these free categories can have");
        layer.pool.resize(layer.pool.size() + std::size_t(r.hi - r.lo + 1), 0.0);
        for (const auto& [s, p] : dist) layer.pool[r.offset + std::size_t(s - r.lo)] = p;
        layer.states.push_back(r);
    }
    return RunToEnd(table, std::move(layer), threads);
}

std::vector<PointOption> PointOptions(const GameState& g, int total, const TurnState& t) {
    CheckPoint(g, total, t);
    std::vector<PointOption> out;
    if (g.free == 0) return out;
    if (t.phase == ToChoose) {
        const int i = t.dice - NValueBag4Ranks;
        for (int c = 0; c < NCategories; ++c) {
            if (!InSet(g.free, c)) continue;
            const kernel::ScoringOutcome o = kernel::ScoreRollIn(g, i, Category(c));
            PointOption op;
            op.aspect = Scoring;
            op.category = Category(c);
            op.game = o.next;
            op.total = total + o.points;
            op.turn = InitialTurnState;
            out.push_back(op);
        }
        if (t.rollsLeft > 0) {
            const IndexRange rg = SubBagRanges[std::size_t(i)];
            for (int k = rg.first; k <= rg.last; ++k) {
                PointOption op;
                op.aspect = Keeping;
                op.bag = SubBagTbl[std::size_t(k)];
                op.game = g;
                op.total = total;
                op.turn = TurnState{t.rollsLeft, ToRoll, op.bag};
                out.push_back(op);
            }
        }
    } else {
        // A kept bag's completions, one per rolled five-dice bag; the empty bag is a fresh roll.
        const IndexRange rg = CompletionRanges[t.dice];
        for (int c = rg.first; c <= rg.last; ++c) {
            const CompletionEntry& ce = CompletionTbl[std::size_t(c)];
            PointOption op;
            op.aspect = Rolling;
            op.bag = ce.vbr;
            op.game = g;
            op.total = total;
            op.turn = TurnState{std::uint8_t(t.rollsLeft - 1), ToChoose, ce.vbr};
            op.p = ce.prob;
            out.push_back(op);
        }
    }
    return out;
}

TargetChances ChancesToReach(const GameStateTable& table, const GameState& g, int total,
                             const TurnState& t, int target, int threads,
                             const std::function<bool(int, int)>& step) {
    if (table.size() != std::size_t(NGameStates) || CountKnownEntries(table) != NGameStates)
        throw RangeError("ChancesToReach: the expected-score table is not complete");
    TargetChances r;
    r.options = PointOptions(g, total, t);
    if (g.free == 0) {
        r.point = total >= target ? 1.0 : 0.0;
        return r;
    }
    threads = kernel::ThreadCount(threads);
    kernel::TurnTables T;
    kernel::ComputeTurnTables(table, g, kernel::Reducer::Expected, true, T);
    // One backward pass over what optimal play reaches after this turn serves every option: the
    // turn's own endings, and the scorings of the roll in hand in any category.
    std::vector<Seed> seeds;
    AddTurnSeeds(g, total, T, seeds);
    for (const PointOption& op : r.options)
        if (op.aspect == Scoring) seeds.push_back({GameStateIndex(op.game), op.total});
    const std::unique_ptr<ChancePasses> passes = RunChancePasses(table, seeds, target, threads, step);
    if (!passes) return {};
    const ReachChances& reach = *passes->chances;
    const auto scored = [&](int i, Category c) {
        const kernel::ScoringOutcome o = kernel::ScoreRollIn(g, i, c);
        return reach.At(GameStateIndex(o.next), total + o.points);
    };
    TurnChances tc;
    ComputeTurnChances(T, scored, tc);
    const std::size_t l = t.rollsLeft;
    if (t.phase == ToChoose) {
        const int i = t.dice - NValueBag4Ranks;
        r.point = tc.V[l][std::size_t(i)];
        for (const PointOption& op : r.options)
            r.chance.push_back(op.aspect == Scoring ? scored(i, op.category) : tc.K[l][op.bag]);
    } else {
        r.point = tc.K[l][t.dice];
        for (const PointOption& op : r.options)
            r.chance.push_back(tc.V[l - 1][std::size_t(op.bag - NValueBag4Ranks)]);
    }
    return r;
}

std::vector<double> ChancesAtPoints(const GameStateTable& table,
                                    const std::vector<GamePoint>& points, int target,
                                    int threads, const std::function<bool(int, int)>& step) {
    if (table.size() != std::size_t(NGameStates) || CountKnownEntries(table) != NGameStates)
        throw RangeError("ChancesAtPoints: the expected-score table is not complete");
    threads = kernel::ThreadCount(threads);
    // The points of one turn share its game state and total: one set of turn tables each, and
    // one reach graph for all of them.
    std::map<std::pair<std::int32_t, int>, std::size_t> turnOf;
    std::vector<std::unique_ptr<kernel::TurnTables>> tables;
    std::vector<Seed> seeds;
    for (const GamePoint& p : points) {
        CheckPoint(p.game, p.total, p.turn);
        if (p.game.free == 0) continue;
        const auto key = std::make_pair(GameStateIndex(p.game), p.total);
        if (turnOf.count(key) != 0) continue;
        turnOf[key] = tables.size();
        tables.push_back(std::make_unique<kernel::TurnTables>());
        kernel::ComputeTurnTables(table, p.game, kernel::Reducer::Expected, true, *tables.back());
        AddTurnSeeds(p.game, p.total, *tables.back(), seeds);
    }
    const std::unique_ptr<ChancePasses> passes = RunChancePasses(table, seeds, target, threads, step);
    if (!passes) return {};
    const ReachChances& reach = *passes->chances;
    std::vector<std::unique_ptr<TurnChances>> turns(tables.size());
    std::vector<double> out;
    out.reserve(points.size());
    for (const GamePoint& p : points) {
        if (p.game.free == 0) {
            out.push_back(p.total >= target ? 1.0 : 0.0);
            continue;
        }
        const std::size_t n = turnOf.at(std::make_pair(GameStateIndex(p.game), p.total));
        if (!turns[n]) {
            turns[n] = std::make_unique<TurnChances>();
            ComputeTurnChances(*tables[n], [&](int i, Category c) {
                const kernel::ScoringOutcome o = kernel::ScoreRollIn(p.game, i, c);
                return reach.At(GameStateIndex(o.next), p.total + o.points);
            }, *turns[n]);
        }
        const TurnChances& tc = *turns[n];
        const std::size_t l = p.turn.rollsLeft;
        out.push_back(p.turn.phase == ToChoose
                          ? tc.V[l][std::size_t(p.turn.dice - NValueBag4Ranks)]
                          : tc.K[l][p.turn.dice]);
    }
    return out;
}

ScoreDistribution ComputeScoreDistribution(const GameStateTable& table, int threads,
                                           const std::function<void(int)>& progress,
                                           const GameState& start) {
    if (table.size() != std::size_t(NGameStates) || CountKnownEntries(table) != NGameStates)
        throw RangeError("ComputeScoreDistribution: the expected-score table is not complete");
    threads = kernel::ThreadCount(threads);
    std::vector<std::int32_t> slotOf(NGameStates, -1);
    Layer layer;
    layer.states.push_back({GameStateIndex(start), 0, 0, 0});
    layer.pool.assign(1, 1.0);
    const int turns = CategorySetSize(start.free);
    for (int k = 1; k <= turns; ++k) {
        layer = NextLayer(table, layer, threads, slotOf);
        if (progress) progress(k);
    }
    ScoreDistribution d(NFinalScores, 0.0);
    for (const Reached& r : layer.states)
        for (int s = r.lo; s <= r.hi; ++s) d[std::size_t(s)] += layer.pool[r.offset + std::size_t(s - r.lo)];
    return d;
}

void SaveScoreDistribution(const std::string& fileName, const ScoreDistribution& d) {
    LogFile() << "Saving score distribution to file named \"" << fileName << "\"\n";
    FlushLog();
    Check(d.size() == std::size_t(NFinalScores), "SaveScoreDistribution",
          "length(d) = NFinalScores");
    static_assert(std::endian::native == std::endian::little,
                  "the distribution file is written as the raw image of little-endian doubles");
    WriteFileAtomically(fileName, d.data(), DistributionFileBytes);
}

void LoadScoreDistribution(const std::string& fileName, double expectedMean, ScoreDistribution& d) {
    if (!FileExists(fileName)) LoadFailure(fileName, "no such file");
    std::ifstream in(fileName, std::ios::binary);
    if (!in) LoadFailure(fileName, std::strerror(errno));
    ScoreDistribution loaded(NFinalScores);
    in.read(reinterpret_cast<char*>(loaded.data()), std::streamsize(DistributionFileBytes));
    const std::size_t got = std::size_t(in.gcount());
    char extra = 0;
    if (got < DistributionFileBytes || in.read(&extra, 1).gcount() != 0)
        LoadFailure(fileName, "the file is not " + std::to_string(DistributionFileBytes) +
                                  " bytes long");
    for (int s = 0; s < NFinalScores; ++s) {
        const double p = loaded[std::size_t(s)];
        if (!(p >= 0.0 && p <= 1.0))
            LoadFailure(fileName, "the entry of score " + std::to_string(s) + " is no probability");
    }
    if (std::fabs(DistributionSum(loaded) - 1.0) > 1e-9)
        LoadFailure(fileName, "the probabilities do not sum to 1");
    if (std::fabs(DistributionMean(loaded) - expectedMean) > 1e-6)
        LoadFailure(fileName, "its mean " + FixedStr(DistributionMean(loaded), 5) +
                                  " is not the expected final score " +
                                  FixedStr(expectedMean, 5) + " of the tables");
    d.swap(loaded);
}

void CreateScoreDistribution(const std::string& location, int threads,
                             const std::function<void(int)>& progress) {
    const CacheState& C = OptimalTable("CreateScoreDistribution");
    std::ostream& log = LogFile();
    log << "Computing the optimal final score distribution ...\n";
    FlushLog();
    const ScoreDistribution d = ComputeScoreDistribution(C.Table, threads, progress);
    log << "Final score distribution of " << OptimalStrategy->ShortName << ": mean "
        << FixedStr(DistributionMean(d), 5) << ", standard deviation "
        << FixedStr(std::sqrt(DistributionVariance(d)), 5) << '\n';
    SaveScoreDistribution(FilePath(location), d);
}

ScoreDistribution OptimalScoreDistribution(const std::string& location,
                                           const std::function<void(int)>& progress) {
    const CacheState& C = OptimalTable("OptimalScoreDistribution");
    const double mean = C.Table.at(std::size_t(GameStateIndex(InitialGameState)));
    ScoreDistribution d;
    const std::string file = FilePath(location);
    if (FileExists(file)) {
        try {
            LoadScoreDistribution(file, mean, d);
            return d;
        } catch (const IOError& e) {
            LogFile() << e.what() << '\n';
        }
    }
    LogFile() << "Computing the optimal final score distribution ...\n";
    FlushLog();
    d = ComputeScoreDistribution(C.Table, 0, progress);
    try {
        SaveScoreDistribution(file, d);
    } catch (const IOError& e) {
        LogFile() << e.what() << '\n';
        FlushLog();
    }
    return d;
}

double DistributionSum(const ScoreDistribution& d) {
    double sum = 0.0;
    for (double p : d) sum += p;
    return sum;
}

double DistributionMean(const ScoreDistribution& d) {
    double sum = 0.0;
    for (std::size_t s = 0; s < d.size(); ++s) sum += double(s) * d[s];
    return sum;
}

double DistributionVariance(const ScoreDistribution& d) {
    const double mean = DistributionMean(d);
    double sum = 0.0;
    for (std::size_t s = 0; s < d.size(); ++s) sum += (double(s) - mean) * (double(s) - mean) * d[s];
    return sum;
}

double ScorePercentile(const ScoreDistribution& d, int score) {
    score = int(CheckRange(score, 0, MaxPoints, "final score"));
    double below = 0.0;
    for (int s = 0; s < score; ++s) below += d[std::size_t(s)];
    return below + 0.5 * d[std::size_t(score)];
}

double ChanceToReach(const ScoreDistribution& d, int score) {
    score = int(CheckRange(score, 0, MaxPoints, "final score"));
    double sum = 0.0;
    for (int s = MaxPoints; s >= score; --s) sum += d[std::size_t(s)];
    return sum;
}

int ScoreAtPercentile(const ScoreDistribution& d, double p) {
    double sum = 0.0;
    for (int s = 0; s < NFinalScores; ++s) {
        sum += d[std::size_t(s)];
        // A sum that rounding leaves a hair below 1 still reaches the 100th percentile.
        if (sum >= p || (p >= 1.0 && sum >= 1.0 - 1e-12)) return s;
    }
    return MaxPoints;
}

}  // namespace quintor
