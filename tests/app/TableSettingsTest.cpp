// The table settings window: its texts for each set of files, the creation runs with their
// progress bars, the overwrite question, the change of location and bad table files.
#include <cmath>
#include <filesystem>

#include <QCursor>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ScriptedDialogs.h"
#include "app/TableSettings.h"
#include "app/settings.h"
#include "engine/QuintorStrategies.h"

using namespace quintor;
namespace fs = std::filesystem;

namespace {

const std::string Found =
    "Table found.\nClick Info for information about this table.\nClick Create to recreate the "
    "table.";

std::string MissingExpectedText(const std::string& location) {
    return "Could not find " + location +
           "/OptEScore-Official.gstbl. Use Settings in the Table menu to configure your tables.";
}

// The optimal expected final score of a whole game under the official rules.
constexpr double OptimalGameValue = 254.5896;

struct Snapshot {
    bool visible, createShown, infoShown, waitCursor;
    QString text;
};

// Wraps the window's progress hook for one bar: counts the steps and looks at the screen at
// each of them; throwAt > 0 makes that step fail as a broken disk would.
struct StepWatch {
    StepWatch(std::function<void()>& watched, QProgressBar* bar, QPushButton* create,
              QPushButton* info, QLabel* text, int throwAt = 0)
        : hook(watched), inner(watched) {
        hook = [=, this] {
            ++steps;
            if (steps == throwAt) throw IOError("disk full while writing the table");
            inner();
            last = bar->value();
            if (steps == 1)
                first = {bar->isVisible(), create->isVisible(), info->isVisible(),
                         QApplication::overrideCursor() &&
                             QApplication::overrideCursor()->shape() == Qt::WaitCursor,
                         text->text()};
        };
    }
    ~StepWatch() { hook = inner; }

    std::function<void()>& hook;
    std::function<void()> inner;
    int steps = 0;
    int last = -1;
    Snapshot first{};
};

void ExpectRestored(const TCreateTableForm& w, QProgressBar* bar, QPushButton* create,
                    QPushButton* info) {
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(create->isVisible());
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(w.isVisible());
}

}  // namespace

TEST(TableSettingsWindow, TextsAndStatesFollowTheFilesInTheLocation) {
    ProgramFolder folder;
    struct Case {
        bool expected, variance;
        std::string expectedText, varianceText;
        bool expectedInfo, varianceInfo, varianceCreate;
    };
    const Case cases[] = {
        {false, false,
         "Table not found.\nThis table is required, either click Create to create this table or "
         "change the location.",
         "Table not found.\nYou must first create the Optimal Expected Score Table before you can "
         "compute the Variance.",
         false, false, false},
        {true, false, Found,
         "Table not found.\nThis table is optional. If you want to use it click Create to create "
         "the table.",
         true, false, true},
        {false, true,
         "Table not found.\nThis table is required, either click Create to create this table or "
         "change the location.",
         "Table found.\nYou must first create the Optimal Expected Score Table before you can use "
         "the Quintor Trainer.",
         false, true, false},
        {true, true, Found, Found, true, true, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string dir = folder.Make("case" + std::to_string(n++));
        if (c.expected) WriteWholeFile(dir + "/" + OptimalTableFileName, "x");
        if (c.variance) WriteWholeFile(dir + "/" + VarianceTableFileName, "x");
        WriteTablesLocation(dir);
        ScriptedDialogs dialogs;
        TCreateTableForm w;
        EXPECT_EQ(w.textLocation->text().toStdString(), dir);
        EXPECT_FALSE(w.textLocation->isEnabled());
        EXPECT_EQ(w.OptExpectedText->text().toStdString(), c.expectedText);
        EXPECT_EQ(w.VarianceText->text().toStdString(), c.varianceText);
        EXPECT_EQ(w.OptExpectedText->width(), 200);
        EXPECT_EQ(w.VarianceText->width(), 200);
        EXPECT_EQ(w.ExpectedInfo->isEnabled(), c.expectedInfo);
        EXPECT_EQ(w.VarianceInfo->isEnabled(), c.varianceInfo);
        EXPECT_EQ(w.VarianceCreate->isEnabled(), c.varianceCreate);
        EXPECT_TRUE(w.ExpectedCreate->isEnabled());
        EXPECT_TRUE(w.BothCreate->isEnabled());
        EXPECT_TRUE(w.OKButton->isDefault());
    }

    ScriptedDialogs dialogs;
    TCreateTableForm w;
    EXPECT_EQ(w.windowTitle(), "Table Settings");
    EXPECT_EQ(w.size(), QSize(464, 345));
    EXPECT_EQ(w.pos(), QPoint(441, 208));
    EXPECT_EQ(w.GroupBox1->title(), "Optimal Expected Score (required)");
    EXPECT_EQ(w.GroupBox2->title(), "Variance-in-Score (optional)");
    EXPECT_TRUE(w.Label1->font().bold());
    for (QProgressBar* bar : {w.PBOptE, w.PBV}) {
        EXPECT_FALSE(bar->isVisibleTo(&w));
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 786432);
    }
    for (QWidget* c : std::initializer_list<QWidget*>{
             w.Label2, w.textLocation, w.ChangeLocationButton, w.GroupBox1, w.OptExpectedText,
             w.ExpectedInfo, w.ExpectedCreate, w.PBOptE, w.GroupBox2, w.VarianceText,
             w.VarianceInfo, w.VarianceCreate, w.PBV, w.Label1, w.BothCreate, w.OKButton})
        EXPECT_EQ(w.findChild<QWidget*>(c->objectName()), c) << c->objectName().toStdString();
}

TEST(TableSettingsWindow, CreatingTheExpectedTableStepsTheBarAndSurvivesAFailure) {
    ProgramFolder folder;
    // The first creation of this test program fills the shared store; a later one a new folder.
    const std::string location = TableStoreFilled() ? folder.Make("tables") : TableStore();
    WriteTablesLocation(location);
    TablesLoaded = false;
    const std::string file = location + "/" + OptimalTableFileName;

    ScriptedDialogs dialogs;
    TCreateTableForm w;
    w.show();

    // A run that fails half-way gives the screen back and reports the error.
    {
        StepWatch watch(Progress().optimalStep, w.PBOptE, w.ExpectedCreate, w.ExpectedInfo,
                        w.OptExpectedText, 3);
        dialogs.ExpectError();
        EXPECT_EQ(w.ExpectedCreateClick(), CreateResult::Failed);
        EXPECT_EQ(watch.steps, 3);
        ExpectRestored(w, w.PBOptE, w.ExpectedCreate, w.ExpectedInfo);
        EXPECT_FALSE(TablesLoaded);
        EXPECT_FALSE(FileExists(file));
        const std::string error = dialogs.Texts(ScriptedDialogs::ErrorKind).back();
        EXPECT_NE(error.find(file), std::string::npos) << error;
        EXPECT_NE(error.find("disk full"), std::string::npos) << error;
        EXPECT_EQ(w.OptExpectedText->text().left(16), "Table not found.");
    }

    {
        StepWatch watch(Progress().optimalStep, w.PBOptE, w.ExpectedCreate, w.ExpectedInfo,
                        w.OptExpectedText);
        EXPECT_EQ(w.ExpectedCreateClick(), CreateResult::Created);
        EXPECT_EQ(watch.steps, 768);
        EXPECT_EQ(watch.last, 786432);
        EXPECT_TRUE(watch.first.visible);
        EXPECT_FALSE(watch.first.createShown);
        EXPECT_FALSE(watch.first.infoShown);
        EXPECT_TRUE(watch.first.waitCursor);
        EXPECT_EQ(watch.first.text, "Creating table. Please wait...");
    }
    ExpectRestored(w, w.PBOptE, w.ExpectedCreate, w.ExpectedInfo);
    EXPECT_TRUE(TablesLoaded);
    EXPECT_EQ(fs::file_size(file), GameStateTableBytes);
    EXPECT_EQ(w.OptExpectedText->text().toStdString(), Found);
    EXPECT_TRUE(w.ExpectedInfo->isEnabled());
    EXPECT_TRUE(w.VarianceCreate->isEnabled());

    // Create again asks first; Cancel leaves the file as it is and runs nothing.
    const auto written = fs::last_write_time(file);
    {
        StepWatch watch(Progress().optimalStep, w.PBOptE, w.ExpectedCreate, w.ExpectedInfo,
                        w.OptExpectedText);
        dialogs.ExpectAsk(false);
        EXPECT_EQ(w.ExpectedCreateClick(), CreateResult::Declined);
        EXPECT_EQ(watch.steps, 0);
    }
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind).back(),
              "Overwrite existing table \"" + file + "\"?");
    EXPECT_EQ(fs::last_write_time(file), written);

    dialogs.ExpectInform();
    w.ExpectedInfo->click();
    const std::string info = dialogs.Texts(ScriptedDialogs::InformKind).back();
    const std::string head =
        "Information about Optimal Expected Score Table\n\n# Known entries in table = 786432\n"
        "Optimal Expected Final Score of Zelk for GRAND TOTAL = ";
    ASSERT_EQ(info.substr(0, head.size()), head);
    EXPECT_NEAR(std::stod(info.substr(head.size())), OptimalGameValue, 1e-3);
}

TEST(TableSettingsWindow, CreateBothRunsTheVarianceAfterADeclinedOverwrite) {
    FillTableStore();
    ProgramFolder folder;
    const std::string location = FolderWithTables(folder, "tables", false);
    WriteTablesLocation(location);
    TablesLoaded = true;   // the expected table is in memory from the store

    ScriptedDialogs dialogs;
    TCreateTableForm w;
    w.show();
    {
        StepWatch expected(Progress().optimalStep, w.PBOptE, w.ExpectedCreate, w.ExpectedInfo,
                           w.OptExpectedText);
        StepWatch variance(Progress().varianceStep, w.PBV, w.VarianceCreate, w.VarianceInfo,
                           w.VarianceText);
        dialogs.ExpectAsk(false);   // keep the expected-score table
        w.BothCreate->click();
        EXPECT_EQ(expected.steps, 0);
        EXPECT_EQ(variance.steps, 768);
        EXPECT_EQ(variance.last, 786432);
        EXPECT_TRUE(variance.first.visible);
        EXPECT_FALSE(variance.first.createShown);
        EXPECT_TRUE(variance.first.waitCursor);
    }
    ExpectRestored(w, w.PBV, w.VarianceCreate, w.VarianceInfo);
    EXPECT_EQ(fs::file_size(location + "/" + VarianceTableFileName), GameStateTableBytes);
    EXPECT_EQ(w.VarianceText->text().toStdString(), Found);
    EXPECT_TRUE(w.VarianceInfo->isEnabled());

    dialogs.ExpectInform();
    w.VarianceInfo->click();
    const std::string info = dialogs.Texts(ScriptedDialogs::InformKind).back();
    const std::string head =
        "Information about Variance-in-Score Table\n\n# Known entries in table = 786432\n"
        "Variance in Final Score of Zelk for GRAND TOTAL = ";
    ASSERT_EQ(info.substr(0, head.size()), head);
    ASSERT_GE(info.size(), head.size() + 2);
    EXPECT_EQ(info.substr(info.size() - 2), "^2");
    // The standard deviation of the final score under optimal play is near 60 points.
    const double sd = std::stod(info.substr(head.size()));
    EXPECT_GT(sd, 55.0);
    EXPECT_LT(sd, 65.0);
    TablesLoaded = false;
}

TEST(TableSettingsWindow, ChangingTheLocationLoadsWhatIsThere) {
    ProgramFolder folder;
    const std::string tables = FolderWithTables(folder, "tables", true);
    const std::string empty = folder.Make("empty");
    const std::string broken = folder.Make("broken");
    std::vector<char> nan(GameStateTableBytes, char(0xFF));   // every entry a NaN
    WriteWholeFile(broken + "/" + OptimalTableFileName, std::string(nan.begin(), nan.end()));
    WriteTablesLocation(folder.Root() + "/gone");
    TablesLoaded = false;

    ScriptedDialogs dialogs;
    TCreateTableForm w;

    // A location that does not exist starts the dialog beside the program; Cancel changes
    // nothing.
    dialogs.ExpectDirectory("");
    w.ChangeLocationButton->click();
    EXPECT_EQ(dialogs.shown.back().text, folder.Bin() + "/..");
    EXPECT_EQ(ReadTablesLocation(), folder.Root() + "/gone");

    LogMark mark;
    dialogs.ExpectDirectory(tables);
    w.ChangeLocationButton->click();
    EXPECT_TRUE(TablesLoaded);
    EXPECT_EQ(w.textLocation->text().toStdString(), tables);
    EXPECT_EQ(w.OptExpectedText->text().toStdString(), Found);
    EXPECT_NE(folder.SettingsText().find("[Tables]\nLocation=" + tables + "\n"),
              std::string::npos)
        << folder.SettingsText();
    EXPECT_NE(mark.Since().find("Table location set to \"" + tables + "\"\n"), std::string::npos);

    // A folder without tables: the message for the required table only; the tables in memory
    // stay in use.
    dialogs.ExpectDirectory(empty);
    dialogs.ExpectInform();
    w.ChangeLocationButton->click();
    EXPECT_EQ(dialogs.shown.back().text, MissingExpectedText(empty));
    EXPECT_EQ(dialogs.shown[dialogs.shown.size() - 2].text, tables);   // started at the last one
    EXPECT_TRUE(TablesLoaded);
    EXPECT_TRUE(w.OptExpectedText->text().startsWith("Table not found."));
    EXPECT_FALSE(w.VarianceCreate->isEnabled());
    EXPECT_NEAR(OptimalStateValue(InitialGameState), OptimalGameValue, 1e-3);

    // A file of garbage: an error box naming it, and still the old tables.
    dialogs.ExpectDirectory(broken);
    dialogs.ExpectError();
    w.ChangeLocationButton->click();
    const std::string error = dialogs.Texts(ScriptedDialogs::ErrorKind).back();
    EXPECT_NE(error.find(broken + "/" + OptimalTableFileName), std::string::npos) << error;
    EXPECT_EQ(CountKnownEntries(OptimalStrategy->ExpectedCache->Table), NGameStates);
    EXPECT_NEAR(OptimalStateValue(InitialGameState), OptimalGameValue, 1e-3);
    TablesLoaded = false;
}

TEST(DirectoryDialog, OffersToCreateATypedDirectoryThatDoesNotExist) {
    ProgramFolder folder;
    const std::string wanted = folder.Root() + "/new/tables";
    ScriptedDialogs dialogs;
    QWidget context;

    auto typeAndAccept = [&](const std::string& path) {
        WhenModal<QFileDialog>(&context, [path](QFileDialog* d) {
            auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(edit, nullptr);
            edit->setText(QString::fromStdString(path));
            // As pressing Enter in the name field would.
            QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
            // Still open when the creation was declined: leave it.
            if (d->isVisible()) d->reject();
        });
    };

    typeAndAccept(wanted);
    dialogs.ExpectAsk(false);
    EXPECT_EQ(RealDialogs().ChooseDirectory(QString::fromStdString(folder.Root())), "");
    EXPECT_FALSE(fs::exists(wanted));

    typeAndAccept(wanted);
    dialogs.ExpectAsk(true);
    EXPECT_EQ(RealDialogs().ChooseDirectory(QString::fromStdString(folder.Root())).toStdString(),
              wanted);
    EXPECT_TRUE(fs::is_directory(wanted));
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind),
              std::vector<std::string>(2, "The specified directory does not exist. Create it?"));
}
