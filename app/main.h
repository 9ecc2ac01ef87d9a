// The main window: a thin strip across the top of the screen with the menus and three buttons.
// It owns every other window and, in its controller section, the running game.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include "concepts/QuintorConcepts.h"
#include "history/QuintorHistory.h"
#include "play/QuintorGameSession.h"

class QAction;
class QActionGroup;
class QMenu;
class QPushButton;
class TAdvisorForm;
class TDrillForm;
class TDiceSetForm;
class TGameRecForm;
class TKeyboardPlay;
class TScoreCardForm;

// The game phase is the game session's own.
using quintor::GamePhase;
using quintor::gpGameInProgress;
using quintor::gpGameNotStarted;
using quintor::gpGameOver;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Runs FormCreate: the run-log lines, the settings file, the printouts, the tables and,
    // when the expected-score table is there, the game windows and the first game.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    void EnableGameControls(bool on);

    // Handlers, public so tests can drive them as the menu would.
    void NewGameButtonClick();
    void Exit1Click();
    void About1Click();
    void Hints1Click();
    void HintsButtonClick();
    void Settings1Click();
    void DiceItemClick(QAction* item);
    void NewWindow1Click();
    void Tutor1Click();
    void TutorWarnClick(QAction* item);
    void Keyboard1Click();
    // Opens a drill window and returns it.
    TDrillForm* Drills1Click();

    QPushButton* NewGameButton = nullptr;
    QPushButton* HintsButton = nullptr;
    QPushButton* NewAdvisorButton = nullptr;

    QMenu* Fi1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Game1 = nullptr;
    QAction* NewGame1 = nullptr;
    QAction* Hints1 = nullptr;
    QAction* Statistics1 = nullptr;       // Game > Statistics...: the history's statistics window
    QAction* Tutor1 = nullptr;            // the tutor: off by default, remembered
    QActionGroup* TutorWarnGroup = nullptr;
    QAction* TutorWarn1 = nullptr;        // "Warn at 0.01"
    QAction* TutorWarn2 = nullptr;        // "Warn at 1.0"
    QAction* TutorWarn3 = nullptr;        // "Warn at 5.0"
    QAction* Drills1 = nullptr;           // "Drills...": opens a drill window
    QMenu* Dice1 = nullptr;
    QActionGroup* DiceGroup = nullptr;
    QAction* Fair1 = nullptr;
    QAction* Demonic1 = nullptr;
    QAction* Angelic1 = nullptr;
    QMenu* Advisor1 = nullptr;
    QAction* NewWindow1 = nullptr;
    QMenu* Tables1 = nullptr;
    QAction* Settings1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* About1 = nullptr;
    QAction* Keyboard1 = nullptr;

signals:
    // The window has closed for good; the program's loop ends on it.
    void Closed();

protected:
    void closeEvent(QCloseEvent* ev) override;   // FormClose

private:
    void FormCreate();
    void CreateActions();
    void CreateMenus();
    void CreateControls();
    void CreateConnections();
    void PlaceWindow();
    void LoadTutorSettings();

    // ==== Game controller (app/GameController.cpp) =============================================
    // Members below this line belong to the game controller; it may add its own here.
public:
    GamePhase Phase() const { return session.phase; }
    void CreateGameWindows();
    void NewGame();
    void SetGamePhase(GamePhase phase);
    // False when the player withdrew the choice at the tutor's question; nothing changed then.
    bool HandleGameEvent(quintor::Event e);
    // The tutor's say on a keep or a scoring: true when it may be played (the tutor is off, the
    // loss stays below the threshold, or the player answered OK).
    bool TutorAllows(const quintor::Event& e);
    double TutorThreshold() const;
    void UpdateScoreHints();
    void ShowHints(bool on);
    void OpenRecordingWindow(bool advance);
    void RecordingWindowClosed(TGameRecForm* window);
    int UnsavedRecordingCount();
    // "%s%s  %s;%d": game state, total, dice (empty at the start of a turn), rolls left.
    std::string CurrentAbstractState();
    void OpenAdvisor();
    // The dice source of a Dice menu item (its data is the source's number).
    void SelectDice(QAction* item);

    TScoreCardForm* ScoreCard() const { return scoreCard; }
    TDiceSetForm* DiceSet() const { return diceSet; }

    // The running game's recording (for tests and the report).
    const quintor::GameRecording& Recording() const { return session.recording; }
    TGameRecForm* CurrentRecordingWindow() const;

    // Stores the game that ends or is aborted now in the history (once per game); a fault is
    // shown the first time its kind happens in this run, and always logged.
    void StoreGameInHistory();
    // The history database of this run: QuintorTrainerHistory.sqlite placed like the settings.
    quintor::HistoryDatabase& History();

private:
    void SetNewGameControls(const QString& caption, const QString* hint, bool enabled);

    // Phase, game state, turn state and recording of this game; its score card mirrors the
    // window's.
    quintor::GameSession session;
    TScoreCardForm* scoreCard = nullptr;
    TDiceSetForm* diceSet = nullptr;
    QPointer<TGameRecForm> currentRecWindow;
    std::int32_t recWindowCount = 0;
    QList<QPointer<TGameRecForm>> recWindows;
    TKeyboardPlay* keyboard = nullptr;
    std::int64_t gameStarted = 0;      // when the first roll of this game came
    std::string gameDice;              // the dice source of that roll, as the history names it
    bool gameStored = false;
    std::unique_ptr<quintor::HistoryDatabase> history;
    // ==== End of the game controller ===========================================================
};
