#include "app/keyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>

#include "app/diceset.h"
#include "app/gamerecordings.h"
#include "app/main.h"
#include "app/scorecards.h"

using namespace quintor;

namespace {

// Letters that no other key of the program uses: the lower section by the categories' own
// codes, the upper section by a letter of its name (the digits belong to the dice).
constexpr char CategoryKeys[NCategories] = {'A', 'W', 'E', 'O', 'V', 'X',
                                            'T', 'F', 'H', 'S', 'L', 'Q', 'C'};

// Keys that carry Ctrl, Alt or Meta belong to the menus and shortcuts.
bool PlainKey(const QKeyEvent* k) {
    return (k->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::NoModifier;
}

}  // namespace

QChar CategoryKey(Category c) {
    return QLatin1Char(CategoryKeys[CheckCategory(c)]);
}

QString KeyboardHelpText() {
    QStringList l;
    l << QStringLiteral("Playing (in the main window, the dice set, the score card and the game "
                        "recordings):")
      << QStringLiteral("1 to 5: tick or clear the keep box of die 1 to 5")
      << QStringLiteral("%1: Roll !").arg(QLatin1Char(RollKey));
    for (int c = 0; c < NCategories; ++c)
        l << QStringLiteral("%1: score in %2")
                 .arg(CategoryKey(Category(c)))
                 .arg(QString::fromStdString(ScoreItemName(Category(c))));
    l << QString() << QStringLiteral("Menus and windows:")
      << QStringLiteral("Alt+F File, Alt+G Game, Alt+D Dice, Alt+A Advisor, Alt+T Tables, "
                        "Alt+H Help; then the underlined letter of an item")
      << QStringLiteral("Ctrl+N: New Game (Abort Game during a game)")
      << QStringLiteral("Ctrl+Q: Exit")
      << QStringLiteral("F1: About")
      << QStringLiteral("Tab: the next control; Space: press the control that has the focus")
      << QStringLiteral("Return in an advisor's state text: Analyze")
      << QStringLiteral("In a question: Return for OK, Escape for Cancel");
    return l.join(QLatin1Char('\n'));
}

TKeyboardPlay::TKeyboardPlay(TMainForm* m) : QObject(m), main(m) {
    qApp->installEventFilter(this);
}

TKeyboardPlay::~TKeyboardPlay() {
    qApp->removeEventFilter(this);
}

bool TKeyboardPlay::InGameWindow(QObject* watched) const {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    // An open menu, a menu bar chosen with Alt, or a question: their letters are their own.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget() ||
        qobject_cast<QMenuBar*>(w) || qobject_cast<QMenuBar*>(QApplication::focusWidget()))
        return false;
    const QWidget* win = w->window();
    return win == main || win == main->DiceSet() || win == main->ScoreCard() ||
           qobject_cast<const TGameRecForm*>(win) != nullptr;
}

bool TKeyboardPlay::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* k = static_cast<QKeyEvent*>(event);
    if (!PlainKey(k) || !InGameWindow(watched)) return false;
    const int key = k->key();
    TDiceSetForm* dice = main->DiceSet();
    TScoreCardForm* card = main->ScoreCard();
    if (key >= Qt::Key_1 && key < Qt::Key_1 + NDice) {
        if (!k->isAutoRepeat()) dice->KeepKey(key - Qt::Key_1);
        return true;
    }
    if (key == Qt::Key_A + (RollKey - 'A')) {
        if (!k->isAutoRepeat()) dice->RollKey();
        return true;
    }
    for (int c = 0; c < NCategories; ++c) {
        if (key != Qt::Key_A + (CategoryKeys[c] - 'A')) continue;
        if (!k->isAutoRepeat()) card->ScoreKey(Category(c));
        return true;
    }
    return false;
}
