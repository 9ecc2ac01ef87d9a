// The game controller's part of the main window. First cut: enough for the main window to run
// without game windows; the game itself follows.
#include <QAction>
#include <QPushButton>

#include "app/gamewidgets.h"
#include "app/main.h"
#include "core/GeneralStuff.h"

using namespace quintor;

void TMainForm::CreateGameWindows() {
    gameState = InitialGameState;
    turnState = InitialTurnState;
    recWindowCount = 0;
    gamePhase = gpGameNotStarted;
}

void TMainForm::NewGame() {
    if (gamePhase == gpGameNotStarted) Fail("TMainForm.NewGame", "GamePhase <> gpGameNotStarted");
    SetGamePhase(gamePhase == gpGameInProgress ? gpGameOver : gpGameNotStarted);
}

void TMainForm::SetGamePhase(GamePhase phase) {
    gamePhase = phase;
}

void TMainForm::HandleGameEvent(Event) {}

void TMainForm::UpdateScoreHints() {}

void TMainForm::ShowHints(bool on) {
    SetHintShown(NewGameButton, on);
    SetHintShown(HintsButton, on);
    SetHintShown(NewAdvisorButton, on);
}

void TMainForm::OpenRecordingWindow(bool advance) {
    if (advance) ++recWindowCount;
}

void TMainForm::RecordingWindowClosed(TGameRecForm* window) {
    if (window == currentRecWindow) currentRecWindow = nullptr;
}

int TMainForm::UnsavedRecordingCount() {
    return 0;
}

std::string TMainForm::CurrentAbstractState() {
    return Format("%s%s  %s;%d", GameStateToString(InitialGameState).c_str(), "   0", "",
                  int(InitialTurnState.rollsLeft));
}

void TMainForm::OpenAdvisor() {}

void TMainForm::SelectDice(QAction* item) {
    item->setChecked(true);
}
