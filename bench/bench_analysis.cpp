// Variance table creation and the event lists on complete tables.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include "engine/QuintorEventLists.h"
#include "play/QuintorStartup.h"

namespace quintor {
namespace {

QuintorStrategyState* Tables() {
    static QuintorStrategyState* S = [] {
        QuintorStrategyState* s = OptimalStrategy;
        CreateCache(s->Cache, "Optimal Expected Final Score", GrandTotal, "");
        ComputeAllOptimalValues(0);
        s->ExpectedCache = s->Cache;
        CreateCache(s->VarianceCache, "Variance in Final Score", GrandTotal, "");
        ComputeAllVariances(s, 0);
        return s;
    }();
    return S;
}

ValueBagRank Bag(const char* digits) {
    ValueBag b;
    for (const char* p = digits; *p != 0; ++p) AddToBag(b, *p - '0', 1);
    return RankFromValueBag(b);
}

// The whole variance table from a complete expected-score table; arg = threads.
void BM_CreateVarianceTable(benchmark::State& state) {
    QuintorStrategyState* S = Tables();
    CacheState* C = nullptr;
    QuintorStrategyState* D = nullptr;
    CreateQuintorStrategy(D, "Bench", "Bench", OfficialRules, Optimal);
    D->Cache = S->Cache;
    D->ExpectedCache = S->ExpectedCache;
    for (auto _ : state) {
        CreateCache(C, "Variance in Final Score", GrandTotal, "");
        D->VarianceCache = C;
        ComputeAllVariances(D, int(state.range(0)));
        benchmark::DoNotOptimize(C->Table.data());
    }
    // Both complete tables, the turn tables and the dice tables: the process's peak.
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_MB"] = double(u.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_CreateVarianceTable)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(3);

// The whole creation run as the table settings window starts it: log lines, all threads, the
// file written.
void BM_CreateVarianceTableRun(benchmark::State& state) {
    Tables();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("quintor-bench-v-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (auto _ : state) CreateVarianceTable(dir.string(), 0);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CreateVarianceTableRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Alternating between two game states, so every list needs a turn computation of its own.
void BM_ListChoiceOptions(benchmark::State& state) {
    QuintorStrategyState* S = Tables();
    GameState a = InitialGameState, b;
    MakeGameState(b, 8191 - (1 << Chance) - (1 << Sixes), 45, false);
    const TurnState t{2, ToChoose, Bag("12346")};
    EList list;
    bool flip = false;
    for (auto _ : state) {
        ListChoiceOptions(list, S, flip ? a : b, 0, t);
        flip = !flip;
        benchmark::DoNotOptimize(list.entry[0].expected);
    }
}
BENCHMARK(BM_ListChoiceOptions)->Unit(benchmark::kMicrosecond);

void BM_ListRollOutcomes(benchmark::State& state) {
    QuintorStrategyState* S = Tables();
    GameState a = InitialGameState, b;
    MakeGameState(b, 8191 - (1 << Chance) - (1 << Sixes), 45, false);
    const TurnState t{3, ToRoll, 0};
    EList list;
    bool flip = false;
    for (auto _ : state) {
        ListRollOutcomes(list, S, flip ? a : b, 0, t);
        flip = !flip;
        benchmark::DoNotOptimize(list.entry[0].expected);
    }
}
BENCHMARK(BM_ListRollOutcomes)->Unit(benchmark::kMicrosecond);

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
