// Table files, table locations and run logs wrong in ways the engine's and core's own tests
// leave out, and the texts the fuzz targets found. Each fault is an IOError naming the file and
// the reason, the table in memory stays as it was, and whatever is on disk keeps every byte.
#include "HardeningSupport.h"
#include "engine/QuintorStrategies.h"
#include "engine/QuintorStrategyAnalysis.h"
#include "play/QuintorStartup.h"
#include "play/QuintorStateAnalyzer.h"

using namespace quintor;
using namespace quintor::hardening;

namespace {

GameStateTable Pattern(double base) {
    GameStateTable t(NGameStates);
    for (int i = 0; i < NGameStates; ++i) t[std::size_t(i)] = base + (i % 97) * 0.5;
    return t;
}

// A message that names the file and the reason.
#define EXPECT_IO_ERROR(call, file, reason)                                \
    do {                                                                   \
        const std::string msg = ErrorOf<IOError>([&] { call; });           \
        EXPECT_TRUE(Contains(msg, file) && Contains(msg, reason)) << msg; \
    } while (0)

}  // namespace

TEST(TableFileFaults, GarbageDirectoriesPipesAndLockedFoldersLoseNothing) {
    TempFolder dir;
    const GameStateTable inMemory = Pattern(1.0), good = Pattern(2.0), other = Pattern(3.0);
    const std::string garbage(GameStateTableBytes, '\xff');
    WriteBytes(dir / "garbage.gstbl", garbage);
    fs::create_directory(dir / "dir.gstbl");
    GameStateTable table = inMemory;
    EXPECT_IO_ERROR(LoadGameStateTable(dir / "garbage.gstbl", table), dir / "garbage.gstbl",
                    "entry 0 is not a number");
    EXPECT_IO_ERROR(LoadGameStateTable(dir / "dir.gstbl", table), dir / "dir.gstbl",
                    "no such file");
    EXPECT_TRUE(table == inMemory);
    EXPECT_EQ(ReadBytes(dir / "garbage.gstbl"), garbage);
    EXPECT_TRUE(fs::is_directory(dir / "dir.gstbl"));

    // A cache loaded from a bad file keeps its old table.
    CacheState* cache = nullptr;
    SaveGameStateTable(dir / "good.gstbl", good);
    CreateCache(cache, "Good", GrandTotal, dir / "good.gstbl");
    EXPECT_THROW(CreateCache(cache, "Bad", GrandTotal, dir / "garbage.gstbl"), IOError);
    EXPECT_TRUE(cache->Table == good);

    // Saves below a plain file, over a named pipe (renaming over it would remove it), and into
    // a folder that takes no file.
    WriteBytes(dir / "plain", "not a folder");
    const std::string belowFile = dir / "plain/" + OptimalTableFileName, pipe = dir / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_IO_ERROR(SaveGameStateTable(belowFile, other), belowFile, "Not a directory");
    EXPECT_IO_ERROR(SaveGameStateTable(pipe, other), pipe, "not a regular file");
    EXPECT_EQ(ReadBytes(dir / "plain"), "not a folder");
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(Entries(dir.path), 5);   // three tables, plain, pipe: no temporary file
    UnwritableFolder locked;
    EXPECT_THROW(SaveGameStateTable(locked.Path() + "/" + OptimalTableFileName, other), IOError);
    EXPECT_EQ(Entries(locked.Path()), 0);
}

TEST(TableLocationFaults, CreationRunsRefuseAnUnusableLocationBeforeComputingAnything) {
    TempFolder dir;
    WriteBytes(dir / "plain", "x");
    UnwritableFolder locked;
    // The optimal strategy's tables as they stand: a bad location must not disturb them.
    QuintorStrategyState* S = OptimalStrategy;
    CreateCache(S->Cache, "Optimal Expected Final Score", GrandTotal, "");
    S->Cache->Table = Pattern(5.0);
    S->ExpectedCache = S->Cache;
    CacheState* const variance = S->VarianceCache;
    const std::pair<std::string, const char*> cases[] = {
        {dir / "plain", "it is a file, not a directory"},
        {dir / "missing", "no such directory"},
        {"", "no location is set"},
        {locked.Path(), locked.Refuses() ? "" : nullptr}};   // nullptr: any IOError
    for (const auto& [location, reason] : cases) {
        SCOPED_TRACE(location);
        for (auto* run : {&CreateOptimalTable, &CreateVarianceTable}) {
            const std::string msg = ErrorOf<IOError>([&] { run(location, 1); });
            EXPECT_TRUE(!reason || Contains(msg, "Cannot create a table in \"" + location +
                                                     "\": " + reason)) << msg;
        }
        EXPECT_TRUE(S->Cache->Table == Pattern(5.0));
        EXPECT_EQ(S->VarianceCache, variance);
    }
    EXPECT_EQ(ReadBytes(dir / "plain"), "x");
    EXPECT_EQ(Entries(locked.Path()), 0);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

// At start-up a log on a full disk moves to the user's state folder; where that is full too the
// program runs on without one; a last line that no longer fits is no failure of the stop.
TEST(RunLogFaults, ALogOnAFullDiskMovesIsLeftOutOrEndsQuietly) {
    TempFolder dir;
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old ? old : "", log = dir / "bin/prog.log";
    const std::string moved = dir / "state/QuintorTrainer/prog.log";
    setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    fs::create_directory(dir / "bin");
    fs::create_symlink("/dev/full", log);   // every write fails with "No space left on device"
    EXPECT_NO_THROW(InitGeneralStuff(dir / "bin/prog"));
    EXPECT_EQ(LogFilePath(), moved);
    LogFile() << "a line\n";
    FlushLog();
    EXPECT_EQ(ReadBytes(moved).rfind("Run Started on ", 0), 0u);
    EXPECT_TRUE(Contains(ReadBytes(moved), "a line\n"));
    fs::remove(moved);
    fs::create_symlink("/dev/full", moved);
    EXPECT_NO_THROW(InitGeneralStuff(dir / "bin/prog"));
    EXPECT_EQ(LogFilePath(), "");
    EXPECT_NO_THROW(LogFile() << "into the sink\n"; FlushLog(););
    EXPECT_TRUE(fs::is_symlink(log));
    old ? setenv("XDG_STATE_HOME", saved.c_str(), 1) : unsetenv("XDG_STATE_HOME");

    fs::remove(log);
    InitGeneralStuff(dir / "bin/prog");
    ASSERT_EQ(LogFilePath(), log);
    const std::string before = ReadBytes(log);
    {
        FileSizeLimit full(before.size());   // the disk fills up during the run
        EXPECT_NO_THROW(StopModules());
    }
    EXPECT_EQ(LogFilePath(), "");
    EXPECT_EQ(ReadBytes(log), before);
    InitGeneralStuff();   // the test program's own log again
}

TEST(ReaderRegressions, AFinishedGameHasNoOptionsInsteadOfFailingACheck) {
    // A free set the reader accepts as empty: the advisor ran the turn computation of a game
    // state without a free category, which is a failed internal check.
    for (const char* text :
         {";0+ 1575 ;3", ";0- 0 11111;1", ";0- 0 11111;0", "_____________;0- 7 12;2"}) {
        SCOPED_TRACE(text);
        std::vector<std::string> lines;
        EXPECT_TRUE(Advise(lines, text));
        EXPECT_EQ(lines, std::vector<std::string>{"0 options"});
    }
}
