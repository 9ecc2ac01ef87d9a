// Advising a typed state and writing a whole game's report, with the complete optimal table.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/QuintorStrategies.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"
#include "play/QuintorStartup.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor {
namespace {

// A rolled state whose game state differs from the previous iteration's, so that every
// iteration pays for the turn tables of its game state, as a fresh advisor request does.
const std::vector<std::string> FreshTurnStates = {
    "123456TFHSLQC;63-   0  13456;2",
    "1_3456TFHSLQC;59-   4  22416;1",
};

void BM_AdviseFirstRoll(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::string> lines;
        Advise(lines, "123456TFHSLQC;63-   0  ;3");
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(BM_AdviseFirstRoll)->Unit(benchmark::kMillisecond);

void BM_AdviseChoiceNewGameState(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        std::vector<std::string> lines;
        Advise(lines, FreshTurnStates[i++ % FreshTurnStates.size()]);
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(BM_AdviseChoiceNewGameState)->Unit(benchmark::kMillisecond);

GameRecording PlayedGame() {
    SeedGenerator(4357);
    GameSession s;
    NewGameSession(s);
    while (s.phase != gpGameOver) {
        SessionRoll(s, FairDice());
        // Rolling all five again after each first roll is a choice against the advice in most
        // turns, so the report has deltas to write.
        if (s.turnState.rollsLeft == NRollsPerTurn - 1) {
            SessionKeep(s, 0);
            continue;
        }
        Event choice;
        ChooseEvent(OptimalStrategy, s.gameState, s.turnState, SessionTotal(s), choice, false);
        if (choice.aspect == Keeping)
            SessionKeep(s, choice.arg);
        else
            SessionScore(s, choice.category);
    }
    return s.recording;
}

void BM_WriteGameReport(benchmark::State& state) {
    const GameRecording rec = PlayedGame();
    for (auto _ : state) {
        std::vector<std::string> lines;
        WriteGameAnalysis(lines, rec, "You", OfficialRules, true, OptimalStrategy);
        benchmark::DoNotOptimize(lines.data());
    }
    state.counters["choices"] = rec.len;
}
BENCHMARK(BM_WriteGameReport)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quintor

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quintor::StartModules();
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quintor-bench-play-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    quintor::CreateOptimalTable(dir.string(), 2);
    fs::remove_all(dir);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    quintor::StopModules();
    return 0;
}
