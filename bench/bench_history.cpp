// The history with 10,000 games of 39 choices and 500 drill answers: storing one more game,
// every statistic the statistics window and `quintor stats` show, the whole `quintor stats`
// command and the statistics window opening. The database is built once and kept beside the
// benchmark program (it takes a while); the storing benchmark works on a copy.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/Cli.h"
#include "core/GeneralStuff.h"
#include "history/HistoryStatistics.h"
#include "history/QuintorDrills.h"
#include "play/QuintorStartup.h"
#include "tests/history/HistoryGames.h"

#ifdef QUINTOR_BENCH_WINDOW
#include <QApplication>

#include "app/statistics.h"
#endif

namespace quintor {
namespace {

constexpr int NGames = 10'000;
constexpr int NDrillAnswers = 500;

// Drill answers for the first costly positions, two in three right, over the last months.
void AddDrillAnswers(HistoryDatabase& db) {
    const std::vector<DrillItem> schedule = DrillSchedule(db);
    const std::int64_t now = std::time(nullptr);
    for (int i = 0; i < NDrillAnswers; ++i) {
        const DrillItem& item = schedule[std::size_t(i) % std::min<std::size_t>(schedule.size(), 200)];
        const HistoryResult r = db.StoreDrillAnswer(
            {0, now - (NDrillAnswers - i) * 3600 * 4, item.position, "C  19", "C  19", i % 3 == 2 ? 2.5 : 0.0});
        if (!r.ok) throw IOError(r.message);
    }
}

const std::string& HistoryOf10000Games() {
    static const std::string path = [] {
        const std::string file = DirectoryOf(ExecutablePath()) + "/bench-history-10000.sqlite";
        {
            HistoryDatabase db(file);
            if (ReadHistoryStatistics(db, {""}).games == NGames) {
                if (db.DrillAnswers("").empty()) AddDrillAnswers(db);
                return file;
            }
        }
        for (const char* side : {"", "-wal", "-shm"}) std::remove((file + side).c_str());
        HistoryDatabase db(file);
        for (int k = 0; k < NGames; ++k) {
            // Mostly fair dice, as players play; every tenth game with demonic dice.
            const HistoryGame g = historytest::PlayHistoryGame(std::uint32_t(k), k % 10 == 9 ? "demon" : "fair",
                                                               k % 50 == 7 ? 30 : -1, 100);
            const HistoryResult r = db.StoreGame(g);
            if (!r.ok) throw IOError(r.message);
        }
        AddDrillAnswers(db);
        return file;
    }();
    return path;
}

void BM_StoreOneMoreGame(benchmark::State& state) {
    const std::string copy = HistoryOf10000Games() + ".copy";
    std::filesystem::copy_file(HistoryOf10000Games(), copy, std::filesystem::copy_options::overwrite_existing);
    HistoryDatabase db(copy);
    const HistoryGame g = historytest::PlayHistoryGame(NGames + 1, "fair", -1, 100);
    if (g.choices.size() != 39) state.SkipWithError("the game should have 39 choices");
    db.Open();
    for (auto _ : state) {
        const HistoryResult r = db.StoreGame(g);
        if (!r.ok) state.SkipWithError(r.message.c_str());
    }
    db.Close();
    for (const char* side : {"", "-wal", "-shm"}) std::remove((copy + side).c_str());
}

// What the end of a game costs in a program that has not touched the history yet: opening the
// file (the schema check and the prepared statements) and storing the game.
void BM_OpenAndStoreOneGame(benchmark::State& state) {
    const std::string copy = HistoryOf10000Games() + ".copy";
    std::filesystem::copy_file(HistoryOf10000Games(), copy, std::filesystem::copy_options::overwrite_existing);
    const HistoryGame g = historytest::PlayHistoryGame(NGames + 1, "fair", -1, 100);
    for (auto _ : state) {
        HistoryDatabase db(copy);
        const HistoryResult r = db.StoreGame(g);
        if (!r.ok) state.SkipWithError(r.message.c_str());
    }
    for (const char* side : {"", "-wal", "-shm"}) std::remove((copy + side).c_str());
}

// Everything the statistics window shows, from opening the file on.
void BM_AllStatistics(benchmark::State& state) {
    const std::string& file = HistoryOf10000Games();
    for (auto _ : state) {
        HistoryDatabase db(file);
        const HistoryFilter fair;
        const HistoryStatistics st = ReadHistoryStatistics(db, fair);
        const HistorySeries se = ReadHistorySeries(db, fair);
        const LossSplits sp = ReadLossSplits(db, fair);
        const std::vector<HistoryGame> games = ReadGameList(db, fair);
        const std::vector<std::string> sources = ReadDiceSources(db);
        const DrillRecord drills = ReadDrillRecord(db, std::time(nullptr));
        if (st.games != 9000 || games.size() != 9000 || sp.habits.size() != 3 || sources.size() != 2 ||
            drills.answers != NDrillAnswers)
            state.SkipWithError("unexpected statistics");
        benchmark::DoNotOptimize(se.scoreAverage.data());
    }
}

void BM_Summary(benchmark::State& state) {
    HistoryDatabase db(HistoryOf10000Games());
    for (auto _ : state) benchmark::DoNotOptimize(ReadHistoryStatistics(db, {}).games);
}

void BM_Series(benchmark::State& state) {
    HistoryDatabase db(HistoryOf10000Games());
    for (auto _ : state) benchmark::DoNotOptimize(ReadHistorySeries(db, {}).score.size());
}

void BM_LossSplits(benchmark::State& state) {
    HistoryDatabase db(HistoryOf10000Games());
    for (auto _ : state) benchmark::DoNotOptimize(ReadLossSplits(db, {}).habits.size());
}

void BM_GameList(benchmark::State& state) {
    HistoryDatabase db(HistoryOf10000Games());
    for (auto _ : state) benchmark::DoNotOptimize(ReadGameList(db, {}).size());
}

void BM_DrillRecord(benchmark::State& state) {
    HistoryDatabase db(HistoryOf10000Games());
    for (auto _ : state) benchmark::DoNotOptimize(ReadDrillRecord(db, std::time(nullptr)).positions);
}

// `quintor stats --history FILE` as the console program runs it, output included.
void BM_StatsCommand(benchmark::State& state) {
    const std::string& file = HistoryOf10000Games();
    for (auto _ : state) {
        std::istringstream in;
        std::ostringstream out, err;
        if (cli::RunQuintor({"stats", "--history", file}, in, out, err) != cli::ExitOk)
            state.SkipWithError(err.str().c_str());
        benchmark::DoNotOptimize(out.str().size());
    }
}

#ifdef QUINTOR_BENCH_WINDOW
// Game > Statistics... with the history not yet open: reading it, building, laying out and
// showing the window (offscreen), then closing it.
void BM_StatisticsWindow(benchmark::State& state) {
    const std::string& file = HistoryOf10000Games();
    for (auto _ : state) {
        HistoryDatabase db(file);
        auto* w = new TStatisticsForm(db, nullptr);
        w->show();
        QCoreApplication::processEvents();
        if (w->GameList == nullptr) state.SkipWithError("no window");
        delete w;
    }
}
BENCHMARK(BM_StatisticsWindow)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

BENCHMARK(BM_StoreOneMoreGame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndStoreOneGame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllStatistics)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Summary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Series)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LossSplits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrillRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatsCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quintor

int main(int argc, char** argv) {
#ifdef QUINTOR_BENCH_WINDOW
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    quintor::StartModules();
    benchmark::RunSpecifiedBenchmarks();
    quintor::StopModules();
    return 0;
}
