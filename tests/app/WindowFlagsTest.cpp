// The frames the windows ask the window manager for: the main window with a minimise box but no
// maximise box; the score card and the dice set as tool windows with a caption and no box at all;
// the recording windows with a minimise box but no maximise box. Where a window manager offers a
// box all the same, the window does not stay in the state it leads to.
#include <QElapsedTimer>
#include <QThread>

#include "AppTestSupport.h"

namespace {

constexpr Qt::WindowFlags Boxes =
    Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;

// The window's flags as the frame reads them: a caption and exactly the given boxes.
void ExpectFrame(const QWidget* w, Qt::WindowType type, Qt::WindowFlags boxes, bool systemMenu) {
    SCOPED_TRACE(w->objectName().toStdString());
    const Qt::WindowFlags f = w->windowFlags();
    EXPECT_EQ(w->windowType(), type);
    EXPECT_TRUE(f & Qt::CustomizeWindowHint);   // only the hints below, not the platform's default
    EXPECT_TRUE(f & Qt::WindowTitleHint);
    EXPECT_FALSE(f & Qt::FramelessWindowHint);
    EXPECT_EQ(f & Boxes, boxes);
    EXPECT_EQ(bool(f & Qt::WindowSystemMenuHint), systemMenu);
}

// Lets the window's deferred answer to a state change run.
void Settle() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 100) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

TEST(WindowFlags, FramesAndTheStatesWithoutABox) {
    Trainer t;
    TMainForm& m = *t.main;
    ExpectFrame(&m, Qt::Window, Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint, true);
    EXPECT_EQ(m.minimumSize(), m.maximumSize());   // a fixed size: nothing to maximise to
    ExpectFrame(m.ScoreCard(), Qt::Tool, {}, false);
    ExpectFrame(m.DiceSet(), Qt::Tool, {}, false);
    EXPECT_EQ(m.ScoreCard()->minimumSize(), m.ScoreCard()->maximumSize());
    EXPECT_EQ(m.DiceSet()->minimumSize(), m.DiceSet()->maximumSize());
    TGameRecForm* rec = m.CurrentRecordingWindow();
    ASSERT_NE(rec, nullptr);
    ExpectFrame(rec, Qt::Window, Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint, true);
    EXPECT_NE(rec->minimumSize(), rec->maximumSize());   // resizable all the same

    // Closing the tool windows is refused while the main window is open.
    m.ScoreCard()->close();
    m.DiceSet()->close();
    EXPECT_TRUE(m.ScoreCard()->isVisible());
    EXPECT_TRUE(m.DiceSet()->isVisible());

    // Minimised or maximised by a window manager that offers the box anyway: back at once.
    for (QWidget* w : {static_cast<QWidget*>(m.ScoreCard()), static_cast<QWidget*>(m.DiceSet())}) {
        for (Qt::WindowState s : {Qt::WindowMinimized, Qt::WindowMaximized, Qt::WindowFullScreen}) {
            w->setWindowState(s);
            Settle();
            EXPECT_EQ(w->windowState(), Qt::WindowNoState) << w->objectName().toStdString() << ' ' << s;
            EXPECT_TRUE(w->isVisible());
        }
    }
    for (QWidget* w : {static_cast<QWidget*>(&m), static_cast<QWidget*>(rec)}) {
        for (Qt::WindowState s : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
            w->setWindowState(s);
            Settle();
            EXPECT_EQ(w->windowState(), Qt::WindowNoState) << w->objectName().toStdString() << ' ' << s;
        }
    }
    // The main window and the recording window may be minimised; a tool window minimised with
    // its owner stays so until the owner comes back.
    rec->setWindowState(Qt::WindowMinimized);
    m.setWindowState(Qt::WindowMinimized);
    m.ScoreCard()->setWindowState(Qt::WindowMinimized);
    Settle();
    EXPECT_TRUE(rec->isMinimized());
    EXPECT_TRUE(m.isMinimized());
    EXPECT_TRUE(m.ScoreCard()->isMinimized());
    m.setWindowState(Qt::WindowNoState);
    m.ScoreCard()->setWindowState(Qt::WindowNoState);
    rec->setWindowState(Qt::WindowNoState);
}

}  // namespace
