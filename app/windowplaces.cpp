#include "app/windowplaces.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

QMargins Margins(const QWidget* w) {
    const QRect frame = w->frameGeometry();
    const QRect client = w->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

bool Framed(const QWidget* w) {
    return w->isVisible() && w->frameGeometry() != w->geometry();
}

// The frame a window manager draws around w: its own once it has one, else that of another
// framed window of this program (one manager frames them alike), else none.
QMargins FrameMargins(const QWidget* w) {
    if (Framed(w)) return Margins(w);
    for (const QWidget* v : QApplication::topLevelWidgets())
        if (v != w && Framed(v)) return Margins(v);
    return {};
}

// Moves (and, when it may, shrinks) w so that its frame lies inside the available area of the
// screen at its designed place.
void KeepInside(QWidget* w, QPoint designed) {
    const QScreen* screen = QGuiApplication::screenAt(designed);
    if (!screen) screen = w->screen();
    const QRect area = screen->availableGeometry();
    QMargins frame = FrameMargins(w);
    // Scaled by a fraction, the frame's size in these pixels is rounded: keep one to spare.
    const qreal ratio = screen->devicePixelRatio();
    if (ratio != std::floor(ratio)) frame += QMargins(1, 1, 1, 1);

    QSize size = w->size();
    if (w->minimumSize() != w->maximumSize()) {
        const QSize fit = size.boundedTo(area.size().shrunkBy(frame));
        if (fit != size) {
            w->setMinimumSize(w->minimumSize().boundedTo(fit));
            w->resize(fit);
            size = fit;
        }
    }
    // A window larger than the area keeps its title bar on the screen.
    const QSize outer = size.grownBy(frame);
    const int x = std::max(area.left(), std::min(designed.x(), area.right() + 1 - outer.width()));
    const int y = std::max(area.top(), std::min(designed.y(), area.bottom() + 1 - outer.height()));
    w->move(x, y);
}

// Waits for the window manager to frame the window, then fits the real frame in once: the
// estimate made before showing may have been short of it. After that the user places it.
class FrameWatch : public QObject {
public:
    FrameWatch(QWidget* w, QPoint place) : QObject(w), designed(place), window(w) {
        w->installEventFilter(this);
    }
    QPoint designed;

    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (obj == window && (ev->type() == QEvent::Move || ev->type() == QEvent::Resize) &&
            Framed(window)) {
            window->removeEventFilter(this);
            QTimer::singleShot(0, window, [w = window, place = designed] { KeepInside(w, place); });
            setParent(nullptr);   // done: a later PlaceWindow must not find it
            deleteLater();
        }
        return false;
    }

private:
    QWidget* window;
};

}  // namespace

void PlaceWindow(QWidget* w, QPoint designed) {
    // Settle the size before the window exists on the screen: a window that changes its size
    // while it is being shown forgets that its place was meant for the frame, and puts its
    // client area there instead, the title bar above it.
    w->ensurePolished();
    if (QLayout* l = w->layout()) l->activate();
    KeepInside(w, designed);
    for (QObject* child : w->children()) {
        if (auto* watch = dynamic_cast<FrameWatch*>(child)) {
            watch->designed = designed;
            return;
        }
    }
    if (!Framed(w)) new FrameWatch(w, designed);
}
