// State shared by the files of the toolkit layer; nothing outside ui/ includes this.
#pragma once

#include "toolkit/toolkit.h"

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <deque>
#include <map>
#include <string>
#include <vector>

class QApplication;
class QMainWindow;
class QMenu;
class QMenuBar;
class DrawingOverlay;
class EventRecorder;

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

struct WindowRecord {
    QPointer<QMainWindow> window;
    QPointer<QWidget> innerArea; // the area below the menu bar; controls and drawings live here
    QPointer<QMenuBar> menuBar;
    QPointer<QMenu> currentMenu;
    QPointer<DrawingOverlay> overlay;
};

struct QueuedEvent {
    int32_t code = 0;
    int32_t window = 0;
    int32_t control = 0;
    int32_t subtype = -1;
};

struct DrawnBox {
    QRect area;
    uint32_t colour = 0;
};

struct ToolkitState {
    QApplication* ownedApplication = nullptr;
    // What QApplication was given; it keeps referring to both for its whole life.
    int qtArgumentCount = 0;
    std::vector<char*> qtArguments;
    EventRecorder* recorder = nullptr;
    std::vector<std::string> arguments;
    std::map<int32_t, WindowRecord> windows;
    QPointer<QWidget> controlParent;
    int32_t controlWindow = -1;
    std::map<int32_t, ControlRecord> controls;
    std::deque<QueuedEvent> queue;
    QueuedEvent current;
    WindowHook hook = nullptr;
    std::vector<QFont> fonts;
    int32_t drawingWindow = -1;
    std::vector<DrawnBox> drawing;
};

ToolkitState& Toolkit();

// The widget of a control id, or nullptr when none is registered (or it is gone).
QWidget* ControlWidget(int32_t id);
const ControlRecord* FindControl(int32_t id);
// The control id of a widget, or -1.
int32_t ControlIdOf(const QObject* widget);
// The window number of a top-level window of the layer, or -1.
int32_t WindowNumberOf(const QObject* window);

// Appends an event. Events other than control and menu events are dropped when the newest
// queued entry has the same code and window, so bursts of repaints or mouse moves make one turn.
void QueueEvent(int32_t code, int32_t window, int32_t control, int32_t subtype);
void QueueControlEvent(int32_t id, int32_t subtype);

// Runs the window hook for a scroll request of a moving control; HOOK_CONTINUE when none is set.
std::intptr_t CallScrollHook(QWidget* control, int32_t requestCode);

void InstallEventRecorder();
void RemoveEventRecorder();
