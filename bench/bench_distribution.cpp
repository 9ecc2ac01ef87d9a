// The optimal score distribution (its own program, so its peak memory is its own) and the
// luck-and-skill numbers of a complete game.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>

#include "GameForBench.h"
#include "engine/QuintorScoreDistribution.h"
#include "engine/QuintorStrategyAnalysis.h"
#include "play/QuintorLuckAndSkill.h"
#include "play/QuintorStartup.h"

namespace quintor {
namespace {

const GameStateTable& Table() {
    static const GameStateTable t = [] {
        CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
        ComputeAllOptimalValues(0);
        OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
        return OptimalStrategy->Cache->Table;
    }();
    return t;
}

// The whole forward pass from a complete table; arg = threads.
void BM_ComputeScoreDistribution(benchmark::State& state) {
    const GameStateTable& t = Table();
    ScoreDistribution d;
    for (auto _ : state) {
        d = ComputeScoreDistribution(t, int(state.range(0)));
        benchmark::DoNotOptimize(d.data());
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_MB"] = double(u.ru_maxrss) / 1024.0;
    state.counters["mean"] = DistributionMean(d);
    state.counters["sd"] = std::sqrt(DistributionVariance(d));
}
BENCHMARK(BM_ComputeScoreDistribution)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(2);

// The chance to reach a target from every option of a point, two threads. arg = the turn:
// 1 is the first roll of a game (a roll of 1 1 2 3 5 with two rolls left), 0 the start of a game
// (its 252 outcomes); 5 a roll at the start of the fifth turn, 8 free categories left.
void BM_ChancesToReachEveryOption(benchmark::State& state) {
    const GameStateTable& t = Table();
    GameState g = InitialGameState;
    TurnState turn{2, ToChoose, ValueBagRank(NValueBag4Ranks + 40)};
    int total = 0, target = 300;
    if (state.range(0) == 0) turn = InitialTurnState;
    if (state.range(0) == 5) {
        // Aces, Sixes, Three of a Kind, Full House and Chance scored.
        g.free = 8191 & ~((1u << Aces) | (1u << Sixes) | (1u << ThreeOfAKind) | (1u << FullHouse) | (1u << Chance));
        g.need = 63 - 3 - 24;
        total = 3 + 24 + 22 + 25 + 23;
        target = 260;
    }
    TargetChances c;
    for (auto _ : state) {
        c = ChancesToReach(t, g, total, turn, target, 2);
        benchmark::DoNotOptimize(c.chance.data());
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_MB"] = double(u.ru_maxrss) / 1024.0;
    state.counters["options"] = double(c.options.size());
    state.counters["chance"] = c.point;
}
BENCHMARK(BM_ChancesToReachEveryOption)->Arg(1)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(1);

// The chance to reach 300 at every point of a complete game (the analysis window's chance
// chart), two threads.
void BM_ChancesAlongAGame(benchmark::State& state) {
    const GameStateTable& t = Table();
    std::vector<GamePoint> points;
    BenchGame(&points);
    std::vector<double> c;
    for (auto _ : state) {
        c = ChancesAtPoints(t, points, 300, 2);
        benchmark::DoNotOptimize(c.data());
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_MB"] = double(u.ru_maxrss) / 1024.0;
    state.counters["points"] = double(points.size());
    state.counters["first"] = c.empty() ? 0.0 : c.front();
}
BENCHMARK(BM_ChancesAlongAGame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The luck of every roll, the loss of every choice and the split of a complete game, with both
// tables loaded (the choice lists carry standard deviations).
void BM_LuckAndSkillOfAGame(benchmark::State& state) {
    Table();
    static const bool variance = [] {
        CreateCache(OptimalStrategy->VarianceCache, "Variance in Final Score", GrandTotal, "");
        ComputeAllVariances(OptimalStrategy, 0);
        return true;
    }();
    benchmark::DoNotOptimize(variance);
    const GameRecording rec = BenchGame();
    LuckAndSkill a;
    for (auto _ : state) {
        a = AnalyseLuckAndSkill(rec, OptimalStrategy);
        benchmark::DoNotOptimize(a.luck);
    }
    state.counters["choices"] = double(rec.len);
    state.counters["loss"] = a.loss;
}
BENCHMARK(BM_LuckAndSkillOfAGame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quintor

int main(int argc, char** argv) {
    quintor::StartModules();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    quintor::StopModules();
    return 0;
}
