// Top-level windows by number, and their menu bars.
//
// The keyboard reaches a menu bar as on other desktop programs: F10, or Alt pressed and released
// alone, opens its first drop-down, and the same key again, or Escape, closes it. Qt's own Alt
// navigation is kept out: it only makes the title current, which the style does not draw, so a
// sighted user would see nothing happen while the keys went to the bar.
#include "toolkit/cp1252.h"
#include "toolkit/internal.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <map>

namespace {

// The menu bar keeps the height the layout was designed around, whatever the style prefers.
constexpr int MENU_BAR_HEIGHT = 20;

// A window's close box asks the program; it does not close the window.
class AppWindow : public QMainWindow {
  public:
    using QMainWindow::QMainWindow;

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        QueueEvent(EVENT_CLOSE, WindowNumberOf(this), 0, -1);
    }
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

// Menus are built one title at a time on the window that has a menu bar.
WindowRecord* MenuWindow() {
    for (auto& [number, record] : Windows()) {
        if (record.menuBar != nullptr) {
            return &record;
        }
    }
    return nullptr;
}

// Menu texts are shown as they are: "&" is not an access-key mark here.
QString MenuText(const std::string& text) {
    return TextToWidget(text).replace("&", "&&");
}

// Opens the bar's first drop-down with its first item highlighted.
void OpenFirstMenu(QMenuBar* bar) {
    for (QAction* title : bar->actions()) {
        if (title->menu() == nullptr || !title->isVisible()) {
            continue;
        }
        bar->setActiveAction(title);
        for (QAction* item : title->menu()->actions()) {
            if (!item->isSeparator() && item->isVisible() && item->isEnabled()) {
                title->menu()->setActiveAction(item);
                break;
            }
        }
        return;
    }
}

// The keys that move into a window's menu bar, watched over the whole application: the key goes
// to whichever control has the focus, or to an open drop-down.
class MenuBarKeys : public QObject {
  public:
    explicit MenuBarKeys(QMenuBar* bar) : QObject(bar), bar_(bar) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Keeps Qt's own Alt navigation from taking the key.
            return IsAloneAlt(event) && Concerns(watched);
        case QEvent::KeyPress: {
            if (!Concerns(watched)) {
                return false;
            }
            auto* key = static_cast<QKeyEvent*>(event);
            altAlone_ = IsAloneAlt(event);
            if (key->key() == Qt::Key_F10 && (key->modifiers() & ~Qt::KeypadModifier) == 0) {
                Toggle();
                return true;
            }
            // Qt would leave the keys with the bar's title, drawn as if nothing were chosen;
            // Escape returns to where the user was instead, as on GTK desktops.
            if (key->key() == Qt::Key_Escape && OpenMenu() == watched) {
                OpenMenu()->close();
                return true;
            }
            // An open drop-down would close itself on Alt; the release decides instead.
            return altAlone_ && OpenMenu() == watched;
        }
        case QEvent::KeyRelease:
            if (altAlone_ && IsAloneAlt(event) && Concerns(watched)) {
                altAlone_ = false;
                Toggle();
                return true;
            }
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::WindowDeactivate:
            altAlone_ = false;
            return false;
        default:
            return false;
        }
    }

  private:
    static bool IsAloneAlt(const QEvent* event) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        return key->key() == Qt::Key_Alt &&
               (key->modifiers() & ~(Qt::AltModifier | Qt::KeypadModifier)) == 0;
    }

    // The bar's drop-down that is open, or nullptr.
    [[nodiscard]] QMenu* OpenMenu() const {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr && menu->parentWidget() == bar_ ? menu : nullptr;
    }

    // True for a widget of the bar's window or of one of its drop-downs, where no modal requester
    // stands in the way.
    [[nodiscard]] bool Concerns(QObject* watched) const {
        if (!watched->isWidgetType()) {
            return false;
        }
        QWidget* window = static_cast<QWidget*>(watched)->window();
        return window == bar_->window() || (window == OpenMenu() && window != nullptr);
    }

    void Toggle() {
        if (QMenu* menu = OpenMenu()) {
            menu->close();
        } else {
            OpenFirstMenu(bar_);
        }
    }

    QMenuBar* bar_;
    bool altAlone_ = false;
};

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
    if (QApplication::instance() == nullptr || LayerWindow(number) != nullptr) {
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
    // Owned by the bar: the filter goes when the bar does.
    QApplication::instance()->installEventFilter(new MenuBarKeys(bar));
    record->menuBar = bar;
    record->currentMenu = nullptr;
    return reinterpret_cast<NativeHandle>(bar);
}

void AddMenuTitle(const std::string& title) {
    WindowRecord* record = MenuWindow();
    if (record == nullptr) {
        return;
    }
    record->currentMenu = record->menuBar->addMenu(MenuText(title));
    record->currentMenu->setObjectName(TextToWidget(title) + "Menu");
    // A drop-down is a window of its own: it takes the window's font only when told to.
    record->currentMenu->setAttribute(Qt::WA_WindowPropagation);
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
