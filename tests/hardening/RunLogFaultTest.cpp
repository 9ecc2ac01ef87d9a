// A run log on a full disk must not end the program abnormally: at start-up the log moves to
// the user's state folder, and where that is full too the program runs on without one; at the
// end a last line that does not fit is told on the error stream.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "HardeningSupport.h"
#include "core/GeneralStuff.h"
#include "play/QuintorStartup.h"

namespace fs = std::filesystem;
using namespace quintor;
using namespace quintor::hardening;

TEST(RunLogFaults, ALogOnAFullDiskMovesToTheStateFolderOrIsLeftOut) {
    TempFolder dir;
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    fs::create_directory(dir / "bin");
    // Every write to the full device fails with "No space left on device"; opening it through a
    // link and writing to it changes nothing there.
    fs::create_symlink("/dev/full", dir / "bin/prog.log");

    EXPECT_NO_THROW(InitGeneralStuff(dir / "bin/prog"));
    const std::string moved = dir / "state/QuintorTrainer/prog.log";
    EXPECT_EQ(LogFilePath(), moved);
    LogFile() << "a line\n";
    FlushLog();
    EXPECT_EQ(ReadBytes(moved).rfind("Run Started on ", 0), 0u);
    EXPECT_NE(ReadBytes(moved).find("a line\n"), std::string::npos);

    fs::remove(moved);
    fs::create_symlink("/dev/full", moved);
    EXPECT_NO_THROW(InitGeneralStuff(dir / "bin/prog"));
    EXPECT_EQ(LogFilePath(), "");
    EXPECT_NO_THROW({
        LogFile() << "into the sink\n";
        FlushLog();
    });
    EXPECT_TRUE(fs::is_symlink(dir / "bin/prog.log"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));

    if (old)
        setenv("XDG_STATE_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
    InitGeneralStuff();   // the test program's own log again
}

TEST(RunLogFaults, ALogThatFillsTheDiskDuringTheRunStillLetsTheProgramStop) {
    TempFolder dir;
    fs::create_directory(dir / "bin");
    InitGeneralStuff(dir / "bin/prog");
    ASSERT_EQ(LogFilePath(), dir / "bin/prog.log");
    const std::string before = ReadBytes(dir / "bin/prog.log");
    {
        // No byte more fits: the last line cannot be written.
        FileSizeLimit full(before.size());
        EXPECT_NO_THROW(StopModules());
    }
    EXPECT_EQ(LogFilePath(), "");
    EXPECT_EQ(ReadBytes(dir / "bin/prog.log"), before);
    InitGeneralStuff();   // the test program's own log again
}
