// Opening the analysis window of a complete game, offscreen, with the distribution at hand (the
// first window read it from its file).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include <QApplication>

#include "GameForBench.h"
#include "app/gameanalysis.h"
#include "app/settings.h"
#include "engine/QuintorScoreDistribution.h"
#include "play/QuintorStartup.h"

namespace quintor {
namespace fs = std::filesystem;

fs::path Folder() {
    return fs::temp_directory_path() / ("quintor-bench-window-" + std::to_string(::getpid()));
}

namespace {

// Tables and the distribution file in a folder of their own, which the settings name.
const GameRecording& Prepared() {
    static const GameRecording rec = [] {
        const fs::path dir = Folder();
        fs::create_directories(dir / "bin");
        SetExePath((dir / "bin").string());
        WriteTablesLocation(dir.string());
        CreateOptimalTable(dir.string());
        OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
        CreateScoreDistribution(dir.string());
        return BenchGame();
    }();
    return rec;
}

// Creating, laying out and showing the window, then closing it.
void BM_OpenAnalysisWindow(benchmark::State& state) {
    const GameRecording& rec = Prepared();
    delete new TGameAnalysisForm(rec, 1);   // reads the distribution file once
    for (auto _ : state) {
        auto* w = new TGameAnalysisForm(rec, 1);
        w->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(w->LabelSplit);
        delete w;
    }
    state.counters["choices"] = double(rec.len);
}
BENCHMARK(BM_OpenAnalysisWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quintor

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    quintor::StartModules();
    int rc = 0;
    {
        QApplication app(argc, argv);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    quintor::StopModules();
    std::filesystem::remove_all(quintor::Folder());
    return rc;
}
