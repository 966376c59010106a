// Event delivery of the toolkit layer.
//
// An application-wide event filter records what happens to the layer's windows and controls into
// one queue; control and menu notifications are queued from the widgets' signals. WaitEvent hands
// out one entry per call and lets Qt run only while the queue is empty, so the program's loop
// sees every user action in order, and a handler that waits for events inside itself (the drain
// of the value panel) sees the ones that arrive meanwhile.
#include "toolkit/internal_p.h"

#include <QApplication>
#include <QEvent>
#include <algorithm>
#include <deque>

class EventRecorder : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

namespace {

struct QueuedEvent {
    int32_t code = 0;
    int32_t window = 0;
    int32_t control = 0; // the control id, or the menu id of a menu event
    int32_t subtype = -1;
    std::string file; // the file of a drop event
};

struct EventState {
    EventRecorder* recorder = nullptr;
    std::deque<QueuedEvent> queue;
    QueuedEvent current; // the event WaitEvent returned last
    WindowHook hook = nullptr;
};

EventState& Events() {
    static EventState state;
    return state;
}

// Events that carry nothing but their code and window, so that two in a row may make one.
bool IsWindowEventCode(int32_t code) {
    return code != EVENT_CONTROL && code != EVENT_MENU && code != EVENT_DROP_FILES;
}

int32_t InputCodeOf(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
        return EVENT_KEY_DOWN;
    case QEvent::KeyRelease:
        return EVENT_KEY_UP;
    case QEvent::MouseMove:
        return EVENT_MOUSE_MOVE;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return EVENT_MOUSE_DOWN;
    case QEvent::MouseButtonRelease:
        return EVENT_MOUSE_UP;
    case QEvent::Wheel:
        return EVENT_MOUSE_WHEEL;
    default:
        return 0;
    }
}

// The window number of a widget that lies in one of the layer's windows, or -1.
int32_t OwningWindow(const QWidget* widget) {
    return widget != nullptr ? WindowNumberOf(widget->window()) : -1;
}

void RecordWindowEvent(QWidget* window, int32_t number, QEvent* event) {
    switch (event->type()) {
    case QEvent::Resize:
        if (!window->isMinimized()) {
            QueueEvent(EVENT_SIZE, number, 0, -1);
        }
        break;
    case QEvent::Move:
        QueueEvent(EVENT_MOVE, number, 0, -1);
        break;
    case QEvent::WindowActivate:
        QueueEvent(EVENT_ACTIVATE, number, 0, -1);
        break;
    case QEvent::Paint:
        QueueEvent(EVENT_REPAINT, number, 0, -1);
        break;
    default:
        break;
    }
}

void RecordControlEvent(int32_t id, const ControlRecord& record, int32_t number, QEvent* event) {
    const bool reportsFocus =
        record.kind == ControlKind::EditField || record.kind == ControlKind::TextArea;
    switch (event->type()) {
    case QEvent::FocusIn:
        if (reportsFocus) {
            QueueControlEvent(id, SUBTYPE_FOCUS_GAINED);
        }
        break;
    case QEvent::FocusOut:
        if (reportsFocus) {
            QueueControlEvent(id, SUBTYPE_FOCUS_LOST);
        }
        break;
    case QEvent::Paint:
        QueueEvent(EVENT_REPAINT, number, 0, -1);
        break;
    default:
        break;
    }
}

} // namespace

bool EventRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    const int32_t window = OwningWindow(widget);
    if (window < 0) {
        return false;
    }
    if (widget->isWindow()) {
        RecordWindowEvent(widget, window, event);
    } else {
        const int32_t id = ControlIdOf(widget);
        if (const ControlRecord* record = id >= 0 ? FindControl(id) : nullptr) {
            RecordControlEvent(id, *record, window, event);
        }
    }
    if (const int32_t code = InputCodeOf(event->type()); code != 0) {
        QueueEvent(code, window, 0, -1);
    }
    return false;
}

void InstallEventRecorder() {
    EventState& events = Events();
    if (events.recorder == nullptr) {
        events.recorder = new EventRecorder();
        QApplication::instance()->installEventFilter(events.recorder);
    }
}

void RemoveEventRecorder() {
    EventState& events = Events();
    if (events.recorder != nullptr) {
        if (QApplication::instance() != nullptr) {
            QApplication::instance()->removeEventFilter(events.recorder);
        }
        delete events.recorder;
        events.recorder = nullptr;
    }
}

void ForgetEvents() {
    RemoveEventRecorder();
    Events() = EventState{};
}

void QueueEvent(int32_t code, int32_t window, int32_t control, int32_t subtype) {
    std::deque<QueuedEvent>& queue = Events().queue;
    if (IsWindowEventCode(code) && !queue.empty() && queue.back().code == code &&
        queue.back().window == window) {
        return;
    }
    queue.push_back(QueuedEvent{code, window, control, subtype, {}});
}

void QueueDroppedFile(int32_t window, const std::string& path) {
    Events().queue.push_back(QueuedEvent{EVENT_DROP_FILES, window, 0, -1, path});
}

void QueueControlEvent(int32_t id, int32_t subtype) {
    QueueEvent(EVENT_CONTROL, std::max(0, AppWindowNumber()), id, subtype);
}

std::intptr_t CallScrollHook(QWidget* control, int32_t requestCode) {
    const WindowHook hook = Events().hook;
    if (hook == nullptr) {
        return HOOK_CONTINUE;
    }
    const int32_t window = OwningWindow(control);
    return hook(WindowHandle(std::max(0, window)), WM_HSCROLL,
                static_cast<std::uintptr_t>(requestCode) & 0xFFFFu,
                reinterpret_cast<NativeHandle>(control));
}

int32_t WaitEvent() {
    EventState& events = Events();
    while (events.queue.empty()) {
        if (QApplication::instance() == nullptr) {
            return EVENT_CLOSE; // nothing can ever arrive: end the caller's wait
        }
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    events.current = events.queue.front();
    events.queue.pop_front();
    return events.current.code;
}

int32_t CurrentEventControl() {
    return Events().current.control;
}
int32_t CurrentEventMenuItem() {
    return Events().current.control;
}
int32_t CurrentEventSubtype() {
    return Events().current.code == EVENT_CONTROL ? Events().current.subtype : -1;
}

std::string CurrentEventFile() {
    return Events().current.file;
}

bool EventQueued() {
    return !Events().queue.empty();
}

void SetWindowHook(WindowHook hook) {
    Events().hook = hook;
}
