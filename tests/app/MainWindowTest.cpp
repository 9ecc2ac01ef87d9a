// The main window as a user meets it, and whole runs of the trainer in a child process.
#include <cstdlib>

#include <QMenu>
#include <QProcess>

#include "AppTestSupport.h"

using namespace quintor;

namespace {

std::string Missing(const std::string& location) {
    return "Could not find " + location +
           "/OptEScore-Official.gstbl. Use Settings in the Table menu to configure your tables.";
}

// Enabled (1) or not: menus File Game Dice Advisor Tables Help, buttons New Game, Hints, New
// Advisor; then whether the score card is there.
std::string ControlStates(const TMainForm& f) {
    std::string s;
    for (QMenu* m : {f.Fi1, f.Game1, f.Dice1, f.Advisor1, f.Tables1, f.Help1})
        s += m->menuAction()->isEnabled() ? '1' : '0';
    for (QPushButton* b : {f.NewGameButton, f.HintsButton, f.NewAdvisorButton})
        s += b->isEnabled() ? '1' : '0';
    return s + (f.ScoreCard() ? "+" : "-");
}

}  // namespace

// A first run in a fresh folder that then finds its tables through the settings window, a
// later run with another settings version, and a program folder that can hold no file.
TEST(StartUp, FirstAndLaterRunsAndWhereTheSettingsGo) {
    ProgramFolder folder;
    // Blanks and a comma must come back as one plain text, not a list.
    const std::string tables = FolderWithTables(folder, "my tables, old", true);
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectInform();
        TMainForm f;
        f.show();
        EXPECT_EQ(folder.SettingsText(), "[General]\nVersion=1.2.1 beta\n");
        std::ostringstream printouts;
        WriteConfiguration(printouts);
        WriteQuintorRules(printouts, OfficialRules);
        const std::string log = "Version = 1.2.1 beta\nExePath = \"" + folder.Bin() + "\"\n";
        EXPECT_NE(RunLog().find(log + ".INI file did not exist\n" + printouts.str()), log.npos);
        EXPECT_EQ(ControlStates(f), "100011000-");

        // The chosen tables load, and closing the window starts the game.
        dialogs.ExpectDirectory("");   // Cancel changes nothing
        dialogs.ExpectDirectory(tables);
        WhenModal<TCreateTableForm>(&f, [&](TCreateTableForm* w) {
            w->ChangeLocationButton->click();
            w->ChangeLocationButton->click();
            EXPECT_EQ(w->textLocation->text().toStdString(), tables);
            EXPECT_NE(folder.SettingsText().find("[Tables]\nLocation="), std::string::npos);
            w->OKButton->click();
        });
        f.Settings1->trigger();
        EXPECT_EQ(dialogs.Texts(ScriptedDialogs::DirectoryKind),   // each starts at the location
                  (std::vector<std::string>{folder.Bin(), folder.Bin()}));
        EXPECT_EQ(dialogs.Texts(ScriptedDialogs::InformKind),
                  std::vector<std::string>{Missing(folder.Bin())});
        EXPECT_EQ(ReadTablesLocation(), tables);
        EXPECT_NE(RunLog().find("Table location set to \"" + tables + "\"\n"), log.npos);
        EXPECT_EQ(ControlStates(f), "111111011+");
    }
    // A later run keeps another version; gstbl beside the program's folder is the default.
    TablesLoaded = false;
    const std::string settings = "[General]\nVersion=1.1.0\n";
    std::ofstream(folder.Bin() + "/" + SettingsFileName) << settings;
    folder.Make("gstbl");
    ScriptedDialogs dialogs;
    dialogs.ExpectInform();
    TMainForm form;
    EXPECT_NE(RunLog().find(folder.Bin() + "\"\n.INI file version = 1.1.0\n"), settings.npos);
    EXPECT_EQ(folder.SettingsText(), settings);
    EXPECT_EQ(dialogs.Last(), Missing(folder.Bin() + "/../gstbl"));

    // A program folder that can hold no file: the settings go to the configuration folder.
    const std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    const std::string config = folder.Make("config");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::ofstream(folder.Root() + "/plain") << "";
    SetExePath(folder.Root() + "/plain/bin");   // below a plain file
    WriteTablesLocation(folder.Root() + "/tables");
    EXPECT_EQ(ReadTablesLocation(), folder.Root() + "/tables");
    EXPECT_TRUE(std::filesystem::exists(config + "/QuintorTrainer/" + SettingsFileName));
    saved.empty() ? unsetenv("XDG_CONFIG_HOME") : setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(MainWindow, ClosingAndTableSettingsAskAboutTheGameAndUnsavedRecordings) {
    Trainer t;
    TMainForm& f = *t.main;
    auto roll = [&f] { Find<QPushButton>(f.DiceSet(), "ButRoll")->click(); };
    EXPECT_TRUE(f.close());   // not started, nothing to save: no question
    f.show();
    roll();
    t.dialogs.ExpectAsk(false);
    EXPECT_FALSE(f.close());

    // The table settings abort the game only on OK; a fresh game follows the window.
    t.dialogs.ExpectAsk(false);
    f.Settings1->trigger();
    EXPECT_EQ(f.Phase(), gpGameInProgress);
    WhenModal<TCreateTableForm>(&f, [](TCreateTableForm* w) { w->OKButton->click(); });
    t.dialogs.ExpectAsk(true);
    f.Settings1->trigger();
    EXPECT_EQ(f.Phase(), gpGameNotStarted);

    // The aborted game left an unsaved analysis; saved, it no longer counts.
    t.dialogs.ExpectAsk(false);
    EXPECT_FALSE(f.close());
    t.dialogs.ExpectSaveFile(t.folder.Root() + "/game1.txt");
    for (TGameRecForm* w : f.findChildren<TGameRecForm*>())
        if (w->Unsaved) Find<QPushButton>(w, "SaveButton")->click();
    EXPECT_TRUE(f.close());
    f.show();

    for (bool abort : {true, true, false}) {
        roll();
        if (!abort) break;
        t.dialogs.ExpectAsk(true);
        f.NewGameButton->click();
        f.NewGameButton->click();
    }
    t.dialogs.ExpectAsk(false);
    EXPECT_FALSE(f.close());
    EXPECT_FALSE(f.ScoreCard()->close());   // the user cannot close the game windows
    EXPECT_FALSE(f.DiceSet()->close());
    // OK: the one question covers every window; they then close without refusing or asking.
    t.dialogs.ExpectAsk(true);
    EXPECT_TRUE(f.close());
    EXPECT_TRUE(f.ScoreCard()->close());
    EXPECT_TRUE(f.DiceSet()->close());
    for (TGameRecForm* w : f.findChildren<TGameRecForm*>()) EXPECT_TRUE(w->close());

    const std::string change =
        "Changing tables settings will abort current game. Do you want to continue?";
    const std::string abort = "Abort and analyze current game?";
    const std::string both = "Discard game in progress and 2 unsaved game recording(s), and exit?";
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::AskKind),
              (std::vector<std::string>{"Discard game in progress, and exit?", change, change,
                                        "Discard 1 unsaved game recording(s), and exit?", abort,
                                        abort, both, both}));
}

TEST(MainWindow, TheHintSwitchPair) {
    Trainer t;
    TMainForm& f = *t.main;
    // The switch's caption and check mark, then the hints of the three buttons, Roll and a score
    // card field: at first the main window's own except the switch's, none in the game windows.
    const std::vector<QWidget*> controls = {f.NewGameButton, f.HintsButton, f.NewAdvisorButton,
                                            Find<QWidget>(f.DiceSet(), "ButRoll"),
                                            Find<QWidget>(f.ScoreCard(), "EditAces")};
    auto shown = [&] {
        std::string s = f.HintsButton->text().toStdString() + (f.Hints1->isChecked() ? " +" : " -");
        for (QWidget* w : controls) s += HintShown(w) ? '1' : '0';
        return s;
    };
    EXPECT_EQ(shown(), "Enable Hints -10100");
    f.HintsButton->click();
    EXPECT_EQ(shown(), "Disable Hints +11111");
    f.HintsButton->click();
    EXPECT_EQ(shown(), "Enable Hints -00000");
    f.Hints1->trigger();   // the menu item drives the button the same way
    EXPECT_EQ(shown(), "Disable Hints +11111");
}

// The whole trainer in a child process: a failed check is shown and the run still ends with
// "Run Stopped"; so does File > Exit with the game windows open.
TEST(ErrorHandling, WholeRunsEndWithRunStopped) {
    for (const std::string mode : {"fail", "exit"}) {
        SCOPED_TRACE(mode);
        ProgramFolder folder;
        if (mode == "exit") FolderWithTables(folder, "gstbl", true);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--trainer-child", QString::fromStdString(folder.Bin()), mode.c_str()});
        ASSERT_TRUE(child.waitForFinished(60000)) << "the trainer did not stop";   // else killed
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        const std::string fault = "TMainForm.NewGame: GamePhase <> gpGameNotStarted FAILED\n";
        EXPECT_EQ(child.readAllStandardOutput().toStdString(),
                  mode == "exit" ? "" : "INFORM: " + Missing(folder.Bin()) + "\nINFORM: " + fault);
        const std::string log = ReadWholeFile(folder.Bin() + "/QuintorTrainer.log");
        EXPECT_EQ(log.rfind("Run Started on ", 0), 0u) << log;
        const std::size_t stop = log.rfind("\nRun Stopped on ");   // the last line
        EXPECT_TRUE(stop != std::string::npos && log.find('\n', stop + 1) == log.size() - 1) << log;
    }
}
