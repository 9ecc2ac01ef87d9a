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
