// Game state indexes, tables, caches and the .gstbl files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "EngineTables.h"
#include "core/GeneralStuff.h"

namespace quintor {
namespace {

using enginetest::State;

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("quintor-engine-" + std::to_string(::getpid()));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string File(const char* name) const { return (path / name).string(); }
};

void WriteBytes(const std::string& file, const std::vector<char>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<char> ReadBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

std::string LogText() {
    FlushLog();
    std::ifstream in(LogFilePath());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(GameStateIndex, FollowsTheStridesCoversEveryEntryOnceAndRejectsOthers) {
    EXPECT_EQ(GameStateIndex(InitialGameState), 786431);
    EXPECT_EQ(GameStateIndex(State(0, 0, false)), 0);
    EXPECT_EQ(GameStateIndex(State(0, 0, true)), 128);
    EXPECT_EQ(GameStateIndex(State(1u << Aces, 0, false)), 393216);
    EXPECT_EQ(GameStateIndex(State(1u << LargeStraight, 5, false)), 389);
    EXPECT_EQ(GameStateIndex(State(1u << QuintorCat, 0, false)), 256);
    EXPECT_EQ(GameStateIndex(State(1u << Chance, 63, true)), 64 + 128 + 63);
    EXPECT_THROW(GameStateIndex(State(0, 64, false)), RangeError);
    EXPECT_THROW(GameStateIndex(State(1u << QuintorCat, 0, true)), RangeError);
    EXPECT_THROW(GameStateOfIndex(-1), RangeError);
    EXPECT_THROW(GameStateOfIndex(NGameStates), RangeError);

    // The enumeration of all game states meets every entry once; GameStateOfIndex inverts it.
    std::vector<char> seen(NGameStates, 0);
    GameState g = InitialGameState;
    int n = 0;
    do {
        const int i = GameStateIndex(g);
        ASSERT_EQ(seen[i], 0) << GameStateToString(g);
        seen[i] = 1;
        const GameState back = GameStateOfIndex(i);
        ASSERT_TRUE(EqualGameStates(back, g)) << i;
        ++n;
    } while (NextGameState(g));
    EXPECT_EQ(n, NGameStates);
}

TEST(GameStateTable, InitialisesAndCountsKnownEntries) {
    GameStateTable t;
    InitGameStateTable(t);
    ASSERT_EQ(t.size(), std::size_t(NGameStates));
    EXPECT_EQ(CountKnownEntries(t), 0);
    EXPECT_EQ(std::memcmp(&t[17], "\x00\x00\x00\x00\x00\x00\xF0\xBF", 8), 0);
    t[0] = 0.0;
    t[1] = -0.5;
    t[2] = 12.25;
    t[NGameStates - 1] = -1e-300;
    EXPECT_EQ(CountKnownEntries(t), 2);
}

TEST(CreateCache, StartsAfreshOrLoadsAndReusesTheRecord) {
    TempDir dir;
    CacheState* C = nullptr;
    CreateCache(C, "Test Table", GrandTotal, "");
    ASSERT_NE(C, nullptr);
    EXPECT_EQ(C->Name, "Test Table");
    EXPECT_EQ(C->Line, GrandTotal);
    EXPECT_EQ(C->KnownEntries, 0);
    EXPECT_EQ(CountKnownEntries(C->Table), 0);
    EXPECT_EQ(C->CurrentState.free, 0);

    GameStateTable t;
    InitGameStateTable(t);
    for (int i = 0; i < NGameStates; i += 3) t[i] = i * 0.5;
    SaveGameStateTable(dir.File("part.gstbl"), t);
    C->CurrentState = InitialGameState;
    CacheState* same = C;
    CreateCache(C, "Loaded", GrandTotal, dir.File("part.gstbl"));
    EXPECT_EQ(C, same);
    EXPECT_EQ(C->Name, "Loaded");
    EXPECT_EQ(C->KnownEntries, (NGameStates + 2) / 3);
    EXPECT_EQ(C->CurrentState.free, 0);
    EXPECT_EQ(C->Table, t);

    // A bad file raises the error and does not count anything new.
    EXPECT_THROW(CreateCache(C, "Missing", GrandTotal, dir.File("none.gstbl")), IOError);
    CreateCache(C, "Fresh", GrandTotal, "");
    EXPECT_EQ(C, same);
    EXPECT_EQ(C->KnownEntries, 0);
    EXPECT_EQ(CountKnownEntries(C->Table), 0);
}

TEST(GameStateTableFile, RoundTripsBitForBitInTheFileFormat) {
    TempDir dir;
    GameStateTable t;
    InitGameStateTable(t);
    t[0] = 0.0;
    t[1] = 254.58982;
    t[2] = std::nextafter(1.0, 2.0);
    t[3] = 5e-324;
    t[4] = -0.5;
    t[NGameStates - 1] = 1575.0;
    const std::string file = dir.File("t.gstbl");
    SaveGameStateTable(file, t);
    const std::vector<char> bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), GameStateTableBytes);
    // Entry i at offset 8 i, little-endian: 1575.0 is 0x4098 9C00 0000 0000.
    EXPECT_EQ(std::memcmp(&bytes[8 * std::size_t(NGameStates - 1)],
                          "\x00\x00\x00\x00\x00\x9C\x98\x40", 8), 0);
    EXPECT_EQ(std::memcmp(&bytes[8 * 5], "\x00\x00\x00\x00\x00\x00\xF0\xBF", 8), 0);
    GameStateTable back(3, 7.0);
    LoadGameStateTable(file, back);
    ASSERT_EQ(back.size(), t.size());
    EXPECT_EQ(std::memcmp(back.data(), t.data(), GameStateTableBytes), 0);

    const std::string log = LogText();
    EXPECT_NE(log.find("Saving GameStateTable to file named \"" + file + "\"\n"),
              std::string::npos);
    EXPECT_NE(log.find("Loading GameStateTable from file named \"" + file + "\"\n"),
              std::string::npos);
}

TEST(GameStateTableFile, RejectsBadFilesAndLeavesTheTableAlone) {
    TempDir dir;
    GameStateTable good;
    InitGameStateTable(good);
    good[10] = 3.0;
    SaveGameStateTable(dir.File("good.gstbl"), good);
    std::vector<char> bytes = ReadBytes(dir.File("good.gstbl"));

    GameStateTable t(NGameStates, 42.0);
    auto expectFailure = [&](const std::string& file, const char* what) {
        try {
            LoadGameStateTable(file, t);
            ADD_FAILURE() << "no error for " << what;
        } catch (const IOError& e) {
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
        }
        EXPECT_EQ(CountKnownEntries(t), NGameStates);
        EXPECT_EQ(t[10], 42.0);
    };
    expectFailure(dir.File("missing.gstbl"), "no such file");

    WriteBytes(dir.File("short.gstbl"), std::vector<char>(bytes.begin(), bytes.end() - 1));
    expectFailure(dir.File("short.gstbl"), "6291455 bytes");
    WriteBytes(dir.File("empty.gstbl"), {});
    expectFailure(dir.File("empty.gstbl"), "0 bytes");

    std::vector<char> bad = bytes;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(&bad[8 * 1000], &nan, 8);
    WriteBytes(dir.File("nan.gstbl"), bad);
    expectFailure(dir.File("nan.gstbl"), "entry 1000 is not a number");
    bad = bytes;
    const double inf = -std::numeric_limits<double>::infinity();
    std::memcpy(&bad[8 * 77], &inf, 8);
    WriteBytes(dir.File("inf.gstbl"), bad);
    expectFailure(dir.File("inf.gstbl"), "entry 77 is infinite");

    fs::create_directory(dir.path / "dir.gstbl");
    expectFailure(dir.File("dir.gstbl"), "no such file");

    // One byte too many is ignored.
    std::vector<char> longer = bytes;
    longer.push_back('\x7F');
    WriteBytes(dir.File("long.gstbl"), longer);
    LoadGameStateTable(dir.File("long.gstbl"), t);
    EXPECT_EQ(t, good);
}

TEST(GameStateTableFile, AFailedSaveKeepsTheOldFile) {
    TempDir dir;
    GameStateTable t;
    InitGameStateTable(t);
    t[5] = 99.0;
    const std::string file = dir.File("keep.gstbl");
    SaveGameStateTable(file, t);
    const std::vector<char> before = ReadBytes(file);

    GameStateTable other(NGameStates, 1.0);
    EXPECT_THROW(SaveGameStateTable(dir.File("no-such-dir/x.gstbl"), other), IOError);
    // The disk fills up after one megabyte (a file size limit, which binds a superuser too): the
    // old table stays as it was.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1 << 20;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(SaveGameStateTable(file, other), IOError);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadBytes(file), before);
    for (const auto& entry : fs::directory_iterator(dir.path))
        EXPECT_EQ(entry.path().filename(), "keep.gstbl") << "left behind: " << entry.path();
}

}  // namespace
}  // namespace quintor
