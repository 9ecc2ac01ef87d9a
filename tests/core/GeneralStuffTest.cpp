#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/GeneralStuff.h"

namespace quintor {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const fs::path& p) {
    std::istringstream in(ReadFile(p));
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// A fresh directory per test, removed afterwards.
class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("quintor-core-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir;
};

// Lowers the file size limit for one scope, so writes fail with EFBIG instead of a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = saved_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int);
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            ::setenv(name_.c_str(), old_.c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool had_ = false;
};

TEST(Diagnostics, FailAndCheckCarryTheExactText) {
    try {
        Fail("InitValueSubBags", "i=4368");
        ADD_FAILURE() << "Fail returned";
    } catch (const CheckFailure& e) {
        EXPECT_STREQ(e.what(), "InitValueSubBags: i=4368 FAILED");
    }
    EXPECT_NO_THROW(Check(true, "ExtendGameRecording", "GR.len < MaxGameRecordingIndex"));
    try {
        Check(false, "ExtendGameRecording", "GR.len < MaxGameRecordingIndex");
        ADD_FAILURE() << "Check passed a false condition";
    } catch (const CheckFailure& e) {
        EXPECT_STREQ(e.what(), "ExtendGameRecording: GR.len < MaxGameRecordingIndex FAILED");
    }
    // A failed check is no recoverable error: handlers for those must not swallow it.
    EXPECT_FALSE((std::is_base_of_v<QuintorError, CheckFailure>));

    EXPECT_EQ(CheckRange(5, 0, 5, "count"), 5);
    try {
        CheckRange(-3, 0, 5, "count");
        ADD_FAILURE() << "no range error";
    } catch (const RangeError& e) {
        EXPECT_STREQ(e.what(), "count = -3 is outside 0..5");
    }
}

TEST(TextHelpers, NumbersAndStrings) {
    EXPECT_EQ(IntToStrW(7, 3), "  7");
    EXPECT_EQ(IntToStrW(-12, 2), "-12");
    EXPECT_EQ(IntToStrW(0, 1), "0");
    EXPECT_EQ(IntToStrW(1575, 2), "1575");
    EXPECT_EQ(IntToStrW(5, 0), "5");
    EXPECT_EQ(IntToStrW(5, -4), "5");
    EXPECT_EQ(IntToStrW(LLONG_MIN, 0), "-9223372036854775808");

    EXPECT_EQ(RepeatStr("-", 5), "-----");
    EXPECT_EQ(RepeatStr("x", 0), "");
    EXPECT_THROW(RepeatStr("x", -1), RangeError);

    EXPECT_EQ(UpCase('a'), 'A');
    EXPECT_EQ(UpCase('3'), '3');
    EXPECT_EQ(UpCase('{'), '{');
    EXPECT_EQ(DigitValue('0'), 0);
    EXPECT_EQ(DigitChar(6), '6');
    EXPECT_THROW(DigitChar(10), RangeError);

    EXPECT_EQ(FixedStr(2.345678, 2), "2.35");
    EXPECT_EQ(FixedStr(-0.5, 0), "-0");
    EXPECT_EQ(GeneralStr(254.5896), "254.5896");
    EXPECT_EQ(GeneralStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(TrimStr("\t  a b \r\n"), "a b");
    EXPECT_EQ(Format("%7.2f|%*d|%2.0f|%s", 3.14159, 4, 42, 7.0, "x"), "   3.14|  42| 7|x");
    const std::string big(5000, 'q');
    EXPECT_EQ(Format("<%s>", big.c_str()), "<" + big + ">");
}

TEST(Paths, PartsOfPathsAndTheLogName) {
    EXPECT_EQ(DirectoryOf("/a/b/prog"), "/a/b");
    EXPECT_EQ(DirectoryOf("/prog"), "/");
    EXPECT_EQ(DirectoryOf("prog"), ".");
    EXPECT_EQ(FileNameOf("/a/b/prog.x"), "prog.x");
    EXPECT_EQ(LogPathFor("/opt/q/Trainer.exe"), "/opt/q/Trainer.log");
    EXPECT_EQ(LogPathFor("/opt/q/QuintorTrainer"), "/opt/q/QuintorTrainer.log");
    EXPECT_EQ(LogPathFor("/opt/q/a.b.c"), "/opt/q/a.b.log");
    // Only a dot in the file name starts an extension, not one in a directory name.
    EXPECT_EQ(LogPathFor("/opt/q.d/prog"), "/opt/q.d/prog.log");
    EXPECT_EQ(LogPathFor("/prog"), "/prog.log");

    const std::string exe = ExecutablePath();
    EXPECT_EQ(exe.front(), '/');
    EXPECT_TRUE(FileExists(exe));
    EXPECT_TRUE(DirectoryExists(DirectoryOf(exe)));
    EXPECT_FALSE(FileExists(DirectoryOf(exe)));
}

TEST_F(TempDir, UserFoldersFollowTheEnvironment) {
    {
        ScopedEnv state("XDG_STATE_HOME", (dir / "st").c_str());
        EXPECT_EQ(UserFolder("state"), (dir / "st" / "QuintorTrainer").string());
        EXPECT_TRUE(DirectoryExists(dir / "st" / "QuintorTrainer"));
    }
    {
        ScopedEnv home("HOME", dir.c_str());
        ScopedEnv state("XDG_STATE_HOME", nullptr);
        ScopedEnv config("XDG_CONFIG_HOME", "relative/ignored");
        EXPECT_EQ(UserFolder("state"), (dir / ".local/state/QuintorTrainer").string());
        EXPECT_EQ(UserFolder("config"), (dir / ".config/QuintorTrainer").string());
        EXPECT_TRUE(DirectoryExists(dir / ".config/QuintorTrainer"));
    }
    EXPECT_THROW(UserFolder("nonsense"), RangeError);
    std::ofstream(dir / "file") << "x";
    ScopedEnv blocked("XDG_STATE_HOME", (dir / "file").c_str());
    EXPECT_THROW(UserFolder("state"), IOError);
}

TEST_F(TempDir, AtomicWriteReplacesOrLeavesEverythingAsItWas) {
    const fs::path target = dir / "report.txt";
    WriteTextFileAtomically(target, "first\n");
    EXPECT_EQ(ReadFile(target), "first\n");
    fs::permissions(target, fs::perms(0640));
    WriteTextFileAtomically(target, "second\n");
    EXPECT_EQ(ReadFile(target), "second\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    WriteFileAtomically(target, "", 0);
    EXPECT_EQ(ReadFile(target), "");
    WriteTextFileAtomically(target, "kept\n");

    // A directory that does not exist.
    try {
        WriteTextFileAtomically(dir / "missing" / "r.txt", "x");
        ADD_FAILURE() << "no error";
    } catch (const IOError& e) {
        EXPECT_NE(std::string(e.what()).find((dir / "missing" / "r.txt").string()), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos);
    }
    // A target that is a directory.
    fs::create_directory(dir / "sub");
    std::ofstream(dir / "sub" / "inner") << "inner";
    EXPECT_THROW(WriteTextFileAtomically(dir / "sub", "x"), IOError);
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_EQ(ReadFile(dir / "sub" / "inner"), "inner");
    // A write that fails halfway: the old contents stay and no temporary file is left behind.
    {
        FileSizeLimit limit(4096);
        const std::string big(100000, 'z');
        try {
            WriteTextFileAtomically(target, big);
            ADD_FAILURE() << "no error";
        } catch (const IOError& e) {
            EXPECT_NE(std::string(e.what()).find("File too large"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ReadFile(target), "kept\n");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"report.txt", "sub"}));
}

TEST_F(TempDir, RunLogLinesPathAndFallback) {
    const std::string previous = LogFilePath();
    DoneGeneralStuff();
    // Outside the open window the log swallows everything.
    EXPECT_EQ(LogFilePath(), "");
    EXPECT_NO_THROW(LogFile() << "discarded" << std::endl);
    EXPECT_NO_THROW(DoneGeneralStuff());

    const std::regex started("Run Started on .+");
    const std::regex stopped("Run Stopped on .+");
    const fs::path log = dir / "Trainer.log";
    std::ofstream(log) << "an older run\nwith more lines\nthan this one\n";
    InitGeneralStuff((dir / "Trainer.exe").string());
    EXPECT_EQ(LogFilePath(), log.string());
    LogFile() << "middle line\n";
    FlushLog();
    // Readable while open: the first line is flushed at once.
    std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], started)) << lines[0];
    DoneGeneralStuff();
    DoneGeneralStuff();
    lines = Lines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "middle line");
    EXPECT_TRUE(std::regex_match(lines[2], stopped)) << lines[2];

    // An unwritable program folder: the log goes to the user's state folder.
    {
        ScopedEnv state("XDG_STATE_HOME", (dir / "state").c_str());
        InitGeneralStuff((dir / "no-such-folder" / "prog").string());
        EXPECT_EQ(LogFilePath(), (dir / "state" / "QuintorTrainer" / "prog.log").string());
        DoneGeneralStuff();
        EXPECT_EQ(Lines(dir / "state" / "QuintorTrainer" / "prog.log").size(), 2u);
        if (::geteuid() != 0) {   // permissions do not bind the superuser
            fs::create_directory(dir / "ro");
            fs::permissions(dir / "ro", fs::perms(0555));
            InitGeneralStuff((dir / "ro" / "other.bin").string());
            EXPECT_EQ(LogFilePath(), (dir / "state" / "QuintorTrainer" / "other.log").string());
            DoneGeneralStuff();
        }
    }

    // The stamp follows the locale: in the C locale "%x %X" is MM/DD/YY HH:MM:SS.
    {
        ScopedEnv lc("LC_ALL", "C");
        EXPECT_TRUE(std::regex_match(DateTimeStamp(), std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d)")))
            << DateTimeStamp();
    }

    // A failing log write raises IOError naming the log, and closing still happens.
    InitGeneralStuff((dir / "full").string());
    {
        FileSizeLimit limit(1024);
        try {
            LogFile() << std::string(20000, 'x') << std::flush;
            ADD_FAILURE() << "no error";
        } catch (const IOError& e) {
            EXPECT_NE(std::string(e.what()).find((dir / "full.log").string()), std::string::npos) << e.what();
        }
        EXPECT_THROW(DoneGeneralStuff(), IOError);
    }
    EXPECT_EQ(LogFilePath(), "");

    if (!previous.empty()) InitGeneralStuff();
}

}  // namespace
}  // namespace quintor
