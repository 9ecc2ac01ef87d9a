// The history's faults, each made for real: a program killed while storing, a locked file, a
// read-only file and folder, a full disk and damaged files. None stops play or loses other games.
#include <chrono>
#include <csignal>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "HistoryGames.h"
#include "hardening/HardeningSupport.h"
#include "history/HistoryStatistics.h"
#include "history/SqliteDatabase.h"

using namespace quintor;
using namespace quintor::historytest;
using quintor::hardening::Contains;
using quintor::hardening::TempFolder;

namespace {

std::string IntegrityCheck(const std::string& path) {
    SqliteDb raw(path, false);
    SqliteStmt s(raw, "PRAGMA integrity_check");
    std::string result;
    while (s.Step()) result += s.Text(0);
    return result;
}

std::vector<std::int64_t> StoredStarts(HistoryDatabase& db) {
    std::vector<std::int64_t> starts;
    for (const HistoryGame& g : ReadGameList(db, {""})) starts.push_back(g.started);
    return starts;
}

// Read-only even for root: the immutable flag where root runs the tests, else no write permission.
// False when neither can be set.
bool SetReadOnly(const std::string& path, bool on) {
    if (::geteuid() != 0) return ::chmod(path.c_str(), on ? 0555 : 0755) == 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

std::vector<HistoryGame> NumberedGames(int n, std::uint32_t seed) {
    std::vector<HistoryGame> games;
    for (int k = 0; k < n; ++k) {
        games.push_back(PlayHistoryGame(seed + std::uint32_t(k), "fair", k % 7 == 3 ? k : -1));
        games.back().started = k;   // the game's number, to find it again
        games.back().ended = k + 1000;
    }
    return games;
}

}  // namespace

TEST(HistoryFaults, KilledAtRandomMomentsWhileStoringTheFileStaysWholeAndEachGameWholeOrAbsent) {
    TempFolder folder;
    const std::string path = folder / "h.sqlite";
    const std::vector<HistoryGame> games = NumberedGames(50, 4000);
    std::mt19937 rng(20261207);
    const int rounds = 60;
    int stored = 0, unacknowledged = 0;
    for (int round = 0; round < rounds; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {   // the storing program: one byte on the pipe after each stored game
            ::close(fds[0]);
            HistoryDatabase db(path);
            for (std::size_t i = std::size_t(round);; ++i) {
                if (!db.StoreGame(games[i % games.size()]).ok) ::_exit(3);
                const char c = 1;
                if (::write(fds[1], &c, 1) != 1) ::_exit(4);
            }
        }
        ::close(fds[1]);
        ::usleep(useconds_t(200 + rng() % 30000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself with " << WEXITSTATUS(status);
        int acknowledged = 0;
        char buf[256];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) acknowledged += int(n);
        ::close(fds[0]);

        if (!FileExists(path)) {   // killed before it made the file
            ASSERT_EQ(acknowledged, 0);
            continue;
        }
        ASSERT_EQ(IntegrityCheck(path), "ok") << "round " << round;
        HistoryDatabase db(path);
        const std::vector<HistoryGame> list = ReadGameList(db, {""});
        // Every acknowledged game is there; the one being stored at the kill may be too.
        const int added = int(list.size()) - stored;
        ASSERT_TRUE(added == acknowledged || added == acknowledged + 1)
            << "round " << round << ": " << added << " new games, " << acknowledged << " acknowledged";
        unacknowledged += added - acknowledged;
        for (std::size_t i = std::size_t(stored); i < list.size(); ++i) {
            const std::optional<HistoryGame> g = db.ReadGame(list[i].id);
            ASSERT_TRUE(g.has_value());
            const HistoryGame& want = games[std::size_t(g->started)];
            ASSERT_EQ(g->choices.size(), want.choices.size()) << "game " << g->started;
            ASSERT_TRUE(g->choices.empty() || g->choices.back().position == want.choices.back().position);
            ASSERT_EQ(g->sumLoss, want.sumLoss);
        }
        stored = int(list.size());
        db.Close();
        SqliteDb raw(path, false);
        SqliteStmt orphans(raw, "SELECT count(*) FROM choices WHERE game NOT IN (SELECT id FROM games)");
        ASSERT_TRUE(orphans.Step());
        ASSERT_EQ(orphans.Int(0), 0);
    }
    std::printf("kill test: %d rounds, %d games stored, %d committed just before the kill\n", rounds, stored,
                unacknowledged);
    EXPECT_GT(stored, rounds);
}

TEST(HistoryFaults, ALockedFileIsWaitedForBrieflyThenToldAndTheGamesKeptForLater) {
    TempFolder folder;
    const std::string path = folder / "h.sqlite";
    const std::vector<HistoryGame> games = NumberedGames(5, 100);
    HistoryDatabase db(path, {200});
    ASSERT_TRUE(db.StoreGame(games[0]).ok);

    // A reader in another trainer does not hold the writer up.
    SqliteDb other(path, false);
    SqliteStmt begin(other, "BEGIN"), read(other, "SELECT count(*) FROM games"), commit(other, "COMMIT");
    begin.Run();
    ASSERT_TRUE(read.Step());
    read.Reset();
    EXPECT_TRUE(db.StoreGame(games[1]).ok);
    commit.Run();

    // A writer does, for the busy timeout, then the trainer says so and plays on.
    other.Exec("BEGIN IMMEDIATE");
    const auto t0 = std::chrono::steady_clock::now();
    HistoryResult r = db.StoreGame(games[2]);
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.show);
    EXPECT_TRUE(Contains(r.message, "is in use by another program")) << r.message;
    EXPECT_TRUE(Contains(r.message, "The game was not stored; the trainer keeps it and tries again")) << r.message;
    EXPECT_TRUE(waited > 0.15 && waited < 5.0) << waited;
    r = db.StoreGame(games[3]);
    EXPECT_FALSE(r.ok || r.show);   // told once
    EXPECT_TRUE(Contains(r.message, "2 games were not stored")) << r.message;
    EXPECT_EQ(db.PendingGames(), 2);
    other.Exec("COMMIT");

    r = db.StoreGame(games[4]);
    EXPECT_TRUE(r.ok && r.message.empty()) << r.message;
    EXPECT_EQ(db.PendingGames(), 0);
    EXPECT_EQ(StoredStarts(db), (std::vector<std::int64_t>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(Contains(hardening::ReadBytes(LogFilePath()), "History: The history \"" + path + "\" is in use"));
}

TEST(HistoryFaults, AReadOnlyFileOrFolderKeepsItsGamesAndTheNewOnesWaitInMemory) {
    const std::vector<HistoryGame> games = NumberedGames(4, 200);
    for (const bool wholeFolder : {false, true}) {
        SCOPED_TRACE(wholeFolder ? "read-only folder" : "read-only file");
        TempFolder folder;
        const std::string path = folder / "h.sqlite";
        {
            HistoryDatabase db(path);
            ASSERT_TRUE(db.StoreGame(games[0]).ok);
        }
        const std::string bytes = hardening::ReadBytes(path);
        if (!SetReadOnly(wholeFolder ? folder.path : path, true)) GTEST_SKIP() << "cannot make a file read-only here";
        HistoryDatabase db(path);
        HistoryResult r = db.StoreGame(games[1]);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.show);
        EXPECT_TRUE(Contains(r.message, "read-only")) << r.message;
        EXPECT_TRUE(Contains(r.message, "The game was not stored; the trainer keeps it")) << r.message;
        r = db.StoreGame(games[2]);
        EXPECT_FALSE(r.ok || r.show);
        if (!wholeFolder) {
            EXPECT_EQ(StoredStarts(db), std::vector<std::int64_t>{0});   // still readable
        }
        EXPECT_TRUE(hardening::ReadBytes(path) == bytes) << "the read-only file was changed";

        ASSERT_TRUE(SetReadOnly(wholeFolder ? folder.path : path, false));
        r = db.StoreGame(games[3]);
        EXPECT_TRUE(r.ok) << r.message;
        EXPECT_EQ(StoredStarts(db), (std::vector<std::int64_t>{0, 1, 2, 3}));
    }
}

TEST(HistoryFaults, AFullDiskLosesNoStoredGameAndTheNewOnesFollowWhenThereIsRoom) {
    TempFolder folder;
    const std::string mount = folder / "small";
    ::mkdir(mount.c_str(), 0755);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); the full disk is not tested";
    struct Unmount {
        std::string dir;
        ~Unmount() { ::umount2(dir.c_str(), MNT_DETACH); }
    } unmount{mount};

    const std::string path = mount + "/h.sqlite";
    const std::vector<HistoryGame> games = NumberedGames(6, 300);
    HistoryDatabase db(path);
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(db.StoreGame(games[std::size_t(k)]).ok);
    // Fill the disk to the last byte.
    const std::string filler = mount + "/filler";
    {
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        while (::write(fd, block.data(), 1) > 0) {
        }
        ::close(fd);
    }
    HistoryResult r = db.StoreGame(games[3]);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.show);
    EXPECT_TRUE(Contains(r.message, "the disk is full")) << r.message;
    r = db.StoreGame(games[4]);
    EXPECT_FALSE(r.ok || r.show);
    EXPECT_EQ(db.PendingGames(), 2);
    EXPECT_EQ(StoredStarts(db), (std::vector<std::int64_t>{0, 1, 2}));

    ASSERT_EQ(::unlink(filler.c_str()), 0);
    r = db.StoreGame(games[5]);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(StoredStarts(db), (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5}));
    db.Close();
    EXPECT_EQ(IntegrityCheck(path), "ok");
}

TEST(HistoryFaults, ADamagedFileIsMovedAsideWithItsNewNameAndANewHistoryStarted) {
    const std::vector<HistoryGame> games = NumberedGames(30, 500);
    // Garbage over the header, a file of garbage only, and garbage over the stored choices.
    for (const int damage : {0, 1, 2}) {
        SCOPED_TRACE(damage);
        TempFolder folder;
        const std::string path = folder / "QuintorTrainerHistory.sqlite";
        {
            HistoryDatabase db(path);
            for (const HistoryGame& g : games) ASSERT_TRUE(db.StoreGame(g).ok);
        }
        std::string bytes = hardening::ReadBytes(path);
        ASSERT_GT(bytes.size(), 40'000u);
        std::mt19937 rng{std::uint32_t(damage)};
        const std::size_t from = damage == 0 ? 0 : damage == 1 ? 0 : bytes.size() / 2;
        const std::size_t to = damage == 0 ? 4096 : bytes.size();
        for (std::size_t i = from; i < to; ++i) bytes[i] = char(rng());
        hardening::WriteBytes(path, bytes);

        HistoryDatabase db(path);
        HistoryResult r;
        if (damage == 2) {   // the header is sound; the statistics read the damaged pages
            (void)ReadLossSplits(db, {""}, &r);
            EXPECT_FALSE(r.ok);
            EXPECT_TRUE(db.StoreGame(games[0]).ok);
        } else {
            r = db.StoreGame(games[0]);
            EXPECT_TRUE(r.ok) << r.message;
        }
        EXPECT_TRUE(r.show);
        const std::string head = "The history \"" + path + "\" was damaged; it was moved to \"";
        ASSERT_EQ(r.message.rfind(head, 0), 0u) << r.message;
        const std::string moved = r.message.substr(head.size(), r.message.find('"', head.size()) - head.size());
        EXPECT_TRUE(Contains(moved, folder / "QuintorTrainerHistory-damaged-")) << moved;
        EXPECT_EQ(moved.substr(moved.size() - 7), ".sqlite");
        EXPECT_TRUE(Contains(r.message, "and a new history was started.")) << r.message;
        EXPECT_TRUE(hardening::ReadBytes(moved) == bytes) << "the damaged file was changed";   // kept for whoever wants it
        EXPECT_EQ(StoredStarts(db), std::vector<std::int64_t>{0});
        EXPECT_TRUE(db.StoreGame(games[1]).ok);
        db.Close();
        EXPECT_EQ(IntegrityCheck(path), "ok");
    }
}
