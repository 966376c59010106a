// The application's window by number, and its menu bar.
//
// The layer serves one window at a time, as the program has one: OpenAppWindow refuses a second.
// So the window that a control event or a menu item reports for is never in doubt, and the menu
// operations and the controls need not name it.
#include "toolkit/cp1252_p.h"
#include "toolkit/internal_p.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <algorithm>
#include <map>

namespace {

// The menu bar keeps the height the layout was designed around, whatever the style prefers.
constexpr int MENU_BAR_HEIGHT = 20;

void KeepInsideScreen(QWidget* window);

// A window's close box asks the program; it does not close the window.
class AppWindow : public QMainWindow {
  public:
    using QMainWindow::QMainWindow;

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        QueueEvent(EVENT_CLOSE, WindowNumberOf(this), 0, -1);
    }

    // The window manager's frame is known only once it has framed the window, which moves it;
    // until the window is first active, those moves place it again, frame included.
    bool event(QEvent* event) override {
        if (event->type() == QEvent::WindowActivate) {
            placing_ = false;
        } else if (event->type() == QEvent::Move && placing_ && isVisible()) {
            KeepInsideScreen(this);
        }
        return QMainWindow::event(event);
    }

  private:
    bool placing_ = true;
};

struct WindowRecord {
    QPointer<QMainWindow> window;
    QPointer<QWidget> innerArea; // the area below the menu bar
    QPointer<QMenuBar> menuBar;
    QPointer<QMenu> currentMenu; // the drop-down that AddMenuItem adds to
};

std::map<int32_t, WindowRecord>& Windows() {
    static std::map<int32_t, WindowRecord> windows;
    return windows;
}

WindowRecord* FindWindow(int32_t number) {
    const auto found = Windows().find(number);
    return found != Windows().end() && found->second.window != nullptr ? &found->second : nullptr;
}

// The one window, or nullptr while none is open.
WindowRecord* TheWindow() {
    for (auto& [number, record] : Windows()) {
        if (record.window != nullptr) {
            return &record;
        }
    }
    return nullptr;
}

// Menus are built one title at a time on the window's menu bar.
WindowRecord* MenuWindow() {
    WindowRecord* record = TheWindow();
    return record != nullptr && record->menuBar != nullptr ? record : nullptr;
}

// Menu texts are shown as they are: "&" is not an access-key mark here.
QString MenuText(const std::string& text) {
    return TextToWidget(text).replace("&", "&&");
}

// On X11 the program places its window itself (a Wayland client cannot): the designed position
// is kept wherever the window fits the free area of the screen it opens on; elsewhere it moves
// inside, to the area's top-left corner along a side where it is larger. Its size stays.
void KeepInsideScreen(QWidget* window) {
    if (QGuiApplication::platformName() != "xcb") {
        return;
    }
    QScreen* screen = QGuiApplication::screenAt(window->pos());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const auto inside = [](int start, int length, int areaStart, int areaLength) {
        return length >= areaLength ? areaStart
                                    : std::clamp(start, areaStart, areaStart + areaLength - length);
    };
    // The frame, once the window manager has put one around the window; the window before.
    const QRect frame = window->frameGeometry();
    const QPoint placed(inside(frame.x(), frame.width(), area.x(), area.width()),
                        inside(frame.y(), frame.height(), area.y(), area.height()));
    if (placed != frame.topLeft()) {
        window->move(placed);
    }
}

} // namespace

QMainWindow* LayerWindow(int32_t number) {
    const WindowRecord* record = FindWindow(number);
    return record != nullptr ? record->window.data() : nullptr;
}

QWidget* InnerArea(int32_t number) {
    const WindowRecord* record = FindWindow(number);
    return record != nullptr ? record->innerArea.data() : nullptr;
}

int32_t WindowNumberOf(const QObject* window) {
    for (const auto& [number, record] : Windows()) {
        if (record.window == window) {
            return number;
        }
    }
    return -1;
}

int32_t AppWindowNumber() {
    for (const auto& [number, record] : Windows()) {
        if (record.window != nullptr) {
            return number;
        }
    }
    return -1;
}

QWidget* ForegroundWindow() {
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    return LayerWindow(0);
}

void CloseAllWindows() {
    for (auto& [number, record] : Windows()) {
        delete record.window.data();
    }
    Windows().clear();
}

NativeHandle OpenAppWindow(int32_t number, int32_t x, int32_t y, int32_t innerWidth,
                           int32_t innerHeight, const std::string& title, uint32_t style) {
    if (QApplication::instance() == nullptr || TheWindow() != nullptr) {
        return 0;
    }
    auto* window = new AppWindow();
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if ((style & WINDOW_SYSTEM_MENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    window->setWindowFlags(flags);
    window->setWindowTitle(TextToWidget(title));
    window->setFont(ControlFont());
    auto* inner = new QWidget(window);
    inner->setObjectName("InnerArea");
    window->setCentralWidget(inner);
    // Lets the window itself hold the focus, so no control has it until the user moves it there.
    window->setFocusPolicy(Qt::ClickFocus);
    window->resize(innerWidth, innerHeight);
    window->move(x, y);
    KeepInsideScreen(window);
    Windows()[number] = WindowRecord{window, inner, nullptr, nullptr};
    window->show();
    window->setFocus();
    return reinterpret_cast<NativeHandle>(window);
}

NativeHandle WindowHandle(int32_t number) {
    return reinterpret_cast<NativeHandle>(LayerWindow(number));
}

int32_t InnerWidth(int32_t number) {
    const QMainWindow* window = LayerWindow(number);
    return window != nullptr ? window->width() : 0;
}

int32_t InnerHeight(int32_t number) {
    // The menu bar sits inside the window's own area, so the height already counts it.
    const QMainWindow* window = LayerWindow(number);
    return window != nullptr ? window->height() : 0;
}

void ResizeAppWindow(int32_t number, int32_t x, int32_t y, int32_t innerWidth,
                     int32_t innerHeight) {
    QMainWindow* window = LayerWindow(number);
    if (window == nullptr) {
        return;
    }
    if (x != KEEP || y != KEEP) {
        const QPoint current = window->pos();
        window->move(x != KEEP ? x : current.x(), y != KEEP ? y : current.y());
    }
    if (innerWidth != KEEP || innerHeight != KEEP) {
        window->resize(innerWidth != KEEP ? innerWidth : window->width(),
                       innerHeight != KEEP ? innerHeight : window->height());
    }
}

void SetWindowName(int32_t number, const std::string& name) {
    if (QMainWindow* window = LayerWindow(number)) {
        window->setObjectName(QString::fromStdString(name));
    }
}

NativeHandle CreateMenuBar(int32_t number, NativeHandle window) {
    WindowRecord* record = FindWindow(number);
    if (record == nullptr || window == 0 ||
        reinterpret_cast<NativeHandle>(record->window.data()) != window) {
        return 0;
    }
    auto* bar = new QMenuBar(record->window);
    bar->setObjectName("MainMenuBar");
    bar->setNativeMenuBar(false);
    bar->setFixedHeight(MENU_BAR_HEIGHT);
    record->window->setMenuBar(bar);
    WatchMenuBarKeys(bar);
    record->menuBar = bar;
    record->currentMenu = nullptr;
    return reinterpret_cast<NativeHandle>(bar);
}

void AddMenuTitle(const std::string& title, const std::string& shortcut) {
    WindowRecord* record = MenuWindow();
    if (record == nullptr) {
        return;
    }
    record->currentMenu = record->menuBar->addMenu(MenuText(title));
    record->currentMenu->setObjectName(TextToWidget(title) + "Menu");
    // A drop-down is a window of its own: it takes the window's font only when told to.
    record->currentMenu->setAttribute(Qt::WA_WindowPropagation);
    if (shortcut.empty()) {
        return;
    }
    // A shortcut of the window rather than an access key, which the style would underline.
    auto* keys = new QShortcut(QKeySequence(TextToWidget(shortcut), QKeySequence::PortableText),
                               record->window);
    QObject::connect(keys, &QShortcut::activated, record->menuBar,
                     [bar = record->menuBar.data(), title = record->currentMenu->menuAction()] {
                         OpenBarMenu(bar, title);
                     });
}

void AddMenuItem(int32_t menuId, const std::string& text, const std::string& shortcut) {
    WindowRecord* record = MenuWindow();
    if (record == nullptr || record->currentMenu == nullptr) {
        return;
    }
    QAction* action = record->currentMenu->addAction(MenuText(text));
    action->setObjectName(TextToWidget(text));
    action->setData(menuId);
    // The combination is named in English ("Ctrl+O") whatever the desktop's language.
    action->setShortcut(QKeySequence(TextToWidget(shortcut), QKeySequence::PortableText));
    const int32_t window = WindowNumberOf(record->window);
    QObject::connect(action, &QAction::triggered,
                     [menuId, window] { QueueEvent(EVENT_MENU, window, menuId, -1); });
}

void AddMenuSeparator() {
    WindowRecord* record = MenuWindow();
    if (record != nullptr && record->currentMenu != nullptr) {
        record->currentMenu->addSeparator();
    }
}
