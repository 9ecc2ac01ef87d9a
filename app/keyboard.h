// Playing without the mouse: plain keys, without Ctrl or Alt, act in whichever game window has
// the focus (the main window, the dice set, the score card or a game recording): 1 to 5 tick or
// clear the keep boxes, R rolls, and one letter per category scores it. The keys only press the
// windows' own controls, so a disabled control ignores its key, exactly as it ignores the mouse.
#pragma once

#include <QObject>
#include <QString>

#include "concepts/QuintorConcepts.h"

class TMainForm;

// The key that scores category c (a capital letter).
QChar CategoryKey(quintor::Category c);
// The key that rolls.
inline constexpr char RollKey = 'R';
// Every key of the program with what it does, one line each, for Help > Keyboard.
QString KeyboardHelpText();

// Installed on the application once the game windows exist; the main window owns it.
class TKeyboardPlay : public QObject {
    Q_OBJECT
public:
    explicit TKeyboardPlay(TMainForm* main);
    ~TKeyboardPlay() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool InGameWindow(QObject* watched) const;
    TMainForm* main;
};
