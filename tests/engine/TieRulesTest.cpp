// Ties decided as exact arithmetic decides them. Optimal play worked out in exact rational
// arithmetic for small game states; the whole variance table against a plain computation that
// applies the tie rules itself; the lattice of the variance kernel against the sub-bag lists; and
// the option list's order.
#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "EngineTestTables.h"
#include "engine/QuintorEventLists.h"
#include "engine/QuintorScoreDistribution.h"
#include "engine/QuintorVarianceKernel.h"

namespace quintor {
namespace {

// The sanitizers' build runs the whole test suite about ten times slower: there the longest checks
// take a part that stands for the whole.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif

constexpr int NRolls = NFiveDiceBags;
constexpr int NLevels = NRollsPerTurn;   // rolls left after a roll: 0, 1, 2

GameState State(std::initializer_list<int> free, int need, bool chip) {
    GameState g{0, std::uint16_t(need), chip};
    for (int c : free) g.free = WithCategory(g.free, c);
    return g;
}

int Index(const GameState& g) { return GameStateIndex(g); }

// The points of scoring five-dice bag r in category c; next becomes the successor.
int Score(const GameState& g, ValueBagRank r, int c, GameState& next, ScoreCard& delta) {
    Event e;
    e.aspect = Scoring;
    e.category = Category(c);
    ApplyScoringEvent(OfficialRules, g, TurnState{0, ToChoose, r}, next, delta, e);
    return delta[GrandTotal];
}

// ---- Exact play ---------------------------------------------------------------------------------
// A turn averages three rolls of at most five dice each, so the values of a game state with n free
// categories are whole multiples of 6^-15n: exact play needs integers only. Every value of a turn
// of such a state is held multiplied by 6^(15 n).

struct ExactValue {
    mpz_class e, m;   // expected score to come and its second moment, scaled
};

// One turn of a game state: by level l (rolls left after the roll) and roll index i, the value
// of the choice made, its second moment, and the choice; the keepers' values by bag.
struct ExactTurn {
    std::array<std::array<mpz_class, NRolls>, NLevels> R, M;
    std::array<std::array<mpz_class, NValueBag5Ranks>, NLevels> K, KM;   // l = 1, 2
    std::array<Category, NRolls> cat{};                                  // best category
    std::array<std::array<ValueBagRank, NRolls>, NLevels> keep{};        // best keeper, l = 1, 2
    std::array<std::array<bool, NRolls>, NLevels> scores{};              // the choice scores
    mpz_class scale;
};

class ExactPlay {
  public:
    ExactPlay() {
        // Completions with their number of equally likely ordered outcomes out of 6^m.
        for (int k = 0; k < NValueBag5Ranks; ++k) {
            const ValueBag& kept = ValueBagTbl[k].bag;
            const int m = NDice - kept.size();
            for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
                const ValueBag& roll = ValueBagTbl[r].bag;
                if (!IsSubBag(kept, roll)) continue;
                long count = Factorial(m);
                for (int v = 0; v < NValues; ++v) count /= Factorial(roll.cnt[v] - kept.cnt[v]);
                completions_[k].push_back({r - NValueBag4Ranks, count});
            }
            mpz_ui_pow_ui(outcomes_[k].get_mpz_t(), NValues, unsigned(m));
        }
    }

    const ExactValue& Value(const GameState& g) {
        const int idx = Index(g);
        if (auto it = memo_.find(idx); it != memo_.end()) return it->second;
        ExactValue v;
        if (g.free != 0) {
            const auto t = Turn(g);
            v = Start(*t);
        }
        return memo_[idx] = v;
    }

    static mpz_class Scale(const GameState& g) {
        mpz_class s;
        mpz_ui_pow_ui(s.get_mpz_t(), NValues, 15u * unsigned(std::popcount(unsigned(g.free))));
        return s;
    }
    static double Mean(const mpz_class& e, const mpz_class& scale) {
        return mpq_class(e, scale).get_d();
    }
    static double Variance(const mpz_class& e, const mpz_class& m, const mpz_class& scale) {
        return mpq_class(m * scale - e * e, scale * scale).get_d();
    }

    // The turn of g (free not empty), the tie orders applied to exact values: the lowest
    // category, the sub-bag nearest the end of the list, scoring rather than keeping.
    std::unique_ptr<ExactTurn> Turn(const GameState& g) {
        auto T = std::make_unique<ExactTurn>();
        T->scale = Scale(g);
        mpz_class turn;   // 6^15: one turn's worth of the successors' scale
        mpz_ui_pow_ui(turn.get_mpz_t(), NValues, 15);
        for (int i = 0; i < NRolls; ++i) {
            bool any = false;
            for (int c = 0; c < NCategories; ++c) {
                if (!InSet(g.free, c)) continue;
                GameState next;
                ScoreCard delta;
                const long pts = Score(g, ValueBagRank(NValueBag4Ranks + i), c, next, delta);
                const ExactValue& s = Value(next);
                mpz_class v = pts * T->scale + s.e * turn;
                if (!any || v > T->R[0][i]) {
                    T->R[0][i] = v;
                    T->M[0][i] = pts * pts * T->scale + 2 * pts * s.e * turn + s.m * turn;
                    T->cat[i] = Category(c);
                    any = true;
                }
            }
        }
        for (int l = 1; l < NLevels; ++l) {
            for (int k = 0; k < NValueBag5Ranks; ++k) {
                T->K[l][k] = Average(k, T->R[l - 1]);
                T->KM[l][k] = Average(k, T->M[l - 1]);
            }
            for (int i = 0; i < NRolls; ++i) {
                const IndexRange sr = SubBagRanges[i];
                ValueBagRank best = SubBagTbl[sr.last];
                for (int s = sr.last - 1; s >= sr.first; --s)
                    if (T->K[l][SubBagTbl[s]] > T->K[l][best]) best = SubBagTbl[s];
                T->keep[l][i] = best;
                T->scores[l][i] = !(T->K[l][best] > T->R[0][i]);
                T->R[l][i] = T->scores[l][i] ? T->R[0][i] : T->K[l][best];
                T->M[l][i] = T->scores[l][i] ? T->M[0][i] : T->KM[l][best];
            }
        }
        return T;
    }

    ExactValue Start(const ExactTurn& T) const {
        return {Average(0, T.R[NLevels - 1]), Average(0, T.M[NLevels - 1])};
    }

    const std::map<int, ExactValue>& Known() const { return memo_; }
    // The rolls completing bag k, with their number of ordered outcomes out of Outcomes(k).
    const std::vector<std::pair<int, long>>& Completions(int k) const { return completions_[k]; }
    const mpz_class& Outcomes(int k) const { return outcomes_[k]; }

  private:
    static long Factorial(int n) { return n <= 1 ? 1 : n * Factorial(n - 1); }

    // The mean over the completions of bag k; exact, the sum being a multiple of 6^m.
    mpz_class Average(int k, const std::array<mpz_class, NRolls>& x) const {
        mpz_class sum = 0;
        for (const auto& [i, count] : completions_[k]) sum += count * x[i];
        EXPECT_TRUE(mpz_divisible_p(sum.get_mpz_t(), outcomes_[k].get_mpz_t()));
        mpz_class q;
        mpz_divexact(q.get_mpz_t(), sum.get_mpz_t(), outcomes_[k].get_mpz_t());
        return q;
    }

    std::array<std::vector<std::pair<int, long>>, NValueBag5Ranks> completions_;
    std::array<mpz_class, NValueBag5Ranks> outcomes_;
    std::map<int, ExactValue> memo_;
};

TEST(TieRules, ExactRationalPlayOfSmallStatesGivesTheEnginesValuesChoicesAndVariances) {
    const GameStateTable& E = OptimalTable();
    const GameStateTable& V = VarianceTable();
    ExactPlay exact;
    // Only Fives and Small Straight free, 20 to go for the bonus: the engine once let the last
    // bits of tied sums choose here.
    const GameState example = State({Fives, SmallStraight}, 20, false);
    const ExactValue& ex = exact.Value(example);
    const mpz_class exScale = ExactPlay::Scale(example);
    EXPECT_NEAR(ExactPlay::Variance(ex.e, ex.m, exScale), 384.6233523838177, 1e-9);
    EXPECT_NEAR(V[Index(example)], 384.6233523838177, 1e-9);
    // One to three free categories: upper boxes near and far from the bonus, jokers, the extra
    // bonus, Quintor and Chance; every state they lead to is checked too. The sanitizers' build
    // leaves out the two with the most states.
    for (const GameState& g :
         {State({FullHouse, SmallStraight, LargeStraight}, 0, true), State({Twos}, 4, false),
          State({QuintorCat}, 0, false), State({Chance}, 0, true)})
        exact.Value(g);
    if (!Sanitized)
        for (const GameState& g :
             {State({Aces, Twos, Threes}, 6, false), State({Sixes, QuintorCat, Chance}, 18, false),
              State({ThreeOfAKind, FourOfAKind, Fours}, 12, true)})
            exact.Value(g);

    const CacheState& C = *OptimalStrategy->Cache;
    int states = 0, nearTies = 0;
    for (const auto& [idx, value] : exact.Known()) {
        const GameState g = GameStateOfIndex(idx);
        const std::string where = GameStateToString(g);
        const mpz_class scale = ExactPlay::Scale(g);
        ASSERT_NEAR(E[idx], ExactPlay::Mean(value.e, scale), 1e-9) << where;
        ASSERT_NEAR(V[idx], ExactPlay::Variance(value.e, value.m, scale), 1e-9) << where;
        if (g.free == 0) continue;
        ++states;
        const auto T = exact.Turn(g);
        ComputeOptimalTurn(g);
        for (int l = 0; l < NLevels; ++l) {
            for (int i = 0; i < NRolls; ++i) {
                const ValueBagRank r = ValueBagRank(NValueBag4Ranks + i);
                const std::string at =
                    where + " l=" + std::to_string(l) + " r=" + std::to_string(r);
                ASSERT_NEAR(C.RollValue[l][r], ExactPlay::Mean(T->R[l][i], scale), 1e-9) << at;
                ASSERT_EQ(C.BestCategory[r], T->cat[i]) << at;
                ASSERT_TRUE(l == 0 || C.BestKeeper[l][r] == T->keep[l][i]) << at;
                Event e;
                ChooseEvent(OptimalStrategy, g, {std::uint8_t(l), ToChoose, r}, 0, e, false);
                const bool scores = l == 0 || T->scores[l][i];
                ASSERT_EQ(e.aspect, scores ? Scoring : Keeping) << at;
                ASSERT_EQ(scores ? e.category : e.arg, scores ? T->cat[i] : T->keep[l][i]) << at;
                ASSERT_NEAR(StrategyVariance(OptimalStrategy, g, {std::uint8_t(l), ToChoose, r}),
                            ExactPlay::Variance(T->R[l][i], T->M[l][i], scale), 1e-9)
                    << at;
                // Keepers worth exactly the best whose computed values are not all the same bits.
                if (l == 0) continue;
                const IndexRange sr = SubBagRanges[i];
                int tied = 0;
                bool sameBits = true;
                for (int s = sr.first; s <= sr.last; ++s) {
                    const ValueBagRank sub = SubBagTbl[s];
                    if (T->K[l][sub] != T->K[l][T->keep[l][i]]) continue;
                    ++tied;
                    sameBits = sameBits && C.KeeperValue[l][sub] == C.KeeperValue[l][T->keep[l][i]];
                }
                nearTies += tied > 1 && !sameBits;
            }
            if (l == 0) continue;
            for (int k = 0; k < NValueBag5Ranks; ++k) {
                ASSERT_NEAR(C.KeeperValue[l][k], ExactPlay::Mean(T->K[l][k], scale), 1e-9);
                ASSERT_NEAR(StrategyVariance(OptimalStrategy, g,
                                             {std::uint8_t(l), ToRoll, ValueBagRank(k)}),
                            ExactPlay::Variance(T->K[l][k], T->KM[l][k], scale), 1e-9)
                    << where << " l=" << l << " k=" << k;
            }
        }
    }
    EXPECT_GT(states, Sanitized ? 10 : 80);
    EXPECT_GT(nearTies, 0) << "no exact tie with differing bits: the rule was not exercised";
}

// ---- Exact distributions --------------------------------------------------------------------
// The final score distribution from a point of a game, in rational arithmetic, following the
// exact turns' choices roll by roll.
using ExactDist = std::map<int, mpq_class>;

class ExactDistributions {
  public:
    explicit ExactDistributions(ExactPlay& play) : play_(play) {}

    ExactDist From(const GameState& g, int total, const TurnState& t) {
        ExactDist out;
        if (g.free == 0) {
            out[total] = 1;
            return out;
        }
        const auto T = play_.Turn(g);
        std::map<int, mpq_class> m, q;   // roll index -> mass with l rolls left; scored mass
        std::map<int, mpq_class> kept;   // bag -> mass
        int l = t.rollsLeft;
        if (t.phase == ToChoose) {
            m[t.dice - NValueBag4Ranks] = 1;
        } else {
            kept[t.dice] = 1;
            m = Complete(kept);
            --l;
        }
        for (;;) {
            kept.clear();
            for (const auto& [i, p] : m) {
                if (l > 0 && !T->scores[l][i])
                    kept[T->keep[l][i]] += p;
                else
                    q[i] += p;
            }
            if (l == 0 || kept.empty()) break;
            m = Complete(kept);
            --l;
        }
        for (const auto& [i, p] : q) {
            GameState next;
            ScoreCard delta;
            const int pts = Score(g, ValueBagRank(NValueBag4Ranks + i), T->cat[i], next, delta);
            for (const auto& [s, pr] : Rest(next)) out[total + pts + s] += p * pr;
        }
        return out;
    }

  private:
    const ExactDist& Rest(const GameState& g) {
        const int idx = Index(g);
        if (auto it = rest_.find(idx); it != rest_.end()) return it->second;
        return rest_[idx] = From(g, 0, InitialTurnState);
    }
    std::map<int, mpq_class> Complete(const std::map<int, mpq_class>& kept) const {
        std::map<int, mpq_class> m;
        for (const auto& [k, p] : kept)
            for (const auto& [i, count] : play_.Completions(k))
                m[i] += p * mpq_class(mpz_class(count), play_.Outcomes(k));
        return m;
    }

    ExactPlay& play_;
    std::map<int, ExactDist> rest_;
};

// Largest difference between the engine's distribution and the exact one.
double MaxDifference(const ScoreDistribution& d, const ExactDist& exact) {
    double worst = 0.0;
    for (int s = 0; s < NFinalScores; ++s) {
        const auto it = exact.find(s);
        const double e = it == exact.end() ? 0.0 : it->second.get_d();
        worst = std::max(worst, std::fabs(d[std::size_t(s)] - e));
    }
    for (const auto& [s, p] : exact) EXPECT_TRUE(s >= 0 && s <= MaxPoints);
    return worst;
}

TEST(TieRules, DistributionsFromAnyPointOfSmallStatesAreTheExactOnes) {
    const GameStateTable& E = OptimalTable();
    ExactPlay play;
    ExactDistributions exact(play);
    std::vector<GameState> states = {State({Chance}, 0, true), State({Twos}, 4, false),
                                      State({Fives, SmallStraight}, 20, false),
                                      State({FullHouse, SmallStraight, LargeStraight}, 0, true)};
    if (!Sanitized) states.push_back(State({Sixes, QuintorCat, Chance}, 18, false));
    int points = 0;
    for (const GameState& g : states) {
        const std::string where = GameStateToString(g);
        std::vector<TurnState> turns = {InitialTurnState};
        // Rolls to choose from at every level, and kept bags about to be rolled: a pair, three
        // of a kind, a straight's start, nothing kept, all five kept.
        for (const int r : {NValueBag4Ranks, NValueBag4Ranks + 57, NValueBag5Ranks - 1})
            for (int l = 0; l < NLevels; ++l) turns.push_back({std::uint8_t(l), ToChoose, ValueBagRank(r)});
        for (const int k : {0, 8, 30, 100, 300})
            for (int l = 1; l < NLevels; ++l) turns.push_back({std::uint8_t(l), ToRoll, ValueBagRank(k)});
        for (const TurnState& t : turns) {
            const int total = 123;
            const ScoreDistribution d = DistributionFrom(E, g, total, t, 2);
            const ExactDist x = exact.From(g, total, t);
            EXPECT_LT(MaxDifference(d, x), 1e-14)
                << where << " l=" << int(t.rollsLeft) << " phase=" << int(t.phase) << " dice=" << t.dice;
            ++points;
        }
        // Every option's chance to reach targets below, at and above the mean.
        const TurnState roll{1, ToChoose, ValueBagRank(NValueBag4Ranks + 57)};
        const int mean = 123 + int(E[Index(g)]);
        for (const int target : {mean - 20, mean, mean + 25}) {
            const TargetChances c = ChancesToReach(E, g, 123, roll, target, 2);
            ASSERT_EQ(c.options.size(), c.chance.size());
            for (std::size_t o = 0; o < c.options.size(); ++o) {
                mpq_class reach = 0;
                for (const auto& [s, p] : exact.From(c.options[o].game, c.options[o].total, c.options[o].turn))
                    if (s >= target) reach += p;
                EXPECT_NEAR(c.chance[o], reach.get_d(), 1e-14) << where << " option " << o;
            }
        }
    }
    EXPECT_GE(points, 80);   // the sanitizers' build takes exactly 80 of the points
}

// ---- The whole variance table by plain loops -------------------------------------------------
// Its own expected values and variances: sums over the completion lists (the law of total
// variance at every roll), the whole sub-bag list of every roll scanned, the tie rules applied to
// the largest value; the layers of game states by number of free categories, so every successor
// is done first. Needs the free upper boxes can no longer reach play alike and are done once.

class PlainTables {
  public:
    PlainTables() : e_(NGameStates, -1.0), v_(NGameStates, -1.0) {
        // The probability of each roll's sub-bag completing to the roll, from the completion lists.
        for (int k = 0; k < NValueBag5Ranks; ++k)
            for (int j = CompletionRanges[k].first; j <= CompletionRanges[k].last; ++j) {
                const IndexRange sr = SubBagRanges[CompletionTbl[j].vbr - NValueBag4Ranks];
                int s = sr.first;
                while (SubBagTbl[s] != k) ++s;
                completes_[std::size_t(s)] = CompletionTbl[j].prob;
            }
    }

    void Layers(int most) {
        std::vector<std::vector<std::pair<CategorySet, bool>>> layers(NCategories + 1);
        for (int f = 0; f <= FullCategorySet; ++f) {
            auto& layer = layers[std::size_t(std::popcount(unsigned(f)))];
            layer.push_back({CategorySet(f), false});
            if (!InSet(CategorySet(f), QuintorCat)) layer.push_back({CategorySet(f), true});
        }
        const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
        for (int n = 0; n <= most; ++n) {
            const auto& layer = layers[std::size_t(n)];
            std::vector<std::thread> pool;
            for (int t = 0; t < threads; ++t)
                pool.emplace_back([&layer, threads, t, this] {
                    for (std::size_t j = std::size_t(t); j < layer.size();
                         j += std::size_t(threads))
                        Group(layer[j].first, layer[j].second);
                });
            for (auto& th : pool) th.join();
        }
    }
    double Mean(int idx) const { return e_[std::size_t(idx)]; }
    double Variance(int idx) const { return v_[std::size_t(idx)]; }

  private:
    // Scoring roll i in category c: the points without the upper bonus, the upper points that
    // count toward it (-1 for the other boxes) and the successor's entry at need 0.
    struct Scoring {
        int cat, points, upper, next;
    };

    void Group(CategorySet free, bool chip) {
        std::vector<Scoring> scorings;
        std::array<int, NRolls + 1> first{};
        int reach = 0;   // the most the free upper boxes can still add
        for (int c = Aces; c <= Sixes; ++c) reach += InSet(free, c) ? NDice * (c + 1) : 0;
        for (int i = 0; i < NRolls; ++i) {
            first[std::size_t(i)] = int(scorings.size());
            for (int c = 0; c < NCategories; ++c) {
                if (!InSet(free, c)) continue;
                GameState next;
                ScoreCard delta;
                const ValueBagRank r = ValueBagRank(NValueBag4Ranks + i);
                const int pts = Score(GameState{free, 0, chip}, r, c, next, delta);
                scorings.push_back({c, pts, c <= Sixes ? int(delta[c]) : -1, Index(next)});
            }
        }
        first[NRolls] = int(scorings.size());
        for (int need = 0; need <= MaxBonusThreshold; ++need) {
            const std::size_t idx = std::size_t(Index(GameState{free, std::uint16_t(need), chip}));
            if (free == 0) {
                e_[idx] = v_[idx] = 0.0;
            } else if (need > reach + 1) {
                e_[idx] = e_[idx - 1];
                v_[idx] = v_[idx - 1];
            } else {
                Turn(scorings, first, need, idx);
            }
        }
    }

    void Turn(const std::vector<Scoring>& scorings, const std::array<int, NRolls + 1>& first,
              int need, std::size_t idx) {
        std::array<std::array<double, NRolls>, NLevels> R, VR;
        for (int i = 0; i < NRolls; ++i) {
            std::array<double, NCategories> v, var;
            double best = -1e300;
            for (int s = first[std::size_t(i)]; s < first[std::size_t(i) + 1]; ++s) {
                const Scoring& sc = scorings[std::size_t(s)];
                int pts = sc.points, left = need;
                if (sc.upper >= 0 && need > 0) {
                    left = need <= sc.upper ? 0 : need - sc.upper;
                    pts += need <= sc.upper ? UpperSectionBonus : 0;
                }
                const std::size_t next = std::size_t(sc.next + left);
                v[sc.cat] = pts + e_[next];
                var[sc.cat] = v_[next];
                best = std::max(best, v[sc.cat]);
            }
            for (int s = first[std::size_t(i)];; ++s) {
                const int c = scorings[std::size_t(s)].cat;
                if (v[c] >= best - TieTolerance) {
                    R[0][i] = v[c];
                    VR[0][i] = var[c];
                    break;
                }
            }
        }
        for (int l = 1; l < NLevels; ++l) {
            // The completion-list sums, term by term from the side of the rolls: roll i adds
            // its share to each bag it completes (its sub-bags), so the sums run side by side.
            std::array<double, NValueBag5Ranks> K{}, VK{};
            for (int i = 0; i < NRolls; ++i)
                for (int s = SubBagRanges[i].first; s <= SubBagRanges[i].last; ++s)
                    K[SubBagTbl[s]] += completes_[std::size_t(s)] * R[l - 1][i];
            for (int i = 0; i < NRolls; ++i)
                for (int s = SubBagRanges[i].first; s <= SubBagRanges[i].last; ++s) {
                    const double d = R[l - 1][i] - K[SubBagTbl[s]];
                    VK[SubBagTbl[s]] += completes_[std::size_t(s)] * (d * d + VR[l - 1][i]);
                }
            for (int i = 0; i < NRolls; ++i) {
                const IndexRange sr = SubBagRanges[i];
                double best = R[0][i];
                for (int s = sr.first; s <= sr.last; ++s) best = std::max(best, K[SubBagTbl[s]]);
                if (R[0][i] >= best - TieTolerance) {   // scoring now rather than keeping
                    R[l][i] = R[0][i];
                    VR[l][i] = VR[0][i];
                    continue;
                }
                int s = sr.last;
                while (K[SubBagTbl[s]] < best - TieTolerance) --s;
                R[l][i] = K[SubBagTbl[s]];
                VR[l][i] = VK[SubBagTbl[s]];
            }
        }
        double m = 0.0, acc = 0.0;
        for (int i = 0; i < NRolls; ++i)
            m += ValueBagTbl[NValueBag4Ranks + i].prob * R[NLevels - 1][i];
        for (int i = 0; i < NRolls; ++i) {
            const double d = R[NLevels - 1][i] - m;
            acc += ValueBagTbl[NValueBag4Ranks + i].prob * (d * d + VR[NLevels - 1][i]);
        }
        e_[idx] = m;
        v_[idx] = acc;
    }

    std::vector<double> e_, v_;
    std::array<double, NSubBags> completes_{};
};

// Under the sanitizers the plain loops run some ten times slower: there the states with at most
// four free categories (all their successors among them) stand for the whole table.
constexpr int PlainLayers = Sanitized ? 4 : NCategories;

TEST(TieRules, WholeVarianceTableMatchesAPlainTieExactComputation) {
    const GameStateTable& E = OptimalTable();
    const GameStateTable& V = VarianceTable();
    auto plain = std::make_unique<PlainTables>();
    plain->Layers(PlainLayers);
    int checked = 0, wrong = 0;
    for (int idx = 0; idx < NGameStates; ++idx) {
        const GameState g = GameStateOfIndex(idx);
        if (std::popcount(unsigned(g.free)) > PlainLayers) continue;
        ++checked;
        const bool ok = std::fabs(plain->Mean(idx) - E[idx]) <= 1e-9 &&
                        std::fabs(plain->Variance(idx) - V[idx]) <= 1e-9;
        if (!ok && ++wrong <= 5)
            ADD_FAILURE() << GameStateToString(g) << ": mean " << E[idx] << " plain "
                          << plain->Mean(idx) << ", variance " << V[idx] << " plain "
                          << plain->Variance(idx);
    }
    EXPECT_EQ(wrong, 0) << "of " << checked << " entries";
    const int ex = Index(State({Fives, SmallStraight}, 20, false));
    EXPECT_NEAR(plain->Variance(ex), 384.6233523838177, 1e-9);
}

TEST(TieRules, VarianceKernelChoosesAsTheTurnKernelWithOrWithoutScanningTheSubBagLists) {
    const GameStateTable& E = OptimalTable();
    const GameStateTable& V = VarianceTable();
    auto lattice = std::make_unique<kernel::TurnTables>(),
         scan = std::make_unique<kernel::TurnTables>(),
         turn = std::make_unique<kernel::TurnTables>();
    auto vl = std::make_unique<kernel::VarianceTables>(),
         vs = std::make_unique<kernel::VarianceTables>();
    std::mt19937 rng(20261207);
    std::vector<GameState> states = {State({Fives, SmallStraight}, 20, false), InitialGameState};
    while (states.size() < 300)
        if (const GameState g = GameStateOfIndex(int(rng() % NGameStates)); g.free != 0)
            states.push_back(g);
    for (const GameState& g : states) {
        const std::string where = GameStateToString(g);
        kernel::ComputeVarianceTurnTables(E, V, g, *lattice, *vl, false);
        kernel::ComputeVarianceTurnTables(E, V, g, *scan, *vs, true);
        kernel::ComputeTurnTables(E, g, kernel::Reducer::Expected, true, *turn);
        // The single state gets the bits its table entries got in the bulk run.
        ASSERT_EQ(lattice->start, E[Index(g)]) << where;
        ASSERT_EQ(vl->start, V[Index(g)]) << where;
        ASSERT_EQ(vs->start, V[Index(g)]) << where;
        for (int i = 0; i < NRolls; ++i) {
            ASSERT_EQ(lattice->cat[i], turn->cat[i]) << where << " " << i;
            for (int l = 0; l < NLevels; ++l) {
                ASSERT_EQ(lattice->R[l][i], turn->R[l][i]) << where << " " << i;
                ASSERT_EQ(vl->R[l][i], vs->R[l][i]) << where << " " << i;
                if (l == 0) continue;
                ASSERT_EQ(lattice->keep[l][i], turn->keep[l][i]) << where << " " << i;
                ASSERT_EQ(scan->keep[l][i], turn->keep[l][i]) << where << " " << i;
            }
        }
    }
}

TEST(TieRules, TurnTablesOfAGroupsNeedsSideBySideHoldEachStatesOwnBitsAndKeepers) {
    const GameStateTable& E = OptimalTable();
    auto single = std::make_unique<kernel::TurnTables>();
    auto group = std::make_unique<std::array<kernel::TurnTables, kernel::GroupLanes>>();
    std::mt19937 rng(7122026);
    for (int round = 0; round < 120; ++round) {
        GameState g = GameStateOfIndex(int(rng() % NGameStates));
        if (g.free == 0) continue;
        if (InSet(g.free, QuintorCat)) g.chip = false;
        const int n = 1 + round % kernel::GroupLanes;
        std::uint16_t need[kernel::GroupLanes];
        for (int j = 0; j < n; ++j) need[j] = std::uint16_t(rng() % 64);
        // Both widths of lanes: the pairs run wherever the wider lanes do not.
        const auto width = round / kernel::GroupLanes % 2 == 0 ? kernel::LaneWidth::Widest
                                                               : kernel::LaneWidth::Pairs;
        kernel::ExpectedTurnTablesOfGroup(E, g.free, g.chip, need, n, group->data(), true, width);
        for (int j = 0; j < n; ++j) {
            const GameState s{g.free, need[j], g.chip};
            const std::string where = GameStateToString(s) + " lane " + std::to_string(j) +
                                      (width == kernel::LaneWidth::Widest ? " widest" : " pairs");
            kernel::ComputeTurnTables(E, s, kernel::Reducer::Expected, true, *single);
            const kernel::TurnTables& t = (*group)[std::size_t(j)];
            ASSERT_EQ(t.start, single->start) << where;
            ASSERT_EQ(t.start, E[Index(s)]) << where;
            for (int l = 0; l < NLevels; ++l)
                for (int i = 0; i < NRolls; ++i) ASSERT_EQ(t.R[l][i], single->R[l][i]) << where;
            for (int l = 1; l < NLevels; ++l) {
                for (int k = 0; k < NValueBag5Ranks; ++k) ASSERT_EQ(t.K[l][k], single->K[l][k]) << where;
                for (int i = 0; i < NRolls; ++i) {
                    ASSERT_EQ(t.keep[l][i], single->keep[l][i]) << where << " roll " << i;
                    ASSERT_EQ(t.scoreNow[l][i], !KeepRatherThanScore(t.R[0][i], t.R[l][i])) << where;
                    ASSERT_EQ(t.scoreNow[l][i], single->scoreNow[l][i]) << where << " roll " << i;
                }
            }
            // The categories chosen from the precomputed candidates, lane by lane and for all
            // lanes at once, are those chosen one candidate at a time.
            for (int i = 0; i < NRolls; ++i) {
                ASSERT_EQ(single->cat[i], kernel::BestCategory(E, s, *single, i)) << where << " roll " << i;
                ASSERT_EQ(t.cat[i], single->cat[i]) << where << " roll " << i;
            }
        }
    }
}

TEST(TieRules, SortedOptionsPutTheFirstOfTheTiedBestFirstAndKeepTiesInTheirOrder) {
    EList list;
    auto sorted = [&list](std::initializer_list<double> values) {
        InitEList(list, InitialGameState, InitialTurnState);
        int n = 0;
        for (double v : values) ExtendEList(list, Event{}, v, double(n++));
        SortEList(list);
        std::vector<int> order;
        for (int i = 0; i < list.len; ++i) order.push_back(int(list.entry[std::size_t(i)].sd));
        return order;
    };
    // Values a few units in the last place apart are one value: they keep the order appended.
    const double hair = 4e-13;
    EXPECT_EQ(sorted({3.0, 5.0 - hair, 5.0, 3.0 + hair, 3.0, 7.0 - 2.5}),
              (std::vector<int>{1, 2, 5, 0, 3, 4}));
    EXPECT_EQ(sorted({1.0, 2.0, 2.0 + hair, 2.0 - hair}), (std::vector<int>{1, 2, 3, 0}));
    // A chain of near-equal steps does not carry a later option to the top: the largest value
    // decides which options tie with the best.
    EXPECT_EQ(sorted({5.0 - 1.5e-9, 5.0 - 0.8e-9, 5.0}), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(sorted({5.0 - 2e-9, 5.0}), (std::vector<int>{1, 0}));
    EXPECT_EQ(sorted({4.0}), (std::vector<int>{0}));
}

}  // namespace
}  // namespace quintor
