// The settings file: its layout, the default table location and where it goes when the
// program's folder cannot take it.
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/settings.h"
#include "core/GeneralStuff.h"

namespace fs = std::filesystem;

TEST(SettingsFile, KeepsVersionAndLocationInTheirSectionsAndLeavesOtherKeys) {
    ProgramFolder folder;
    EXPECT_EQ(ReadIniVersion(), "");
    WriteWholeFile(folder.Bin() + "/" + SettingsFileName, "[Window]\nLeft=12\n");

    WriteIniVersion("1.2.1 beta");
    // Blanks and a comma must come back as one plain text, not a list.
    const std::string odd = folder.Root() + "/my tables, old";
    WriteTablesLocation(odd);
    EXPECT_EQ(ReadIniVersion(), "1.2.1 beta");
    EXPECT_EQ(ReadTablesLocation(), odd);

    const std::string text = folder.SettingsText();
    EXPECT_NE(text.find("[General]\nVersion=1.2.1 beta\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Tables]\nLocation="), std::string::npos) << text;
    EXPECT_NE(text.find("[Window]\nLeft=12\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("%General"), std::string::npos) << text;
}

TEST(SettingsFile, DefaultLocationIsTheFolderBesideTheProgramsAndIsNeverWritten) {
    ProgramFolder folder;
    EXPECT_EQ(ReadTablesLocation(), folder.Bin());
    folder.Make("gstbl");
    EXPECT_EQ(ReadTablesLocation(), folder.Bin() + "/../gstbl");
    EXPECT_FALSE(quintor::FileExists(SettingsFilePath()));

    // An empty value counts as missing.
    WriteTablesLocation("");
    EXPECT_EQ(ReadTablesLocation(), folder.Bin() + "/../gstbl");
}

TEST(SettingsFile, GoesToTheUserConfigurationFolderWhenTheProgramsFolderIsNotWritable) {
    ProgramFolder folder;
    const std::string config = folder.Make("config");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    // A program folder that cannot hold a file: it lies below a plain file.
    WriteWholeFile(folder.Root() + "/plain", "");
    SetExePath(folder.Root() + "/plain/bin");
    const std::string expected = config + "/QuintorTrainer/" + SettingsFileName;
    EXPECT_EQ(SettingsFilePath(), expected);
    WriteTablesLocation(folder.Root() + "/tables");
    EXPECT_EQ(ReadTablesLocation(), folder.Root() + "/tables");
    EXPECT_TRUE(fs::exists(expected));

    // Writable again: beside the program.
    SetExePath(folder.Bin());
    EXPECT_EQ(SettingsFilePath(), folder.Bin() + "/" + SettingsFileName);
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
