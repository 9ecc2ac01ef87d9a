// The drill window (Game > Drills...): a position the player got wrong, or one from optimal play,
// shown as the game windows show a position; the player keeps dice and rolls or scores, and then
// sees every option of the position with the choice marked, and the loss. The schedule, the
// answers and their storing are the history layer's; this window only shows and asks.
// Keys: 1 to 5 tick the keep boxes, R rolls, the category keys score, N (or Return) goes on.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
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
    // historyFile: where the positions come from and the answers go ("" for none). clock gives
    // the time in seconds since 1970; seed starts the dice of the fallback positions.
    TDrillForm(const std::string& historyFile, std::function<std::int64_t()> clock, std::uint32_t seed,
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

protected:
    void keyPressEvent(QKeyEvent* ev) override;

private:
    void FormCreate();
    void Answer(const quintor::Event& choice);
    void ShowState();

    std::unique_ptr<quintor::HistoryDatabase> db;
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
