// The turn kernel's building blocks against the plain lists and rules they replace.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>

#include "EngineTables.h"
#include "engine/QuintorTurnKernel.h"

namespace quintor {
namespace {

using namespace enginetest;

TEST(TurnKernel, ScoringAndSuccessorsFollowApplyScoringEvent) {
    const GameStateTable& ref = CompleteOptimalTable();
    std::mt19937 rng(3);
    double R0[kernel::NRolls];
    for (int n = 0; n < 1000; ++n) {
        const GameState g = GameStateOfIndex(int(rng() % NGameStates));
        if (g.free == 0) continue;
        std::set<int> seen;
        kernel::ScoringValues(ref, g, R0);
        for (int r = NValueBag4Ranks; r < NValueBag5Ranks; ++r) {
            double best = -2147483647.0;
            for (int c = 0; c < NCategories; ++c) {
                if (!InSet(g.free, c)) continue;
                best = std::max(best, NaiveCandidate(g, ref, ValueBagRank(r), Category(c)));
                GameState next;
                ScoreCard delta;
                Event e;
                e.aspect = Scoring;
                e.category = Category(c);
                ApplyScoringEvent(OfficialRules, g, TurnState{0, ToChoose, ValueBagRank(r)}, next,
                                  delta, e);
                seen.insert(GameStateIndex(next));
            }
            ASSERT_EQ(R0[r - NValueBag4Ranks], best) << GameStateToString(g) << " " << r;
        }
        std::array<GameState, 48> succ;
        const int ns = kernel::Successors(g, succ);
        std::set<int> listed;
        for (int k = 0; k < ns; ++k) listed.insert(GameStateIndex(succ[k]));
        ASSERT_EQ(int(listed.size()), ns) << "listed twice";
        ASSERT_EQ(listed, seen) << GameStateToString(g);
    }
}

TEST(TurnKernel, NeedClassesJoinOnlyNeedsThatBehaveAlike) {
    // Only Sixes free: what matters is how many sixes the need asks for.
    const kernel::NeedClasses& six = kernel::NeedClassesFor(CategorySet(1u << Sixes));
    EXPECT_EQ(six.count, 6);
    for (int n = 0; n < 64; ++n) {
        const int sixes = n == 0 || n > 30 ? 0 : (n + 5) / 6;
        EXPECT_EQ(six.classOf[n], six.classOf[sixes == 0 ? 0 : 6 * sixes]) << n;
        if (n > 0 && n <= 30) {
            EXPECT_NE(six.classOf[n], six.classOf[0]) << n;
        }
    }
    EXPECT_EQ(kernel::NeedClassesFor(CategorySet(1u << Chance)).count, 1);
    EXPECT_EQ(kernel::NeedClassesFor(FullCategorySet).count, 64);
}

TEST(TurnKernel, LayersHoldEveryStateOnceAndRunOnTheirOwnThreadsWithCallerSteps) {
    const auto& layers = kernel::StateLayers();
    ASSERT_EQ(int(layers.size()), NCategories + 1);
    std::vector<char> seen(NGameStates, 0);
    for (std::size_t k = 0; k < layers.size(); ++k) {
        for (const kernel::StateGroup& grp : layers[k]) {
            ASSERT_EQ(CategorySetSize(grp.free), int(k));
            for (int n = 0; n < 64; ++n) seen[GameStateIndex(State(grp.free, n, grp.chip))]++;
        }
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), NGameStates);

    const std::thread::id me = std::this_thread::get_id();
    std::int32_t known = 1000;
    int steps = 0, foreign = 0;
    std::atomic<int> groups{0};
    kernel::RunLayers(
        2,
        [&](const kernel::StateGroup&) {
            ++groups;
            return std::int64_t(64);
        },
        known,
        [&] {
            ++steps;
            foreign += std::this_thread::get_id() != me;
        });
    EXPECT_EQ(groups, 12288);
    EXPECT_EQ(known, 1000 + NGameStates);
    EXPECT_EQ(steps, (1000 + NGameStates) / 1024);
    EXPECT_EQ(foreign, 0);

    known = 0;
    EXPECT_THROW(kernel::RunLayers(
                     2,
                     [&](const kernel::StateGroup& grp) -> std::int64_t {
                         if (grp.free == 1000) throw RangeError("stop");
                         return 1;
                     },
                     known, nullptr),
                 RangeError);
    EXPECT_LT(known, 12288);
}

}  // namespace
}  // namespace quintor
