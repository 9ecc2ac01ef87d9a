// The strategy engine's costs: creating the expected-score table, one turn computation with the
// successors known, and loading the table files.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "play/QuintorStartup.h"

namespace {

using namespace quintor;
namespace fs = std::filesystem;

fs::path TempDir() {
    static const fs::path dir = [] {
        fs::path p = fs::temp_directory_path() / ("quintor-bench-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return dir;
}

double PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

void FreshOptimalCache() {
    CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, "");
}

void CompleteOptimalTable() {
    if (OptimalStrategy->Cache == nullptr || OptimalStrategy->Cache->KnownEntries < NGameStates) {
        FreshOptimalCache();
        ComputeAllOptimalValues(0);
    }
}

// The bulk computation alone, from a fresh cache.
void BM_ComputeAllOptimalValues(benchmark::State& state) {
    const int threads = int(state.range(0));
    for (auto _ : state) {
        FreshOptimalCache();
        ComputeAllOptimalValues(threads);
        benchmark::DoNotOptimize(OptimalStrategy->Cache->Table.data());
    }
    state.counters["value"] = OptimalStateValue(InitialGameState);
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_ComputeAllOptimalValues)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);

// The whole creation run: fresh cache, run-log lines, computation, saving the file.
void BM_CreateOptimalTable(benchmark::State& state) {
    const std::string dir = TempDir().string();
    for (auto _ : state) CreateOptimalTable(dir, 0);
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_CreateOptimalTable)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A turn of a different game state each time, all successors known.
void BM_ComputeOptimalTurn(benchmark::State& state) {
    CompleteOptimalTable();
    std::mt19937 rng(7);
    std::vector<GameState> states;
    while (states.size() < 256) {
        const GameState g = GameStateOfIndex(int(rng() % NGameStates));
        if (g.free != 0) states.push_back(g);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const GameState& g = states[i++ % states.size()];
        ComputeOptimalTurn(g);
        benchmark::DoNotOptimize(OptimalStrategy->Cache->KeeperValue[3][0]);
    }
}
BENCHMARK(BM_ComputeOptimalTurn)->Unit(benchmark::kMicrosecond);

// Both table files, as the start-up loading reads them (the same 6 MB image under both names).
void BM_LoadBothTables(benchmark::State& state) {
    CompleteOptimalTable();
    const std::string e = (TempDir() / OptimalTableFileName).string();
    const std::string v = (TempDir() / VarianceTableFileName).string();
    SaveGameStateTable(e, OptimalStrategy->Cache->Table);
    SaveGameStateTable(v, OptimalStrategy->Cache->Table);
    CacheState* expected = nullptr;
    CacheState* variance = nullptr;
    for (auto _ : state) {
        CreateCache(expected, "Optimal Expected Final Score", GrandTotal, e);
        CreateCache(variance, "Variance in Final Score", GrandTotal, v);
        benchmark::DoNotOptimize(expected->KnownEntries + variance->KnownEntries);
    }
}
BENCHMARK(BM_LoadBothTables)->Unit(benchmark::kMillisecond);

// The guaranteed score of a whole game: the min-score strategy's table from a fresh cache.
void BM_MinScoreOfAWholeGame(benchmark::State& state) {
    QuintorStrategyState* S = nullptr;
    CreateQuintorStrategy(S, "Optimal MinScore Quintor", "Murvo", OfficialRules, OptimalMinScore);
    double v = 0.0;
    for (auto _ : state) {
        CreateCache(S->Cache, "Guaranteed Final Score", GrandTotal, "");
        v = MinScoreValue(S, InitialGameState, InitialTurnState);
    }
    state.counters["value"] = v;
}
BENCHMARK(BM_MinScoreOfAWholeGame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    StartModules();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StopModules();
    fs::remove_all(TempDir());
    return 0;
}
