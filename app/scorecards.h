// The score card window: the running score card of the game and one score button per category.
// It holds no scoring rules; a click raises a Scoring event and the controller answers.
#pragma once

#include <array>
#include <string>

#include <QWidget>

#include "app/gamewidgets.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class TScoreCardForm : public QWidget {
    Q_OBJECT
public:
    explicit TScoreCardForm(QWidget* parent = nullptr);

    // The game's running score card; row GRAND TOTAL is the total score so far.
    quintor::ScoreCard Totals;

    // Stores the handler and resets the window for a new game.
    void SetGameEventHandler(TGameEventHandler handler);
    void ShowScoreCard(const quintor::GameState& g);
    void EnableScoreButtons();
    void DisableScoreButtons();
    void SetScoreHint(quintor::Category c, const std::string& text);
    void ShowHints(bool on);
    void SetTurnIndex(int turn);
    std::string GrandTotalText() const;

    // The category of a score button; any other sender is a wiring fault, reported in an
    // information box, and Quintor is used.
    quintor::Category CategoryFromSender(const QObject* sender) const;
    void ScoreButtonClick(const QObject* sender);
    // The keyboard's key of category c: a click on its button when the button is enabled.
    void ScoreKey(quintor::Category c);

protected:
    void closeEvent(QCloseEvent* ev) override;   // the user cannot close the score card

private:
    struct Row {
        QLabel* label = nullptr;
        QLineEdit* value = nullptr;
        QPushButton* button = nullptr;   // none for the bonus rows and GRAND TOTAL
        QLabel* key = nullptr;           // the category's key, beside its name
    };
    static constexpr int NRows = 16;

    void FormCreate();
    void CreateRow(int item, QWidget* parent, int y);
    QLineEdit* CreateValueField(QWidget* parent, const char* name, int x, int y);
    QLabel* CreateLabel(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint, int x, int y, int w, bool bold);

    std::array<Row, NRows> ScoreCardRows{};
    QFrame* PanelUpperSection = nullptr;
    QFrame* PanelLowerSection = nullptr;
    QLabel* LabelTurnIndex = nullptr;
    QLineEdit* EditTurnIndex = nullptr;
    QLabel* LabelUSTotal = nullptr;
    QLineEdit* EditUSTotal = nullptr;
    TGameEventHandler handler;
};
