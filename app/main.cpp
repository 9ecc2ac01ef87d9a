#include "app/main.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>

#include <ctime>

#include "app/Dialogs.h"
#include "app/drillwindow.h"
#include "app/TableSettings.h"
#include "app/gamewidgets.h"
#include "app/keyboard.h"
#include "app/settings.h"
#include "app/statistics.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"
#include "history/QuintorHistory.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorTutor.h"

using namespace quintor;

namespace {

const char* const AboutText =
    "Version 1.2.1 beta\n"
    "More information: https://quintor-trainer.example.org\n"
    "Feedback: feedback@quintor-trainer.example.org";

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption,
                        const char* hint) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(name);
    b->setToolTip(QString::fromLatin1(hint));
    b->setMinimumHeight(30);
    return b;
}

QAction* MakeAction(QObject* parent, const char* name, const char* caption) {
    auto* a = new QAction(QString::fromLatin1(caption), parent);
    a->setObjectName(name);
    return a;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("MainForm");
    setWindowTitle("Quintor Trainer");
    RefuseWindowStates(this, Qt::WindowMaximized | Qt::WindowFullScreen);   // a fixed strip
    CreateActions();
    CreateMenus();
    CreateControls();
    CreateConnections();
    PlaceWindow();
    FormCreate();
}

TMainForm::~TMainForm() {
    delete keyboard;   // no key reaches the game windows while they are taken down
}

void TMainForm::CreateActions() {
    // Each caption's "&" marks its access key (Alt with the menu's, then the item's letter);
    // it is not shown. The shortcuts are the usual desktop ones.
    Exit1 = MakeAction(this, "Exit1", "E&xit");
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    NewGame1 = MakeAction(this, "NewGame1", "&New Game");
    NewGame1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    Statistics1 = MakeAction(this, "Statistics1", "&Statistics...");
    Statistics1->setToolTip("Your games so far: scores, losses, where the points go");
    Hints1 = MakeAction(this, "Hints1", "&Hints");
    Hints1->setCheckable(true);
    Hints1->setToolTip("Switch between professional and amateur mode");
    Tutor1 = MakeAction(this, "Tutor1", "&Tutor");
    Tutor1->setCheckable(true);
    Tutor1->setToolTip("Ask before playing a choice that loses as much as the chosen amount");
    // The thresholds are the lower bounds of the report's classes "*", "**" and "***"; the
    // access key of each is its first digit.
    TutorWarnGroup = new QActionGroup(this);
    TutorWarnGroup->setExclusive(true);
    TutorWarn1 = MakeAction(TutorWarnGroup, "TutorWarn1", "Warn at &0.01");
    TutorWarn2 = MakeAction(TutorWarnGroup, "TutorWarn2", "Warn at &1.0");
    TutorWarn3 = MakeAction(TutorWarnGroup, "TutorWarn3", "Warn at &5.0");
    for (std::size_t i = 0; i < TutorThresholds.size(); ++i) {
        QAction* a = TutorWarnGroup->actions()[qsizetype(i)];
        a->setCheckable(true);
        a->setData(TutorThresholds[i]);
    }
    TutorWarn2->setChecked(true);
    Drills1 = MakeAction(this, "Drills1", "&Drills...");
    Drills1->setToolTip("Positions you got wrong come back until you get them right");

    // The data of a dice item is the number of the dice source it selects.
    DiceGroup = new QActionGroup(this);
    DiceGroup->setExclusive(true);
    Fair1 = MakeAction(DiceGroup, "Fair1", "&Fair");
    Fair1->setData(1);
    Demonic1 = MakeAction(DiceGroup, "Demonic1", "&Demonic");
    Demonic1->setData(4);
    Angelic1 = MakeAction(DiceGroup, "Angelic1", "&Angelic");
    Angelic1->setData(5);
    for (QAction* a : DiceGroup->actions()) a->setCheckable(true);
    Fair1->setChecked(true);

    NewWindow1 = MakeAction(this, "NewWindow1", "&New Window");
    Settings1 = MakeAction(this, "Settings1", "&Settings...");
    Settings1->setToolTip("Create a score table");
    About1 = MakeAction(this, "About1", "&About");
    About1->setShortcut(QKeySequence(Qt::Key_F1));
    Keyboard1 = MakeAction(this, "Keyboard1", "&Keyboard");
}

void TMainForm::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    auto add = [bar](const char* name, const char* title) {
        QMenu* m = bar->addMenu(QString::fromLatin1(title));
        m->setObjectName(name);
        m->menuAction()->setObjectName(QString::fromLatin1(name) + "Item");
        m->setToolTipsVisible(true);
        return m;
    };
    Fi1 = add("Fi1", "&File");
    Fi1->addAction(Exit1);
    Game1 = add("Game1", "&Game");
    Game1->addAction(NewGame1);
    Game1->addAction(Hints1);
    Game1->addSeparator();
    Game1->addAction(Tutor1);
    Game1->addActions(TutorWarnGroup->actions());
    Game1->addSeparator();
    Game1->addAction(Statistics1);
    Game1->addAction(Drills1);
    Dice1 = add("Dice1", "&Dice");
    Dice1->addActions(DiceGroup->actions());
    Advisor1 = add("Advisor1", "&Advisor");
    Advisor1->addAction(NewWindow1);
    Tables1 = add("Tables1", "&Tables");
    Tables1->addAction(Settings1);
    Help1 = add("Help1", "&Help");
    Help1->addAction(About1);
    Help1->addAction(Keyboard1);
}

void TMainForm::CreateControls() {
    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    client->setFixedSize(688, 53);
    auto* row = new QHBoxLayout(client);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(24);

    NewGameButton = MakeButton(client, "NewGameButton", "New Game", "Start a new game");
    NewGameButton->setEnabled(false);
    HintsButton = MakeButton(client, "HintsButton", "Enable Hints", "Toggle Hints");
    NewAdvisorButton = MakeButton(client, "NewAdvisorButton", "New Advisor",
                                  "Open new advisor window for current state");
    row->addWidget(NewGameButton);
    row->addWidget(HintsButton);
    row->addWidget(NewAdvisorButton);

    // The main window shows its own hints from the start, except on the hint switch itself.
    SetHintShown(NewGameButton, true);
    SetHintShown(HintsButton, false);
    SetHintShown(NewAdvisorButton, true);
    setCentralWidget(client);
}

void TMainForm::CreateConnections() {
    connect(NewGameButton, &QPushButton::clicked, this, [this] { NewGameButtonClick(); });
    connect(NewGame1, &QAction::triggered, this, [this] { NewGameButtonClick(); });
    connect(Statistics1, &QAction::triggered, this, [this] { (new TStatisticsForm(History(), this))->show(); });
    connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(); });
    connect(Hints1, &QAction::triggered, this, [this] { Hints1Click(); });
    connect(HintsButton, &QPushButton::clicked, this, [this] { HintsButtonClick(); });
    connect(DiceGroup, &QActionGroup::triggered, this, [this](QAction* a) { DiceItemClick(a); });
    connect(NewWindow1, &QAction::triggered, this, [this] { NewWindow1Click(); });
    connect(NewAdvisorButton, &QPushButton::clicked, this, [this] { NewWindow1Click(); });
    connect(Settings1, &QAction::triggered, this, [this] { Settings1Click(); });
    connect(Tutor1, &QAction::triggered, this, [this] { Tutor1Click(); });
    connect(TutorWarnGroup, &QActionGroup::triggered, this,
            [this](QAction* a) { TutorWarnClick(a); });
    connect(Keyboard1, &QAction::triggered, this, [this] { Keyboard1Click(); });
    connect(Drills1, &QAction::triggered, this, [this] { Drills1Click(); });
}

void TMainForm::PlaceWindow() {
    // A fixed strip: the layout holds the client area at its size, so no maximise and no
    // resizing; its frame sits at the top edge of the screen.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ::PlaceWindow(this, QPoint(0, 0));
}

void TMainForm::FormCreate() {
    if (GetExePath().empty()) SetExePath(DirectoryOf(ExecutablePath()));
    const std::string exePath = GetExePath();
    LogFile() << "Version = " << VersionText << "\n";
    LogFile() << "ExePath = \"" << exePath << "\"\n";

    const std::string version = ReadIniVersion();
    if (version.empty()) {
        LogFile() << ".INI file did not exist\n";
        // A settings file that cannot be written costs only the version line: say so, go on.
        try {
            WriteIniVersion(VersionText);
        } catch (const IOError& e) {
            LogFile() << e.what() << "\n";
            Dialogs().ShowError(QString::fromStdString(e.what()));
        }
    } else {
        LogFile() << ".INI file version = " << version << "\n";
    }
    LoadTutorSettings();
    WriteConfiguration(LogFile());
    WriteQuintorRules(LogFile(), OfficialRules);
    FlushLog();

    LoadTables();
    if (TablesLoaded) {
        CreateGameWindows();
        EnableGameControls(true);
    } else {
        EnableGameControls(false);
    }
}

void TMainForm::LoadTutorSettings() {
    Tutor1->setChecked(ReadTutorOn());
    const double threshold = ReadTutorThreshold();
    for (QAction* a : TutorWarnGroup->actions())
        if (a->data().toDouble() == threshold) a->setChecked(true);
}

void TMainForm::EnableGameControls(bool on) {
    for (QMenu* m : {Game1, Dice1, Advisor1}) {
        m->setEnabled(on);
        m->menuAction()->setEnabled(on);
    }
    NewAdvisorButton->setEnabled(on);
    HintsButton->setEnabled(on);
}

void TMainForm::NewGameButtonClick() {
    NewGame();
}

void TMainForm::Exit1Click() {
    close();
}

void TMainForm::About1Click() {
    Dialogs().Inform(QString::fromLatin1(AboutText));
}

void TMainForm::Hints1Click() {
    const bool on = Hints1->isChecked();
    ShowHints(on);
    HintsButton->setText(on ? "Disable Hints" : "Enable Hints");
}

void TMainForm::HintsButtonClick() {
    // Through the menu item, so the button and the check mark never disagree.
    Hints1->trigger();
}

void TMainForm::DiceItemClick(QAction* item) {
    SelectDice(item);
}

void TMainForm::NewWindow1Click() {
    OpenAdvisor();
}

TDrillForm* TMainForm::Drills1Click() {
    // The history the games go to: a fault of it is shown once for both, and drills still work
    // from optimal games when it cannot be used.
    auto* w = new TDrillForm(&History(), [] { return std::int64_t(std::time(nullptr)); }, ClockSeed(), this);
    w->show();
    return w;
}

void TMainForm::Tutor1Click() {
    // The choice holds for this run even when the settings file refuses it.
    try {
        WriteTutorOn(Tutor1->isChecked());
    } catch (const IOError& e) {
        LogFile() << e.what() << "\n";
        Dialogs().ShowError(QString::fromStdString(e.what()));
    }
}

void TMainForm::TutorWarnClick(QAction* item) {
    item->setChecked(true);
    try {
        WriteTutorThreshold(item->data().toDouble());
    } catch (const IOError& e) {
        LogFile() << e.what() << "\n";
        Dialogs().ShowError(QString::fromStdString(e.what()));
    }
}

void TMainForm::Keyboard1Click() {
    Dialogs().Inform(KeyboardHelpText());
}

void TMainForm::Settings1Click() {
    const bool wasLoaded = TablesLoaded;
    if (wasLoaded && session.phase == gpGameInProgress) {
        if (!Dialogs().Ask("Changing tables settings will abort current game. Do you want to "
                           "continue?"))
            return;
        SetGamePhase(gpGameOver);
    }
    {
        TCreateTableForm form(this);
        form.exec();
    }
    if (!wasLoaded && TablesLoaded) {
        CreateGameWindows();
        EnableGameControls(true);
        return;
    }
    if (TablesLoaded && session.phase != gpGameNotStarted) NewGame();
}

void TMainForm::closeEvent(QCloseEvent* ev) {
    if (TablesLoaded) {
        QString text;
        QString joiner = "Discard ";
        if (session.phase == gpGameInProgress) {
            text += joiner + "game in progress";
            joiner = " and ";
        }
        const int n = UnsavedRecordingCount();
        if (n > 0) text += joiner + QString::number(n) + " unsaved game recording(s)";
        if (!text.isEmpty() && !Dialogs().Ask(text + ", and exit?")) {
            ev->ignore();
            return;
        }
        if (session.phase == gpGameInProgress) StoreGameInHistory();   // an aborted game too
    }
    ev->accept();
    emit Closed();
}
