#include "app/gamewidgets.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QObject>
#include <QTimer>
#include <QVariant>
#include <QWidget>

namespace {

const char* const HintProperty = "quintorShowHint";

// Eats tooltip events of controls whose hint display is switched off.
class HintGate : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (ev->type() == QEvent::ToolTip && !obj->property(HintProperty).toBool()) return true;
        return QObject::eventFilter(obj, ev);
    }
};

bool programEnding = false;

// The application's quit closes every window first; seeing it here lets the game windows
// know the closing is the program's, not the user's.
class EndWatch : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (ev->type() == QEvent::Quit && obj == QCoreApplication::instance())
            programEnding = true;
        return QObject::eventFilter(obj, ev);
    }
};

// Takes a window out of the states it refuses; see RefuseWindowStates.
class StateGuard : public QObject {
public:
    StateGuard(QWidget* w, Qt::WindowStates states) : QObject(w), window(w), refused(states) {}
    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (obj == window && ev->type() == QEvent::WindowStateChange && (window->windowState() & refused)) {
            // After the window manager's other news: an owner minimised at the same time has
            // said so by then.
            QTimer::singleShot(0, window, [w = window, refused = refused] {
                const Qt::WindowStates now = w->windowState() & refused;
                const QWidget* owner = w->parentWidget();
                if (!now || ((now & Qt::WindowMinimized) && owner && owner->isMinimized())) return;
                w->setWindowState(w->windowState() & ~refused);
                w->show();
            });
        }
        return QObject::eventFilter(obj, ev);
    }

private:
    QWidget* window;
    Qt::WindowStates refused;
};

HintGate* Gate() {
    static HintGate* gate = new HintGate;   // lives for the whole run, like the windows
    return gate;
}

}  // namespace

QFont MonospacedFont(int pixelSize) {
    QFont f;
    if (QFontDatabase::families().contains(QStringLiteral("Courier New")))
        f = QFont(QStringLiteral("Courier New"));
    else
        f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (pixelSize > 0) f.setPixelSize(pixelSize);
    return f;
}

void SetHintShown(QWidget* w, bool on) {
    if (!w->property("quintorHintGate").toBool()) {
        w->installEventFilter(Gate());
        w->setProperty("quintorHintGate", true);
    }
    w->setProperty(HintProperty, on);
}

bool HintShown(const QWidget* w) {
    return w->property(HintProperty).toBool();
}

void WatchProgramEnd() {
    static EndWatch* watch = nullptr;
    if (watch || !QCoreApplication::instance()) return;
    watch = new EndWatch(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(watch);
}

bool OwnerClosed(const QWidget* w) {
    const QWidget* owner = w->parentWidget();
    return programEnding || (owner != nullptr && !owner->isVisible());
}

void RefuseWindowStates(QWidget* w, Qt::WindowStates refused) {
    w->installEventFilter(new StateGuard(w, refused));
}
