// Where the tables are looked for when no location is chosen, the same in both programs: a
// folder gstbl beside the program's folder (the build tree), else the program's folder while it
// takes files and is no installation's, else the user's data folder.
#include <cstdlib>
#include <optional>

#include <sys/wait.h>

#include "HardeningSupport.h"
#include "app/ScriptedDialogs.h"
#include "app/TableSettings.h"
#include "app/main.h"
#include "app/settings.h"
#include "engine/QuintorStateTables.h"

using namespace quintor;
using namespace quintor::hardening;

namespace {

// Sets (or, with nullopt, removes) an environment variable while it lives.
struct Environment {
    std::string name;
    std::optional<std::string> saved;
    Environment(std::string var, const std::optional<std::string>& value) : name(std::move(var)) {
        if (const char* old = std::getenv(name.c_str())) saved = old;
        value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    Environment(const Environment&) = delete;
    ~Environment() { saved ? ::setenv(name.c_str(), saved->c_str(), 1) : ::unsetenv(name.c_str()); }
};

// What the console program copied to program prints for "tables info" without --location, and
// its exit code.
std::pair<int, std::string> TablesInfo(const std::string& program, const std::string& scratch) {
    const std::string out = scratch + "/info.txt";
    const int status = std::system(("'" + program + "' tables info > '" + out + "' 2>&1").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(out)};
}

}  // namespace

TEST(DefaultTableLocation, BesideTheProgramInItsFolderOrInTheUsersDataFolderAlikeInBothPrograms) {
    TempFolder root;
    const std::string home = root / "home", bin = root / "bin", program = bin + "/quintor";
    fs::create_directories(home), fs::create_directories(bin);
    fs::copy_file(QUINTOR_BINARY, program);
    const Environment h("HOME", home), data("XDG_DATA_HOME", std::nullopt),
        config("XDG_CONFIG_HOME", home + "/config"), state("XDG_STATE_HOME", std::nullopt);
    const std::string own = home + "/.local/share/QuintorTrainer/gstbl";

    // A program folder that takes files is the place, as in a fresh build tree.
    EXPECT_EQ(DefaultTableLocation(bin), bin);
    EXPECT_EQ(TablesInfo(program, root.path).second.rfind("Table location: " + bin + "\n", 0), 0u);
    EXPECT_TRUE(fs::remove(bin + "/quintor.log"));   // its run log beside it
    EXPECT_FALSE(fs::exists(home + "/.local"));

    {   // An installed program: its folder takes no file, so the tables, the settings and the run
        // log all go to the user's folders, the table folder made ready for the tables.
        FolderLock lock(bin);
        if (!lock.Locked()) GTEST_SKIP() << "this file system cannot make a folder unwritable for root";
        ASSERT_FALSE(DirectoryWritable(bin));
        EXPECT_EQ(DefaultTableLocation(bin), own);
        EXPECT_TRUE(DirectoryWritable(own));
        const auto [rc, out] = TablesInfo(program, root.path);
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(out.rfind("Table location: " + own + "\n", 0), 0u) << out;
        EXPECT_TRUE(FileExists(home + "/.local/state/QuintorTrainer/quintor.log"));

        SetExePath(bin);
        EXPECT_EQ(ReadTablesLocation(), own);
        TablesLoaded = false;
        ScriptedDialogs dialogs;
        dialogs.ExpectInform();
        TMainForm form;
        EXPECT_EQ(dialogs.Last(), "Could not find " + own + "/" + OptimalTableFileName +
                                      ". Use Settings in the Table menu to configure your tables.");
        EXPECT_TRUE(FileExists(home + "/config/QuintorTrainer/" + SettingsFileName));
        EXPECT_EQ(Entries(bin), 1);   // nothing but the program

        // $XDG_DATA_HOME moves it; a relative one is no base folder and is ignored.
        const Environment moved("XDG_DATA_HOME", root / "data");
        EXPECT_EQ(DefaultTableLocation(bin), root / "data/QuintorTrainer/gstbl");
        EXPECT_EQ(TablesInfo(program, root.path).second.rfind("Table location: " + (root / "data/QuintorTrainer/gstbl"), 0), 0u);
        const Environment relative("XDG_DATA_HOME", "data");
        EXPECT_EQ(DefaultTableLocation(bin), own);
    }

    {   // An installation's bin folder that root could write to keeps nothing either: the
        // installed manual page beside it marks it.
        fs::create_directories(root / "share/man/man6");
        std::ofstream(root / "share/man/man6/quintor.6.gz") << "page";
        ASSERT_TRUE(DirectoryWritable(bin));
        EXPECT_EQ(DefaultTableLocation(bin), own);
        const auto [rc, out] = TablesInfo(program, root.path);
        EXPECT_EQ(out.rfind("Table location: " + own + "\n", 0), 0u) << out;
        SetExePath(bin);
        EXPECT_EQ(SettingsFilePath(), home + "/config/QuintorTrainer/" + SettingsFileName);
        EXPECT_EQ(Entries(bin), 1);
        fs::remove_all(root / "share");
    }

    // A folder gstbl beside the program's folder comes first, whether that folder takes files
    // or not; the ".." stays as it is.
    fs::create_directory(root / "gstbl");
    EXPECT_EQ(DefaultTableLocation(bin), bin + "/../gstbl");
    FolderLock lock(bin);
    EXPECT_EQ(DefaultTableLocation(bin), bin + "/../gstbl");
    EXPECT_EQ(TablesInfo(program, root.path).second.rfind("Table location: " + bin + "/../gstbl\n", 0), 0u);
    SetExePath(bin);
    EXPECT_EQ(ReadTablesLocation(), bin + "/../gstbl");
}
