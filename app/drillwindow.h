// The drill window (Game > Drills...): a position the player got wrong, or one from optimal play,
// shown as the game windows show a position; the player keeps dice and rolls or scores, and then
// sees every option of the position with the choice marked, and the loss. The schedule, the
// answers and their storing are the history layer's; this window only shows and asks.
// Keys: 1 to 5 tick the keep boxes, R rolls, the category keys score, N (or Return) goes on.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include <QWidget>

#include "history/QuintorDrills.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TDieFace;

class TDrillForm : public QWidget {
    Q_OBJECT
public:
    // history: where the positions come from and the answers go (null for none): the program's
    // one history, so a fault of it is shown once for the games and the drills together. clock
    // gives the time in seconds since 1970; seed starts the dice of the fallback positions.
    TDrillForm(quintor::HistoryDatabase* history, std::function<std::int64_t()> clock, std::uint32_t seed,
               QWidget* parent = nullptr);
    ~TDrillForm() override;

    static constexpr int DesignedLeft = 300, DesignedTop = 150;

    // Public so tests can drive them as the controls would.
    void NextClick();
    void RollClick();
    void CategoryClick(quintor::Category c);

    const std::string& Position() const { return position; }
    bool Answered() const { return answered; }
    const quintor::DrillOutcome& Outcome() const { return outcome; }
    quintor::HistoryDatabase* History() const { return db; }

protected:
    void keyPressEvent(QKeyEvent* ev) override;

private:
    void FormCreate();
    void Answer(const quintor::Event& choice);
    void ShowState();

    void Tell(const quintor::HistoryResult& r);

    quintor::HistoryDatabase* db;
    std::function<std::int64_t()> Clock;
    quintor::DrillRun run;
    std::string position;
    bool answered = false;
    quintor::DrillOutcome outcome;

    QLabel* SourceLabel = nullptr;
    QLabel* FreeLabel = nullptr;
    QLabel* NeedLabel = nullptr;
    QLabel* TotalLabel = nullptr;
    QLabel* RollsLabel = nullptr;
    std::array<TDieFace*, 5> Dice{};
    std::array<QCheckBox*, 5> Keep{};
    QPushButton* RollButton = nullptr;
    std::array<QPushButton*, 13> CategoryButtons{};
    QPlainTextEdit* Listing = nullptr;
    QLabel* VerdictLabel = nullptr;
    QPushButton* NextButton = nullptr;
};
