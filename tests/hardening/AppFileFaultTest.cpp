// Faults of the window program's files: a settings file that is malformed or cannot be read, a
// table file that is a directory, cut short or garbage, and a report saved where it cannot go.
// Each is shown in a message, the program goes on, and no good file loses a byte.
#include <limits>

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "HardeningSupport.h"
#include "app/ScriptedDialogs.h"
#include "app/TableSettings.h"
#include "app/gamerecordings.h"
#include "app/main.h"
#include "app/settings.h"
#include "engine/QuintorStrategies.h"

using namespace quintor;
using namespace quintor::hardening;

namespace {

// A program folder root/bin (ExePath) with the settings file in it.
struct Program {
    TempFolder root;
    std::string bin = root / "bin";
    std::string settings = bin + "/" + SettingsFileName;
    Program() { fs::create_directory(bin), SetExePath(bin); }
};

const char* const Malformed = "[Tables\nLocation=/old/tables\n[General\n=odd\nVersion=\n[[\n";

std::string TableImage(double v) {
    return std::string(reinterpret_cast<const char*>(std::vector<double>(NGameStates, v).data()),
                       GameStateTableBytes);
}

}  // namespace

TEST(SettingsFaults, AMalformedOrUnreadableFileIsReportedNeverRewrittenAndTheWindowsGoOn) {
    for (const bool asDirectory : {false, true}) {
        SCOPED_TRACE(asDirectory ? "directory" : "malformed");
        Program p;
        asDirectory ? fs::create_directory(p.settings) : (WriteBytes(p.settings, Malformed), true);
        const std::string shown = ReadTablesLocation();
        EXPECT_FALSE(shown.empty());
        // Start-up shows that the version could not be written and goes on, usable; a new
        // location, clicked as the mouse gives it, is refused and the old one stays shown.
        ScriptedDialogs dialogs;
        dialogs.ExpectError();
        dialogs.ExpectInform();   // no table at the location
        TMainForm main;
        EXPECT_TRUE(main.Settings1->isEnabled());
        TCreateTableForm form;
        dialogs.ExpectDirectory(p.root / "elsewhere");
        dialogs.ExpectError();
        QPushButton* b = form.ChangeLocationButton;
        const QPointF at = QRectF(b->rect()).center();
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, b->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(b, &e);
        }
        EXPECT_TRUE(dialogs.Done());
        const auto errors = dialogs.Texts(ScriptedDialogs::ErrorKind);
        ASSERT_EQ(errors.size(), 2u);
        EXPECT_TRUE(Contains(errors[0], p.settings) && Contains(errors[1], p.settings));
        EXPECT_TRUE(asDirectory || Contains(errors[1], "not a valid settings file")) << errors[1];
        EXPECT_EQ(form.textLocation->text().toStdString(), shown);
        EXPECT_EQ(ReadTablesLocation(), shown);
        EXPECT_TRUE(asDirectory ? fs::is_directory(p.settings) : ReadBytes(p.settings) == Malformed);
    }
}

TEST(TableLoadFaults, ABadTableFileIsReportedAndTheTablesInMemoryStay) {
    Program p;
    const std::string good = p.root / "good";
    fs::create_directory(good);
    WriteBytes(good + "/" + OptimalTableFileName, TableImage(7.0));
    WriteTablesLocation(good);
    ScriptedDialogs().ExpectInform(), LoadTables();   // its one message: no variance table
    const GameStateTable loaded = OptimalStrategy->Cache->Table;
    ASSERT_TRUE(TablesLoaded && loaded[0] == 7.0);

    std::string nan = TableImage(8.0);
    const double bad = std::numeric_limits<double>::quiet_NaN();
    nan.replace(8 * 99, 8, std::string(reinterpret_cast<const char*>(&bad), 8));
    const std::pair<std::string, const char*> cases[] = {
        {TableImage(8.0).substr(0, 4096), "ends after 4096 bytes"},
        {nan, "entry 99 is not a number"},
        {"", "Could not find"}};   // a directory in place of the file counts as no table
    for (const auto& [bytes, reason] : cases) {
        SCOPED_TRACE(reason);
        const std::string dir = p.root / reason, file = dir + "/" + OptimalTableFileName;
        fs::create_directory(dir);
        bytes.empty() ? fs::create_directory(file) : (WriteBytes(file, bytes), true);
        WriteTablesLocation(dir);
        ScriptedDialogs dialogs;
        bytes.empty() ? dialogs.ExpectInform() : dialogs.ExpectError();
        LoadTables();
        EXPECT_TRUE(dialogs.Done() && Contains(dialogs.Last(), file) &&
                    Contains(dialogs.Last(), reason)) << dialogs.Last();
        EXPECT_TRUE(OptimalStrategy->Cache->Table == loaded && TablesLoaded);
        EXPECT_TRUE(bytes.empty() ? fs::is_directory(file) : ReadBytes(file) == bytes);
    }
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

    const std::string old = p.root / "old.txt", pipe = p.root / "pipe.txt";
    WriteBytes(old, "an earlier report\r\n");
    WriteBytes(p.root / "plain", "");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // The file, and a file-size limit while saving (the disk fills up part way), or none.
    const std::pair<std::string, long> cases[] = {
        {p.root / "plain/report.txt", -1}, {p.root / "missing/report.txt", -1}, {pipe, -1}, {old, 64}};
    for (const auto& [file, limit] : cases) {
        SCOPED_TRACE(file);
        ScriptedDialogs dialogs;
        dialogs.ExpectSaveFile(file);
        dialogs.ExpectError();
        {
            std::unique_ptr<FileSizeLimit> full;
            if (limit >= 0) full = std::make_unique<FileSizeLimit>(rlim_t(limit));
            window.SaveButtonClick();
        }
        EXPECT_TRUE(dialogs.Done() && Contains(dialogs.Last(), file)) << dialogs.Last();
        EXPECT_TRUE(window.Unsaved && window.windowTitle() == caption);
    }
    EXPECT_EQ(ReadBytes(old), "an earlier report\r\n");
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(Entries(p.root.path), 4);   // bin old.txt pipe.txt plain

    // Where it can go, the same report is then saved whole.
    ScriptedDialogs dialogs;
    dialogs.ExpectSaveFile(p.root / "report.txt");
    window.SaveButtonClick();
    EXPECT_FALSE(window.Unsaved);
    EXPECT_TRUE(Contains(ReadBytes(p.root / "report.txt"), "Game Details and Analysis\r\n"));
}
