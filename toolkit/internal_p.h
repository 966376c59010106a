// What the files of the toolkit layer offer each other; nothing outside toolkit/ includes this.
// Each file owns the state of its concern and lets the others reach it only through these calls:
// startup.cpp the application, fonts.cpp the fonts, windows.cpp the window and its menu bar,
// menu_keys.cpp the keys into the menu bar, controls.cpp the controls, events.cpp the event queue
// and the hook, drawing.cpp the drawn boxes.
#pragma once

#include "toolkit/toolkit.h"

#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>

class QAction;
class QMainWindow;
class QMenuBar;

// fonts.cpp
// The font that the layer's windows carry and their controls inherit, whatever font the
// desktop's theme later gives the application: the fixed layout is measured in it.
void SetUpControlFont();
QFont ControlFont();
void ForgetFonts();

// windows.cpp
// The window of a number, or nullptr.
QMainWindow* LayerWindow(int32_t number);
// The area below a window's menu bar, where its controls and drawings live; nullptr when none.
QWidget* InnerArea(int32_t number);
// The window number of a top-level window of the layer, or -1.
int32_t WindowNumberOf(const QObject* window);
// The number of the one window the layer serves, or -1 while none is open. Control events and
// menu items report for it.
int32_t AppWindowNumber();
// The window a modal requester belongs to: the active one, else window 0.
QWidget* ForegroundWindow();
void CloseAllWindows();

// menu_keys.cpp
// Watches the keys that open and close the bar's drop-downs, for as long as the bar lives.
void WatchMenuBarKeys(QMenuBar* bar);
// Opens the drop-down of this title of the bar with its first item highlighted.
void OpenBarMenu(QMenuBar* bar, QAction* title);

// controls.cpp
struct ControlRecord {
    ControlKind kind;
    QPointer<QWidget> widget;
};

// The record of a control id, or nullptr when none is registered (or its widget is gone).
const ControlRecord* FindControl(int32_t id);
QWidget* ControlWidget(int32_t id);
// The widget of a control id as the class its kind is made of, or nullptr for another kind.
template <typename Widget> Widget* ControlAs(int32_t id, ControlKind kind) {
    const ControlRecord* record = FindControl(id);
    return record != nullptr && record->kind == kind ? static_cast<Widget*>(record->widget.data())
                                                     : nullptr;
}
// The control id of a widget, or -1.
int32_t ControlIdOf(const QObject* widget);
void ForgetControls();
// Captions are shown as they are: "&" is not an access-key mark here.
QString Caption(QString text);
std::string CaptionText(QString caption);
// The text area breaks lines at CR LF, and at a lone LF or CR as Linux text does.
QString ToTextAreaText(QString shown);

// events.cpp
// Appends an event. Events other than control and menu events are dropped when the newest
// queued entry has the same code and window, so bursts of repaints or mouse moves make one turn.
void QueueEvent(int32_t code, int32_t window, int32_t control, int32_t subtype);
void QueueControlEvent(int32_t id, int32_t subtype);
// Appends an EVENT_DROP_FILES event for `window` that names the file dropped (a raw path).
void QueueDroppedFile(int32_t window, const std::string& path);
// Runs the window hook for a scroll request of a moving control; HOOK_CONTINUE when none is set.
std::intptr_t CallScrollHook(QWidget* control, int32_t requestCode);
// True when WaitEvent would return without handling a message of the window system.
bool EventQueued();
void InstallEventRecorder();
void RemoveEventRecorder();
void ForgetEvents();

// drawing.cpp
void ForgetDrawings();

// accessibility.cpp
// Gives the layer's own controls the accessible interfaces they need; before any is asked for.
void InstallAccessibleInterfaces();
