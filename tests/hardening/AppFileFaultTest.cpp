// Faults of the window program's files: a settings file that is malformed or cannot be read, a
// table file that is a directory, cut short or garbage, and a report saved where it cannot go.
// Each is shown in a message, the program goes on, and no good file loses a byte.
#include <filesystem>
#include <limits>
#include <string>

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "HardeningSupport.h"
#include "app/ScriptedDialogs.h"
#include "app/TableSettings.h"
#include "app/gamerecordings.h"
#include "app/main.h"
#include "app/settings.h"
#include "engine/QuintorStrategies.h"

namespace fs = std::filesystem;
using namespace quintor;
using namespace quintor::hardening;

namespace {

// A program folder root/bin (ExePath) with the settings file in it.
struct Program {
    TempFolder root;
    std::string bin = root / "bin";
    std::string settings = bin + "/" + SettingsFileName;
    Program() {
        fs::create_directory(bin);
        SetExePath(bin);
    }
};

const char* const Malformed = "[Tables\nLocation=/old/tables\n[General]\n=odd\nVersion=1.0\n[[\n";

std::string TableImage(double v) {
    return std::string(reinterpret_cast<const char*>(std::vector<double>(NGameStates, v).data()),
                       GameStateTableBytes);
}

// A click as the mouse gives it, through the application object and its error handling.
void Click(QPushButton* b) {
    const QPointF at = QRectF(b->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, b->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, b->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b, &release);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(SettingsFaults, AMalformedOrUnreadableFileIsReportedAndNeverRewritten) {
    {
        Program p;
        WriteBytes(p.settings, Malformed);
        EXPECT_FALSE(ReadTablesLocation().empty());
        try {
            WriteTablesLocation(p.root / "new");
            ADD_FAILURE() << "a malformed settings file was written";
        } catch (const IOError& e) {
            EXPECT_TRUE(Contains(e.what(), p.settings)) << e.what();
            EXPECT_TRUE(Contains(e.what(), "not a valid settings file")) << e.what();
        }
        EXPECT_EQ(ReadBytes(p.settings), Malformed);
    }
    {   // A directory where the file should be: nothing can be read, nothing written.
        Program p;
        fs::create_directory(p.settings);
        EXPECT_EQ(ReadIniVersion(), "");
        EXPECT_EQ(ReadTablesLocation(), p.bin);
        EXPECT_THROW(WriteIniVersion("1.2.1 beta"), IOError);
        EXPECT_TRUE(fs::is_directory(p.settings));
    }
}

TEST(SettingsFaults, TheMainWindowStartsWithASettingsFileItCannotWrite) {
    for (const bool asDirectory : {false, true}) {
        SCOPED_TRACE(asDirectory ? "directory" : "malformed");
        Program p;
        if (asDirectory)
            fs::create_directory(p.settings);
        else
            WriteBytes(p.settings, "[General\nVersion=\n");
        const std::string before = asDirectory ? "" : ReadBytes(p.settings);
        ScriptedDialogs dialogs;
        dialogs.ExpectError();    // the version could not be written
        dialogs.ExpectInform();   // no table in the program's folder
        TMainForm form;
        ASSERT_EQ(dialogs.Texts(ScriptedDialogs::ErrorKind).size(), 1u);
        EXPECT_TRUE(Contains(dialogs.Texts(ScriptedDialogs::ErrorKind)[0], p.settings));
        EXPECT_TRUE(dialogs.Done());
        // The window is up and usable: its table settings can still be opened.
        EXPECT_TRUE(form.Settings1->isEnabled());
        if (asDirectory)
            EXPECT_TRUE(fs::is_directory(p.settings));
        else
            EXPECT_EQ(ReadBytes(p.settings), before);
    }
}

TEST(SettingsFaults, AChangeOfLocationThatCannotBeSavedKeepsTheOldOne) {
    Program p;
    WriteBytes(p.settings, Malformed);
    const std::string shown = ReadTablesLocation();
    ScriptedDialogs dialogs;
    TCreateTableForm form;
    dialogs.ExpectDirectory(p.root / "elsewhere");
    dialogs.ExpectError();
    Click(form.ChangeLocationButton);
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(form.textLocation->text().toStdString(), shown);
    EXPECT_EQ(ReadTablesLocation(), shown);
    EXPECT_EQ(ReadBytes(p.settings), Malformed);
}

TEST(TableLoadFaults, ABadTableFileIsReportedAndTheTablesInMemoryStay) {
    Program p;
    const std::string good = p.root / "good";
    fs::create_directory(good);
    WriteBytes(good + "/" + OptimalTableFileName, TableImage(7.0));
    WriteTablesLocation(good);
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectInform();   // no variance table
        LoadTables();
    }
    ASSERT_TRUE(TablesLoaded);
    const GameStateTable loaded = OptimalStrategy->Cache->Table;
    ASSERT_EQ(loaded[0], 7.0);

    std::string nan = TableImage(8.0);
    const double bad = std::numeric_limits<double>::quiet_NaN();
    nan.replace(8 * 99, 8, std::string(reinterpret_cast<const char*>(&bad), 8));
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {{"short", TableImage(8.0).substr(0, 4096), "ends after 4096 bytes"},
                          {"garbage", nan, "entry 99 is not a number"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = p.root / c.name;
        fs::create_directory(dir);
        WriteBytes(dir + "/" + OptimalTableFileName, c.bytes);
        WriteTablesLocation(dir);
        ScriptedDialogs dialogs;
        dialogs.ExpectError();
        LoadTables();
        ASSERT_EQ(dialogs.Texts(ScriptedDialogs::ErrorKind).size(), 1u);
        const std::string text = dialogs.Texts(ScriptedDialogs::ErrorKind)[0];
        EXPECT_TRUE(Contains(text, dir + "/" + OptimalTableFileName)) << text;
        EXPECT_TRUE(Contains(text, c.reason)) << text;
        EXPECT_TRUE(OptimalStrategy->Cache->Table == loaded);
        EXPECT_TRUE(TablesLoaded);
        EXPECT_EQ(ReadBytes(dir + "/" + OptimalTableFileName), c.bytes);
    }

    // A directory in place of the table file counts as no table.
    const std::string dirInstead = p.root / "dir-instead";
    fs::create_directories(dirInstead + "/" + OptimalTableFileName);
    WriteTablesLocation(dirInstead);
    ScriptedDialogs dialogs;
    dialogs.ExpectInform();
    LoadTables();
    ASSERT_EQ(dialogs.Texts(ScriptedDialogs::InformKind).size(), 1u);
    EXPECT_TRUE(Contains(dialogs.Texts(ScriptedDialogs::InformKind)[0], "Could not find"));
    EXPECT_TRUE(OptimalStrategy->Cache->Table == loaded);
    EXPECT_EQ(ReadBytes(good + "/" + OptimalTableFileName), TableImage(7.0));
}

TEST(ReportSaveFaults, AReportThatCannotBeSavedStaysUnsavedAndTheOldFileStays) {
    Program p;
    TGameRecForm window;
    GameRecording empty;
    InitGameRecording(empty);
    window.ShowAnalysis(empty);
    ASSERT_TRUE(window.Unsaved);
    const QString caption = window.windowTitle();

    const std::string old = p.root / "old.txt";
    WriteBytes(old, "an earlier report\r\n");
    WriteBytes(p.root / "plain", "");
    const std::string pipe = p.root / "pipe.txt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    struct Case {
        std::string file;
        long limit;   // file-size limit while saving, or -1 for none
    };
    const Case cases[] = {{p.root / "plain/report.txt", -1},
                          {p.root / "missing/report.txt", -1},
                          {pipe, -1},
                          {old, 64}};   // the disk fills up part way through the report
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ScriptedDialogs dialogs;
        dialogs.ExpectSaveFile(c.file);
        dialogs.ExpectError();
        if (c.limit >= 0) {
            FileSizeLimit limit(rlim_t(c.limit));
            window.SaveButtonClick();
        } else {
            window.SaveButtonClick();
        }
        ASSERT_EQ(dialogs.Texts(ScriptedDialogs::ErrorKind).size(), 1u);
        EXPECT_TRUE(Contains(dialogs.Texts(ScriptedDialogs::ErrorKind)[0], c.file));
        EXPECT_TRUE(window.Unsaved);
        EXPECT_EQ(window.windowTitle(), caption);
    }
    EXPECT_EQ(ReadBytes(old), "an earlier report\r\n");
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(ReadBytes(p.root / "plain"), "");
    EXPECT_EQ(Listing(p.root.Path()), "bin\nold.txt\npipe.txt\nplain\n");

    // Where it can go, the same report is saved whole.
    ScriptedDialogs dialogs;
    const std::string good = p.root / "report.txt";
    dialogs.ExpectSaveFile(good);
    window.SaveButtonClick();
    EXPECT_FALSE(window.Unsaved);
    EXPECT_TRUE(Contains(ReadBytes(good), "Game Details and Analysis\r\n"));
}
