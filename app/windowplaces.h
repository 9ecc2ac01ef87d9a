// Where windows open: every window has a designed place for the top left corner of its frame
// (title bar included), and opens there when it fits; otherwise it is moved, and a resizable
// window also shrunk, just enough to lie inside the available area of its screen.
#pragma once

#include <QPoint>

class QWidget;

// Call before the window is shown (and again to move it to another designed place). The window's
// size must be its designed size; the layout, if any, is settled here. Once the window manager has
// framed the window, the place is checked once more with the real frame.
void PlaceWindow(QWidget* w, QPoint designed);
