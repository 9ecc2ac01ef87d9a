// The main window as a user meets it: the first run, a later run, the reduced state without
// tables, the closing questions, the hint switch pair and the table settings from the menu.
#include <sstream>

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ScriptedDialogs.h"
#include "app/TableSettings.h"
#include "app/diceset.h"
#include "app/gamerecordings.h"
#include "app/main.h"
#include "app/scorecards.h"
#include "app/settings.h"
#include "engine/QuintorStrategies.h"

using namespace quintor;

namespace {

const std::string Configure = "Use Settings in the Table menu to configure your tables.";

std::string MissingExpected(const std::string& location) {
    return "Could not find " + location + "/OptEScore-Official.gstbl. " + Configure;
}

std::string MissingVariance(const std::string& location) {
    return "Could not find " + location +
           "/OptEScore-Official-V.gstbl. Standard deviations suppressed. " + Configure;
}

bool GameControlsEnabled(const TMainForm& f) {
    return f.Game1->menuAction()->isEnabled() && f.Dice1->menuAction()->isEnabled() &&
           f.Advisor1->menuAction()->isEnabled() && f.HintsButton->isEnabled() &&
           f.NewAdvisorButton->isEnabled();
}

bool GameControlsDisabled(const TMainForm& f) {
    return !f.Game1->menuAction()->isEnabled() && !f.Dice1->menuAction()->isEnabled() &&
           !f.Advisor1->menuAction()->isEnabled() && !f.HintsButton->isEnabled() &&
           !f.NewAdvisorButton->isEnabled();
}

// The program with the expected-score table in its location (and the variance table when
// asked), started with the tables found.
struct LoadedProgram {
    explicit LoadedProgram(bool variance = true)
        : location(FolderWithTables(folder, "tables", variance)) {
        WriteTablesLocation(location);
        if (!variance) dialogs.ExpectInform();
        form = std::make_unique<TMainForm>();
        EXPECT_TRUE(TablesLoaded);
    }
    ~LoadedProgram() {
        // Leave without the closing questions of a running game.
        TablesLoaded = false;
        form.reset();
    }
    void Roll() {
        auto* roll = form->findChild<QPushButton*>("ButRoll");
        ASSERT_NE(roll, nullptr);
        roll->click();
    }

    ProgramFolder folder;
    std::string location;
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;
};

}  // namespace

TEST(MainWindow, FirstRunInAFreshFolderCreatesTheSettingsAndRunsReduced) {
    TablesLoaded = false;
    ProgramFolder folder;
    LogMark mark;
    ScriptedDialogs dialogs;
    dialogs.ExpectInform();
    TMainForm form;

    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::InformKind),
              std::vector<std::string>{MissingExpected(folder.Bin())});
    EXPECT_EQ(folder.SettingsText(), "[General]\nVersion=1.2.1 beta\n");

    std::ostringstream printouts;
    WriteConfiguration(printouts);
    WriteQuintorRules(printouts, OfficialRules);
    const std::string expected = "Version = 1.2.1 beta\nExePath = \"" + folder.Bin() +
                                 "\"\n.INI file did not exist\n" + printouts.str();
    EXPECT_EQ(mark.Since().substr(0, expected.size()), expected);

    EXPECT_TRUE(GameControlsDisabled(form));
    EXPECT_FALSE(form.NewGameButton->isEnabled());
    EXPECT_TRUE(form.Fi1->menuAction()->isEnabled());
    EXPECT_TRUE(form.Tables1->menuAction()->isEnabled());
    EXPECT_TRUE(form.Help1->menuAction()->isEnabled());
    EXPECT_EQ(form.findChild<TScoreCardForm*>(), nullptr);
    EXPECT_EQ(form.findChild<TDiceSetForm*>(), nullptr);

    // Without tables nothing can be lost: closing never asks.
    EXPECT_TRUE(form.close());
}

TEST(MainWindow, LaterRunKeepsAnotherSettingsVersionAndFindsTheDefaultLocation) {
    TablesLoaded = false;
    ProgramFolder folder;
    const std::string settings = "[General]\nVersion=1.1.0\n";
    WriteWholeFile(folder.Bin() + "/" + SettingsFileName, settings);
    folder.Make("gstbl");
    LogMark mark;
    ScriptedDialogs dialogs;
    dialogs.ExpectInform();
    TMainForm form;

    const std::string log = mark.Since();
    EXPECT_NE(log.find("\n.INI file version = 1.1.0\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(".INI file did not exist"), std::string::npos);
    EXPECT_EQ(folder.SettingsText(), settings);
    // The folder gstbl beside the program's folder is the default, written nowhere.
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::InformKind),
              std::vector<std::string>{MissingExpected(folder.Bin() + "/../gstbl")});
}

TEST(MainWindow, TableMessagesDependOnWhichFilesAreThere) {
    ProgramFolder folder;
    const std::string both = FolderWithTables(folder, "both", true);
    const std::string expectedOnly = FolderWithTables(folder, "expected", false);
    const std::string varianceOnly = folder.Make("variance");
    std::filesystem::copy(both + "/" + VarianceTableFileName, varianceOnly);
    const std::string none = folder.Make("none");

    struct Case {
        std::string location;
        std::vector<std::string> messages;
        bool loaded;
    };
    const Case cases[] = {
        {none, {MissingExpected(none)}, false},
        {varianceOnly, {MissingExpected(varianceOnly)}, false},
        {expectedOnly, {MissingVariance(expectedOnly)}, true},
        {both, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        TablesLoaded = false;
        WriteTablesLocation(c.location);
        ScriptedDialogs dialogs;
        for (std::size_t i = 0; i < c.messages.size(); ++i) dialogs.ExpectInform();
        TMainForm form;
        EXPECT_EQ(dialogs.Texts(ScriptedDialogs::InformKind), c.messages);
        EXPECT_EQ(TablesLoaded, c.loaded);
        EXPECT_EQ(GameControlsEnabled(form), c.loaded);
        EXPECT_EQ(GameControlsDisabled(form), !c.loaded);
        EXPECT_EQ(form.findChild<TScoreCardForm*>() != nullptr, c.loaded);
        EXPECT_EQ(form.findChild<TDiceSetForm*>() != nullptr, c.loaded);
        TablesLoaded = false;
    }
    // The variance table is read even when the expected-score table is missing.
    EXPECT_GT(CountKnownEntries(OptimalStrategy->VarianceCache->Table), 0);
}

TEST(MainWindow, BrokenTableFileIsReportedAndTheProgramRunsReduced) {
    TablesLoaded = false;
    ProgramFolder folder;
    const std::string location = folder.Make("tables");
    WriteWholeFile(location + "/" + OptimalTableFileName, "far too short");
    WriteTablesLocation(location);
    ScriptedDialogs dialogs;
    dialogs.ExpectError();
    TMainForm form;

    ASSERT_EQ(dialogs.Texts(ScriptedDialogs::ErrorKind).size(), 1u);
    EXPECT_NE(dialogs.Texts(ScriptedDialogs::ErrorKind)[0].find(location), std::string::npos);
    EXPECT_FALSE(TablesLoaded);
    EXPECT_TRUE(GameControlsDisabled(form));
}

TEST(MainWindow, ClosingAsksAboutTheGameAndUnsavedRecordings) {
    LoadedProgram p;
    TMainForm& f = *p.form;
    f.show();
    auto reopen = [&f] { f.show(); };

    // A game not yet started and nothing to save: no question.
    EXPECT_TRUE(f.close());
    reopen();

    p.Roll();
    ASSERT_EQ(f.Phase(), gpGameInProgress);
    p.dialogs.ExpectAsk(false);
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.Phase(), gpGameInProgress);

    // Aborted, the game leaves an unsaved analysis behind.
    p.dialogs.ExpectAsk(true);
    f.NewGameButton->click();
    ASSERT_EQ(f.Phase(), gpGameOver);
    p.dialogs.ExpectAsk(false);
    EXPECT_FALSE(f.close());

    // Saved, it no longer counts.
    TGameRecForm* rec = nullptr;
    for (TGameRecForm* w : f.findChildren<TGameRecForm*>())
        if (w->Unsaved) rec = w;
    ASSERT_NE(rec, nullptr);
    p.dialogs.ExpectSaveFile(p.folder.Root() + "/game1.txt");
    rec->findChild<QPushButton*>("SaveButton")->click();
    EXPECT_TRUE(f.close());
    reopen();

    for (int game = 0; game < 2; ++game) {
        f.NewGameButton->click();
        p.Roll();
        p.dialogs.ExpectAsk(true);
        f.NewGameButton->click();
    }
    f.NewGameButton->click();
    p.Roll();
    p.dialogs.ExpectAsk(false);
    EXPECT_FALSE(f.close());
    p.dialogs.ExpectAsk(true);
    EXPECT_TRUE(f.close());

    const std::string both = "Discard game in progress and 2 unsaved game recording(s), and exit?";
    EXPECT_EQ(p.dialogs.Texts(ScriptedDialogs::AskKind),
              (std::vector<std::string>{"Discard game in progress, and exit?",
                                        "Abort and analyze current game?",
                                        "Discard 1 unsaved game recording(s), and exit?",
                                        "Abort and analyze current game?",
                                        "Abort and analyze current game?", both, both}));
}

TEST(MainWindow, HintsButtonAndMenuItemSwitchTogether) {
    LoadedProgram p;
    TMainForm& f = *p.form;
    // At start the main window shows its own hints except on the switch itself.
    EXPECT_TRUE(HintShown(f.NewGameButton));
    EXPECT_FALSE(HintShown(f.HintsButton));
    EXPECT_TRUE(HintShown(f.NewAdvisorButton));
    EXPECT_EQ(f.HintsButton->toolTip(), "Toggle Hints");
    EXPECT_EQ(f.Hints1->toolTip(), "Switch between professional and amateur mode");
    EXPECT_FALSE(f.Hints1->isChecked());

    f.HintsButton->click();
    EXPECT_TRUE(f.Hints1->isChecked());
    EXPECT_EQ(f.HintsButton->text(), "Disable Hints");
    EXPECT_TRUE(HintShown(f.HintsButton));

    f.HintsButton->click();
    EXPECT_FALSE(f.Hints1->isChecked());
    EXPECT_EQ(f.HintsButton->text(), "Enable Hints");
    for (QWidget* w : {static_cast<QWidget*>(f.NewGameButton), static_cast<QWidget*>(f.HintsButton),
                       static_cast<QWidget*>(f.NewAdvisorButton)})
        EXPECT_FALSE(HintShown(w)) << w->objectName().toStdString();

    // The menu item drives the button's caption the same way.
    f.Hints1->trigger();
    EXPECT_TRUE(f.Hints1->isChecked());
    EXPECT_EQ(f.HintsButton->text(), "Disable Hints");
    EXPECT_TRUE(HintShown(f.NewAdvisorButton));
}

TEST(MainWindow, MenusButtonsAndPlaceAreAsDesigned) {
    LoadedProgram p;
    TMainForm& f = *p.form;
    f.show();
    EXPECT_EQ(f.windowTitle(), "Quintor Trainer");
    EXPECT_EQ(f.centralWidget()->size(), QSize(688, 53));
    EXPECT_EQ(f.pos(), QPoint(0, 0));
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);

    QStringList titles;
    for (QAction* a : f.menuBar()->actions()) titles << a->text();
    EXPECT_EQ(titles, (QStringList{"File", "Game", "Dice", "Advisor", "Tables", "Help"}));
    for (const char* name : {"Exit1", "NewGame1", "Hints1", "Fair1", "Demonic1", "Angelic1",
                             "NewWindow1", "Settings1", "About1"})
        EXPECT_NE(f.findChild<QAction*>(name), nullptr) << name;
    EXPECT_LT(f.NewGameButton->x(), f.HintsButton->x());
    EXPECT_LT(f.HintsButton->x(), f.NewAdvisorButton->x());
    EXPECT_EQ(f.NewAdvisorButton->toolTip(), "Open new advisor window for current state");
    EXPECT_EQ(f.Settings1->toolTip(), "Create a score table");

    // The dice items are radio items carrying the number of their dice source.
    EXPECT_TRUE(f.Fair1->isChecked());
    EXPECT_EQ(f.Fair1->data().toInt(), 1);
    EXPECT_EQ(f.Demonic1->data().toInt(), 4);
    EXPECT_EQ(f.Angelic1->data().toInt(), 5);
    f.Demonic1->trigger();
    EXPECT_TRUE(f.Demonic1->isChecked());
    EXPECT_FALSE(f.Fair1->isChecked());
    f.Angelic1->trigger();
    EXPECT_TRUE(f.Angelic1->isChecked());
    EXPECT_FALSE(f.Demonic1->isChecked());

    p.dialogs.ExpectInform();
    f.About1->trigger();
    const auto about = p.dialogs.Texts(ScriptedDialogs::InformKind).back();
    EXPECT_EQ(about.rfind("Version 1.2.1 beta\n", 0), 0u) << about;
    EXPECT_EQ(std::count(about.begin(), about.end(), '\n'), 2);
}

TEST(MainWindow, TableSettingsDuringAGameAskFirst) {
    LoadedProgram p;
    TMainForm& f = *p.form;
    f.show();
    p.Roll();

    // Cancel: the game goes on and the window never opens.
    int opened = 0;
    WhenModal<TCreateTableForm>(&f, [&opened](TCreateTableForm* w) {
        ++opened;
        w->OKButton->click();
    });
    p.dialogs.ExpectAsk(false);
    f.Settings1->trigger();
    EXPECT_EQ(f.Phase(), gpGameInProgress);
    EXPECT_EQ(opened, 0);

    // OK: the game ends as aborted, the window opens, and a fresh game follows its closing.
    p.dialogs.ExpectAsk(true);
    f.Settings1->trigger();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(f.Phase(), gpGameNotStarted);
    EXPECT_EQ(p.dialogs.Texts(ScriptedDialogs::AskKind).back(),
              "Changing tables settings will abort current game. Do you want to continue?");
}

TEST(MainWindow, ChoosingATableLocationFromTheReducedStateStartsTheGame) {
    TablesLoaded = false;
    ProgramFolder folder;
    const std::string tables = FolderWithTables(folder, "tables", true);
    ScriptedDialogs dialogs;
    dialogs.ExpectInform();   // no table beside the program
    TMainForm f;
    f.show();
    ASSERT_TRUE(GameControlsDisabled(f));

    dialogs.ExpectDirectory(tables);
    WhenModal<TCreateTableForm>(&f, [](TCreateTableForm* w) {
        w->ChangeLocationButton->click();
        w->OKButton->click();
    });
    f.Settings1->trigger();

    EXPECT_TRUE(dialogs.Done());
    EXPECT_TRUE(TablesLoaded);
    EXPECT_TRUE(GameControlsEnabled(f));
    EXPECT_NE(f.findChild<TScoreCardForm*>(), nullptr);
    EXPECT_NE(f.findChild<TDiceSetForm*>(), nullptr);
    EXPECT_EQ(f.Phase(), gpGameNotStarted);
    TablesLoaded = false;
}
