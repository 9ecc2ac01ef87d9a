// The dice set window: five dice with keep boxes, the Roll button and the roll counter. It
// raises Keeping and Rolling events and rolls with the selected dice source when asked.
#pragma once

#include <array>
#include <string>

#include <QWidget>

#include "app/gamewidgets.h"
#include "play/DiceDevils.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TDieFace;

class TDiceSetForm : public QWidget {
    Q_OBJECT
public:
    explicit TDiceSetForm(QWidget* parent = nullptr);

    // Checks the menu item and selects the source named by its Tag (the data of the action):
    // 1 fair, 4 demon, 5 angel; any other Tag keeps the current source.
    void SelectDiceSource(QAction* item);
    // Stores the handler, clears the dice and prepares the first roll.
    void SetGameEventHandler(TGameEventHandler handler);
    void ResetTurn();
    void EndTurn();
    // Rolls the unkept dice with the selected source, shows them and applies the roll to ts.
    void DoRoll(const quintor::GameState& gs, quintor::TurnState& ts);
    quintor::ValueBagRank KeptBag() const;
    std::string DiceText() const;
    void ShowHints(bool on);
    void ButRollClick();
    // The keyboard's keys: tick or clear die i's keep box (0..4), and roll; each acts only when
    // its control is enabled, as a click would.
    void KeepKey(int i);
    void RollKey();

    quintor::DiceDevilState* Source() const { return source; }

protected:
    void closeEvent(QCloseEvent* ev) override;   // the user cannot close the dice set

private:
    void FormCreate();

    std::array<TDieFace*, quintor::NDice> EditDice{};
    std::array<QCheckBox*, quintor::NDice> CheckDice{};
    QPushButton* ButRoll = nullptr;
    QLabel* lblInfo = nullptr;
    QLineEdit* EditRollIndex = nullptr;
    TGameEventHandler handler;
    quintor::DiceDevilState* source = nullptr;
    bool FirstRoll = true;
};
