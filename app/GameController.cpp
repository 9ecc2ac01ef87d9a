// The game controller part of the main window: it plays one game at a time, taking the events
// of the dice set and score card windows, keeping the recording and driving the recording
// windows. The rules themselves live in the game session below app/.
#include <QAction>
#include <QActionGroup>
#include <QPushButton>

#include <ctime>

#include "app/Dialogs.h"
#include "app/advisor.h"
#include "app/diceset.h"
#include "app/gameanalysis.h"
#include "app/gamerecordings.h"
#include "app/gamewidgets.h"
#include "app/keyboard.h"
#include "app/main.h"
#include "app/scorecards.h"
#include "app/settings.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "history/HistoryRecording.h"
#include "play/QuintorStateAnalyzer.h"
#include "play/QuintorTutor.h"

namespace q = quintor;

namespace {

// Recording window n sits 20 pixels lower and further right than window n - 1.
constexpr int RecordingWindowOffset = 20;

}  // namespace

void TMainForm::CreateGameWindows() {
    scoreCard = new TScoreCardForm(this);
    diceSet = new TDiceSetForm(this);
    scoreCard->show();
    diceSet->show();
    diceSet->SelectDiceSource(Fair1);
    recWindows.clear();
    recWindowCount = 0;
    keyboard = new TKeyboardPlay(this);
    SetGamePhase(gpGameNotStarted);
}

void TMainForm::NewGame() {
    switch (session.phase) {
    case gpGameNotStarted:
        q::Fail("TMainForm.NewGame", "GamePhase <> gpGameNotStarted");
    case gpGameInProgress:
        if (Dialogs().Ask(QStringLiteral("Abort and analyze current game?")))
            SetGamePhase(gpGameOver);
        break;
    case gpGameOver:
        SetGamePhase(gpGameNotStarted);
        break;
    }
}

void TMainForm::SetNewGameControls(const QString& caption, const QString* hint, bool enabled) {
    NewGameButton->setText(caption);
    NewGame1->setText(QLatin1Char('&') + caption);   // the first letter is its access key
    if (hint) {
        NewGameButton->setToolTip(*hint);
        NewGame1->setToolTip(*hint);
    }
    NewGameButton->setEnabled(enabled);
    NewGame1->setEnabled(enabled);
}

void TMainForm::SetGamePhase(GamePhase phase) {
    switch (phase) {
    case gpGameNotStarted: {
        q::NewGameSession(session);
        gameStored = false;
        auto handler = [this](q::Event e) { return HandleGameEvent(e); };
        diceSet->SetGameEventHandler(handler);
        scoreCard->SetGameEventHandler(handler);
        OpenRecordingWindow(true);
        SetNewGameControls(QStringLiteral("New Game"), nullptr, false);
        break;
    }
    case gpGameInProgress: {
        const QString hint = QStringLiteral("Abort and analyze current game");
        SetNewGameControls(QStringLiteral("Abort Game"), &hint, true);
        gameStarted = std::time(nullptr);
        gameDice = q::DiceSourceWord(diceSet->Source() ? diceSet->Source()->Kind : q::dkPerDice);
        if (currentRecWindow) currentRecWindow->ShowGameInProgress();
        break;
    }
    case gpGameOver: {
        scoreCard->DisableScoreButtons();
        diceSet->EndTurn();
        const QString hint = QStringLiteral("Start a new game");
        SetNewGameControls(QStringLiteral("New Game"), &hint, true);
        // The user may have closed this game's window; its analysis gets a new one.
        if (!currentRecWindow) OpenRecordingWindow(false);
        currentRecWindow->ShowAnalysis(session.recording);
        session.phase = phase;
        StoreGameInHistory();
        if (q::GameOver(session.gameState)) Dialogs().Inform(QStringLiteral("Game Over!"));
        break;
    }
    }
    session.phase = phase;
}

double TMainForm::TutorThreshold() const {
    const QAction* a = TutorWarnGroup->checkedAction();
    return a ? a->data().toDouble() : q::DefaultTutorThreshold;
}

bool TMainForm::TutorAllows(const q::Event& e) {
    if (!Tutor1->isChecked()) return true;
    const q::ChoiceAssessment a = q::SessionAssess(session, q::OptimalStrategy, e);
    if (!q::TutorQuestions(a, TutorThreshold())) return true;
    const bool play = Dialogs().Ask(QString::fromStdString(q::TutorQuestion(a)));
    q::SessionTutorAnswer(session, a.mine.event, play);
    return play;
}

bool TMainForm::HandleGameEvent(q::Event e) {
    switch (e.aspect) {
    case q::Rolling:
        if (session.phase == gpGameNotStarted) SetGamePhase(gpGameInProgress);
        diceSet->DoRoll(session.gameState, session.turnState);
        UpdateScoreHints();
        scoreCard->EnableScoreButtons();
        break;
    case q::Keeping:
        if (!TutorAllows(e)) return false;
        q::SessionKeep(session, e.arg);
        break;
    case q::Scoring:
        if (!TutorAllows(e)) return false;
        scoreCard->DisableScoreButtons();
        q::SessionScore(session, e.category);
        scoreCard->Totals = session.scoreCard;
        scoreCard->ShowScoreCard(session.gameState);
        if (q::GameOver(session.gameState)) {
            SetGamePhase(gpGameOver);
        } else {
            diceSet->ResetTurn();
            scoreCard->SetTurnIndex(q::NTurnsPerGame + 1 -
                                    q::CategorySetSize(session.gameState.free));
        }
        break;
    }
    return true;
}

void TMainForm::UpdateScoreHints() {
    for (int c = 0; c < q::NCategories; ++c)
        scoreCard->SetScoreHint(q::Category(c), q::ScoreHint(q::OfficialRules, session.gameState,
                                                             session.turnState, q::Category(c)));
}

void TMainForm::ShowHints(bool on) {
    SetHintShown(NewGameButton, on);
    SetHintShown(HintsButton, on);
    SetHintShown(NewAdvisorButton, on);
    if (scoreCard) scoreCard->ShowHints(on);
    if (diceSet) diceSet->ShowHints(on);
}

void TMainForm::OpenRecordingWindow(bool advance) {
    if (advance) ++recWindowCount;
    auto* w = new TGameRecForm(this);
    w->OnClosed = [this](TGameRecForm* f) { RecordingWindowClosed(f); };
    recWindows.append(w);
    currentRecWindow = w;
    const int shift = (recWindowCount - 1) * RecordingWindowOffset;
    ::PlaceWindow(w, QPoint(TGameRecForm::DesignedLeft + shift, TGameRecForm::DesignedTop + shift));
    w->setWindowTitle(TGameRecForm::DesignedCaption() + QLatin1Char(' ') +
                      QString::number(recWindowCount));
    w->Unsaved = false;
    w->show();
}

void TMainForm::RecordingWindowClosed(TGameRecForm* window) {
    if (window == currentRecWindow) currentRecWindow = nullptr;
}

int TMainForm::UnsavedRecordingCount() {
    recWindows.removeAll(QPointer<TGameRecForm>());
    int n = 0;
    for (const QPointer<TGameRecForm>& w : recWindows)
        if (w->Unsaved) ++n;
    return n;
}

std::string TMainForm::CurrentAbstractState() {
    const q::TurnState& ts = session.turnState;
    const bool turnStart = ts.rollsLeft == q::NRollsPerTurn && ts.phase == q::ToRoll;
    const std::string total =
        scoreCard ? scoreCard->GrandTotalText() : q::Format("%*d", 4, q::SessionTotal(session));
    const std::string dice = turnStart || !diceSet ? std::string() : diceSet->DiceText();
    return q::AbstractStateText(session.gameState, total, dice, ts.rollsLeft);
}

void TMainForm::OpenAdvisor() {
    auto* a = new TAdvisorForm([this] { return CurrentAbstractState(); }, this);
    a->Init(CurrentAbstractState());
    a->show();
}

void TMainForm::SelectDice(QAction* item) {
    if (diceSet) diceSet->SelectDiceSource(item);
}

TGameRecForm* TMainForm::CurrentRecordingWindow() const {
    return currentRecWindow;
}

q::HistoryDatabase& TMainForm::History() {
    if (!history) {
        std::string path;
        try {
            path = q::HistoryFilePath(GetExePath());
        } catch (const std::exception&) {
            path = GetExePath() + "/" + q::HistoryFileName;   // its fault shows when storing
        }
        history = std::make_unique<q::HistoryDatabase>(path);
    }
    return *history;
}

void TMainForm::StoreGameInHistory() {
    if (gameStored || session.phase == gpGameNotStarted) return;
    gameStored = true;
    // A finished game's percentile needs the distribution. Storing never starts its computation
    // (the analysis window does): without its file the game is stored without a percentile.
    const bool distributionThere =
        q::FileExists(ReadTablesLocation() + "/" + q::DistributionFileName);
    const q::ScoreDistribution* d =
        q::GameOver(session.gameState) && distributionThere ? TDistributionSource::Instance().Get() : nullptr;
    const q::HistoryResult r = q::StorePlayedGame(History(), session.recording, q::OptimalStrategy,
                                                  d ? *d : q::ScoreDistribution{}, gameDice, gameStarted,
                                                  std::time(nullptr));
    if (r.show && !r.message.empty()) Dialogs().ShowError(QString::fromStdString(r.message));
}
