// The table settings window through every combination of table files, as its creation runs
// make them; the real directory dialog.
#include <QCursor>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>

#include "AppTestSupport.h"
#include "engine/QuintorScoreDistribution.h"

using namespace quintor;
namespace fs = std::filesystem;

namespace {

const std::string Found = "Table found.\nClick Info for information about this table.\nClick "
                          "Create to recreate the table.";
const std::string Required = "Table not found.\nThis table is required, either click Create to "
                             "create this table or change the location.";

// Wraps the window's progress hook for one bar: counts the steps and looks at the screen at
// the first; failAt > 0 makes that step fail as a full disk would.
struct StepWatch {
    StepWatch(std::function<void()>& watched, QProgressBar* bar, QWidget* create, int failAt = 0)
        : hook(watched), inner(watched) {
        hook = [=, this] {
            if (++steps == failAt) throw IOError("disk full while writing the table");
            inner();
            last = bar->value();
            const QCursor* cursor = QApplication::overrideCursor();
            if (steps == 1)
                firstScreen = bar->isVisible() && !create->isVisible() && cursor &&
                              cursor->shape() == Qt::WaitCursor;
        };
    }
    ~StepWatch() { hook = inner; }
    std::function<void()>& hook;
    std::function<void()> inner;
    int steps = 0, last = -1;
    bool firstScreen = false;   // bar shown, buttons hidden, hour-glass on
};

// The screen after a run, finished or failed: bar hidden, buttons back, normal cursor.
bool Restored(QProgressBar* bar, QWidget* create, QWidget* info) {
    return !bar->isVisible() && create->isVisible() && info->isVisible() &&
           !QApplication::overrideCursor();
}

}  // namespace

TEST(TableSettingsWindow, CreationRunsStepTheBarsSurviveAFailureAndAskBeforeOverwriting) {
    ProgramFolder folder;
    const std::string location = folder.Make("tables");
    const std::string file = location + "/" + OptimalTableFileName;
    WriteTablesLocation(location);
    ScriptedDialogs dialogs;
    TCreateTableForm w;
    w.show();
    // The two texts, then whether ExpectedInfo, VarianceInfo and VarianceCreate are enabled.
    auto shown = [&w] {
        QString s = w.OptExpectedText->text() + "|" + w.VarianceText->text() + "|";
        for (QWidget* b : {w.ExpectedInfo, w.VarianceInfo, w.VarianceCreate})
            s += b->isEnabled() ? '1' : '0';
        return s.toStdString();
    };
    const std::string none = Required + "|Table not found.\nYou must first create the Optimal "
                             "Expected Score Table before you can compute the Variance.|000";
    EXPECT_EQ(shown(), none);
    {   // A run that fails part way gives the screen back and reports the error.
        StepWatch watch(Progress().optimalStep, w.PBOptE, w.ExpectedCreate, 3);
        dialogs.ExpectError();
        EXPECT_EQ(w.ExpectedCreateClick(), CreateResult::Failed);
        EXPECT_TRUE(Restored(w.PBOptE, w.ExpectedCreate, w.ExpectedInfo));
        EXPECT_FALSE(TablesLoaded);
        EXPECT_FALSE(FileExists(file));
        EXPECT_EQ(dialogs.Last(),
                  "The table \"" + file + "\" was not created: disk full while writing the table");
        EXPECT_EQ(shown(), none);
    }
    {
        StepWatch watch(Progress().optimalStep, w.PBOptE, w.ExpectedCreate);
        EXPECT_EQ(w.ExpectedCreateClick(), CreateResult::Created);
        EXPECT_EQ(watch.steps, 768);
        EXPECT_EQ(watch.last, 786432);
        EXPECT_TRUE(watch.firstScreen);
    }
    EXPECT_TRUE(Restored(w.PBOptE, w.ExpectedCreate, w.ExpectedInfo));
    EXPECT_TRUE(TablesLoaded);
    // The final score distribution follows the expected-score table, beside it.
    EXPECT_EQ(fs::file_size(fs::path(file).parent_path() / quintor::DistributionFileName),
              quintor::DistributionFileBytes);
    EXPECT_EQ(shown(), Found + "|Table not found.\nThis table is optional. If you want to use it "
                               "click Create to create the table.|101");

    // Create Both asks before overwriting; Cancel keeps the file and runs the variance only.
    const auto written = fs::last_write_time(file);
    {
        StepWatch variance(Progress().varianceStep, w.PBV, w.VarianceCreate);
        dialogs.ExpectAsk(false);
        w.BothCreate->click();
        EXPECT_EQ(variance.steps, 768);
        EXPECT_EQ(variance.last, 786432);
        EXPECT_TRUE(variance.firstScreen);
    }
    EXPECT_EQ(dialogs.Last(), "Overwrite existing table \"" + file + "\"?");
    EXPECT_EQ(fs::last_write_time(file), written);
    EXPECT_TRUE(Restored(w.PBV, w.VarianceCreate, w.VarianceInfo));
    EXPECT_EQ(shown(), Found + "|" + Found + "|111");

    // The Info boxes: the game's optimal value, and a standard deviation near 60 points.
    const std::string heads[] = {"Information about Optimal Expected Score Table\n\n# Known "
        "entries in table = 786432\nOptimal Expected Final Score of Zelk for GRAND TOTAL = ",
        "Information about Variance-in-Score Table\n\n# Known entries in table = 786432\n"
        "Variance in Final Score of Zelk for GRAND TOTAL = "};
    const double values[] = {254.5896, 60.0}, tolerances[] = {1e-3, 5.0};
    for (int i = 0; i < 2; ++i) {
        dialogs.ExpectInform();
        (i == 0 ? w.ExpectedInfo : w.VarianceInfo)->click();
        const std::string info = dialogs.Last();
        ASSERT_EQ(info.substr(0, heads[i].size()), heads[i]);
        EXPECT_NEAR(std::stod(info.substr(heads[i].size())), values[i], tolerances[i]);
        EXPECT_EQ(info.substr(info.size() - 2) == "^2", i == 1);
    }

    fs::remove(file);   // the variance table without the other
    w.UpdateTableInfo();
    EXPECT_EQ(shown(), Required + "|Table found.\nYou must first create the Optimal Expected "
                                  "Score Table before you can use the Quintor Trainer.|010");
}

TEST(DirectoryDialog, OffersToCreateATypedDirectoryThatDoesNotExist) {
    ProgramFolder folder;
    const std::string wanted = folder.Root() + "/new/tables";
    ScriptedDialogs dialogs;
    for (const bool create : {false, true}) {
        WhenModal<QFileDialog>(qApp, [wanted](QFileDialog* d) {
            if (auto* name = Find<QLineEdit>(d, "fileNameEdit"))
                name->setText(QString::fromStdString(wanted));
            QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);   // as Enter would
            if (d->isVisible()) d->reject();   // still open when the creation was declined
        });
        dialogs.ExpectAsk(create);
        const QString chosen = RealDialogs().ChooseDirectory(QString::fromStdString(folder.Root()));
        EXPECT_EQ(chosen.toStdString(), create ? wanted : "");
        EXPECT_EQ(fs::is_directory(wanted), create);
    }
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::AskKind),
              std::vector<std::string>(2, "The specified directory does not exist. Create it?"));
}
