// What the files of the toolkit layer offer each other; nothing outside toolkit/ includes this.
// Each file owns the state of its concern and lets the others reach it only through these calls:
// startup.cpp the application, windows.cpp the windows and their menus, controls.cpp the
// controls and fonts, events.cpp the event queue and the hook, drawing.cpp the drawn boxes.
#pragma once

#include "toolkit/toolkit.h"

#include <QFont>
#include <QPointer>
#include <QWidget>

class QMainWindow;

// startup.cpp
// The font that the layer's windows carry and their controls inherit, whatever font the
// desktop's theme later gives the application: the fixed layout is measured in it.
QFont ControlFont();

// windows.cpp
// The window of a number, or nullptr.
QMainWindow* LayerWindow(int32_t number);
// The area below a window's menu bar, where its controls and drawings live; nullptr when none.
QWidget* InnerArea(int32_t number);
// The window number of a top-level window of the layer, or -1.
int32_t WindowNumberOf(const QObject* window);
// The window a modal requester belongs to: the active one, else window 0.
QWidget* ForegroundWindow();
void CloseAllWindows();

// controls.cpp
enum class ControlKind {
    Label,
    EditField,
    TextArea,
    Button,
    CheckBox,
    Frame,
    ComboBox,
    TrackBar,
    ScrollBar
};

struct ControlRecord {
    ControlKind kind;
    QPointer<QWidget> widget;
};

// The record of a control id, or nullptr when none is registered (or its widget is gone).
const ControlRecord* FindControl(int32_t id);
QWidget* ControlWidget(int32_t id);
// The control id of a widget, or -1.
int32_t ControlIdOf(const QObject* widget);
// The number of the window whose controls were made last (BeginControls), or -1.
int32_t ControlWindow();
void ForgetControlsAndFonts();

// events.cpp
// Appends an event. Events other than control and menu events are dropped when the newest
// queued entry has the same code and window, so bursts of repaints or mouse moves make one turn.
void QueueEvent(int32_t code, int32_t window, int32_t control, int32_t subtype);
void QueueControlEvent(int32_t id, int32_t subtype);
// Appends an EVENT_DROP_FILES event for `window` that names the file dropped (a raw path).
void QueueDroppedFile(int32_t window, const std::string& path);
// Runs the window hook for a scroll request of a moving control; HOOK_CONTINUE when none is set.
std::intptr_t CallScrollHook(QWidget* control, int32_t requestCode);
void InstallEventRecorder();
void RemoveEventRecorder();
void ForgetEvents();

// drawing.cpp
void ForgetDrawings();
