// Table files and table locations that are wrong in every way a user or a full disk can make
// them: each fault is an IOError with a message naming the file and the reason, the table in
// memory stays as it was, and a good file already on disk keeps every byte.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "HardeningSupport.h"
#include "engine/QuintorStrategies.h"
#include "engine/QuintorStrategyAnalysis.h"

namespace fs = std::filesystem;
using namespace quintor;
using namespace quintor::hardening;

namespace {

GameStateTable Pattern(double base) {
    GameStateTable t(NGameStates);
    for (int i = 0; i < NGameStates; ++i) t[std::size_t(i)] = base + (i % 97) * 0.5;
    return t;
}

std::string Image(const GameStateTable& t) {
    return std::string(reinterpret_cast<const char*>(t.data()), GameStateTableBytes);
}

std::string EntryBytes(double v) {
    return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

// The IOError's text, or a failure when none was thrown.
template <typename F>
std::string IOErrorOf(F&& f) {
    try {
        f();
    } catch (const IOError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no IOError";
    return "";
}

}  // namespace

TEST(TableFileFaults, BadFilesAreRefusedWithTheirReasonAndTheTableInMemoryStays) {
    TempFolder dir;
    const GameStateTable inMemory = Pattern(1.0);
    const std::string good = Image(Pattern(2.0));

    struct Case {
        const char* name;
        std::string bytes;   // empty name of a directory case below
        const char* reason;
    };
    std::string nan = good, inf = good, truncated = good.substr(0, GameStateTableBytes - 1);
    nan.replace(8 * 1234, 8, EntryBytes(std::numeric_limits<double>::quiet_NaN()));
    inf.replace(8 * (NGameStates - 1), 8, EntryBytes(-std::numeric_limits<double>::infinity()));
    const Case cases[] = {
        {"truncated.gstbl", truncated, "ends after 6291455 bytes"},
        {"empty.gstbl", "", "ends after 0 bytes"},
        {"nan.gstbl", nan, "entry 1234 is not a number"},
        {"inf.gstbl", inf, "entry 786431 is infinite"},
        {"text.gstbl", std::string(GameStateTableBytes, '\xff'), "entry 0 is not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir / c.name;
        WriteBytes(file, c.bytes);
        GameStateTable table = inMemory;
        const std::string msg = IOErrorOf([&] { LoadGameStateTable(file, table); });
        EXPECT_NE(msg.find(file), std::string::npos) << msg;
        EXPECT_NE(msg.find(c.reason), std::string::npos) << msg;
        EXPECT_TRUE(table == inMemory);
        EXPECT_EQ(ReadBytes(file), c.bytes);   // loading never writes
    }

    // A table file that is missing, or a directory in its place.
    fs::create_directory(dir / "OptEScore-Official.gstbl");
    for (const std::string& file : {dir / "missing.gstbl", dir / "OptEScore-Official.gstbl"}) {
        SCOPED_TRACE(file);
        GameStateTable table = inMemory;
        const std::string msg = IOErrorOf([&] { LoadGameStateTable(file, table); });
        EXPECT_NE(msg.find(file), std::string::npos) << msg;
        EXPECT_NE(msg.find("no such file"), std::string::npos) << msg;
        EXPECT_TRUE(table == inMemory);
    }
    EXPECT_TRUE(fs::is_directory(dir / "OptEScore-Official.gstbl"));

    // A cache loaded from a bad file keeps its old table too.
    CacheState* cache = nullptr;
    WriteBytes(dir / "good.gstbl", good);
    CreateCache(cache, "Good", GrandTotal, dir / "good.gstbl");
    EXPECT_THROW(CreateCache(cache, "Bad", GrandTotal, dir / "nan.gstbl"), IOError);
    EXPECT_EQ(Image(cache->Table), good);
}

TEST(TableFileFaults, FailedSavesLeaveTheOldFileWholeAndNoTemporaryFiles) {
    TempFolder dir;
    const GameStateTable table = Pattern(3.0);
    const std::string oldBytes = Image(Pattern(4.0));
    const std::string target = dir / OptimalTableFileName;
    WriteBytes(target, oldBytes);
    const std::string listing = Listing(dir.Path());

    {   // The disk fills up part way: the first megabyte is written, then EFBIG.
        FileSizeLimit limit(1 << 20);
        const std::string msg = IOErrorOf([&] { SaveGameStateTable(target, table); });
        EXPECT_NE(msg.find(target), std::string::npos) << msg;
        EXPECT_NE(msg.find("File too large"), std::string::npos) << msg;
    }
    EXPECT_TRUE(ReadBytes(target) == oldBytes);
    EXPECT_EQ(Listing(dir.Path()), listing);

    // The location is a file, or does not exist.
    WriteBytes(dir / "plain", "not a folder");
    for (const auto& [file, reason] :
         {std::pair{dir / "plain" + "/" + OptimalTableFileName, "Not a directory"},
          std::pair{dir / "gone" + "/" + OptimalTableFileName, "No such file or directory"}}) {
        SCOPED_TRACE(file);
        const std::string msg = IOErrorOf([&] { SaveGameStateTable(file, table); });
        EXPECT_NE(msg.find(file), std::string::npos) << msg;
        EXPECT_NE(msg.find(reason), std::string::npos) << msg;
    }
    EXPECT_EQ(ReadBytes(dir / "plain"), "not a folder");
    EXPECT_FALSE(fs::exists(dir / "gone"));

    // Something that is no regular file has the table's name: it is left in place, whatever it
    // is (renaming over it would remove a pipe or a device node).
    fs::create_directory(dir / "sub");
    const std::string asDir = dir / "sub" + "/" + OptimalTableFileName;
    fs::create_directory(asDir);
    EXPECT_NE(IOErrorOf([&] { SaveGameStateTable(asDir, table); }).find("it is a directory"),
              std::string::npos);
    EXPECT_TRUE(fs::is_directory(asDir));
    const std::string asPipe = dir / "sub" + "/" + VarianceTableFileName;
    ASSERT_EQ(::mkfifo(asPipe.c_str(), 0600), 0);
    EXPECT_NE(IOErrorOf([&] { SaveGameStateTable(asPipe, table); }).find("not a regular file"),
              std::string::npos);
    EXPECT_TRUE(fs::is_fifo(asPipe));
    EXPECT_EQ(Listing(dir / "sub"), std::string(VarianceTableFileName) + "\n" +
                                        OptimalTableFileName + "\n");

    // A folder that takes no file.
    UnwritableFolder locked;
    const std::string lockedFile = locked.Path() + "/" + OptimalTableFileName;
    EXPECT_THROW(SaveGameStateTable(lockedFile, table), IOError);
    EXPECT_EQ(Listing(locked.Path()), "");
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
    const GameStateTable before = S->Cache->Table;
    CacheState* const variance = S->VarianceCache;

    struct Case {
        std::string location;
        const char* reason;
    };
    const Case cases[] = {
        {dir / "plain", "it is a file, not a directory"},
        {dir / "missing", "no such directory"},
        {"", "no location is set"},
        {locked.Path(), locked.Refuses() ? "" : nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        for (auto* run : {&CreateOptimalTable, &CreateVarianceTable}) {
            const std::string msg = IOErrorOf([&] { run(c.location, 1); });
            if (c.reason == nullptr) continue;   // the run log may be what failed first
            EXPECT_NE(msg.find("Cannot create a table in \"" + c.location + "\": "),
                      std::string::npos)
                << msg;
            EXPECT_NE(msg.find(c.reason), std::string::npos) << msg;
        }
        EXPECT_TRUE(S->Cache->Table == before);
        EXPECT_EQ(S->VarianceCache, variance);
    }
    EXPECT_EQ(ReadBytes(dir / "plain"), "x");
    EXPECT_EQ(Listing(locked.Path()), "");
    EXPECT_FALSE(fs::exists(dir / "missing"));
}
