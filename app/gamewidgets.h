// Small helpers shared by the game windows: the fixed-pitch font, the per-control hint switch
// and the callback through which the dice set and score card windows hand events on.
#pragma once

#include <functional>

#include <QFont>
#include <Qt>

#include "concepts/QuintorConcepts.h"

class QWidget;

// The controller's event handler: the game windows raise one event at a time through it. It
// returns false when the player withdrew the choice (the tutor asked and the answer was Cancel);
// the window then leaves everything as it was.
using TGameEventHandler = std::function<bool(quintor::Event)>;

// "Courier New" when the system has it, else the system's fixed font; pixelSize <= 0 keeps the
// font's own size.
QFont MonospacedFont(int pixelSize = 0);

// A control's hint stays in its tooltip; this switch decides whether it is shown. Tests read
// the switch back with HintShown.
void SetHintShown(QWidget* w, bool on);
bool HintShown(const QWidget* w);

// True once the program is ending (the application's quit has begun, or the window's owner,
// the main window, has closed): the game windows then close without refusing or asking, since
// the main window has asked once for all of them. Game windows call WatchProgramEnd when they
// are created.
void WatchProgramEnd();
bool OwnerClosed(const QWidget* w);

// For windows without a minimise or a maximise box. A window manager that offers the box all the
// same (some draw every box on every frame) could, say, hide the score card with no way back;
// the window leaves a refused state at once. It stays minimised when its owner is too.
void RefuseWindowStates(QWidget* w, Qt::WindowStates refused);
