// The keys that reach the window's menu bar, as on other desktop programs: F10, or Alt pressed and
// released alone, opens its first drop-down, and the same key again, or Escape, closes it. Qt's
// own Alt navigation is kept out: it only makes the title current, which the style does not
// draw, so a sighted user would see nothing happen while the keys went to the bar.
//
// A lone Alt is one with nothing else between its press and its release. Where the window
// manager takes Alt with a mouse button (Alt+drag moves a window), the click never reaches the
// program; on X11 the window manager's pointer grab still shows as a crossing event of mode
// NotifyGrab, which Qt drops, so it is read here before Qt sees it.
#include "toolkit/internal_p.h"

#include <QAbstractNativeEventFilter>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <xcb/xcb.h>

void OpenBarMenu(QMenuBar* bar, QAction* title) {
    if (title->menu() == nullptr || !title->isVisible()) {
        return;
    }
    bar->setActiveAction(title);
    for (QAction* item : title->menu()->actions()) {
        if (!item->isSeparator() && item->isVisible() && item->isEnabled()) {
            title->menu()->setActiveAction(item);
            break;
        }
    }
}

namespace {

// Opens the bar's first drop-down with its first item highlighted.
void OpenFirstMenu(QMenuBar* bar) {
    for (QAction* title : bar->actions()) {
        if (title->menu() != nullptr && title->isVisible()) {
            OpenBarMenu(bar, title);
            return;
        }
    }
}

// The keys that move into a window's menu bar, watched over the whole application: the key goes
// to whichever control has the focus, or to an open drop-down.
class MenuBarKeys : public QObject, public QAbstractNativeEventFilter {
  public:
    explicit MenuBarKeys(QMenuBar* bar) : QObject(bar), bar_(bar) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // A key with Alt held may be a shortcut that never arrives as a key press.
            if (!IsAloneAlt(event)) {
                altAlone_ = false;
            }
            // Keeps Qt's own Alt navigation from taking the key.
            return IsAloneAlt(event) && Concerns(watched);
        case QEvent::KeyPress: {
            if (!Concerns(watched)) {
                return false;
            }
            auto* key = static_cast<QKeyEvent*>(event);
            altAlone_ = IsAloneAlt(event);
            if (altAlone_ && !key->isAutoRepeat()) {
                altPressTime_ = static_cast<uint32_t>(key->timestamp());
            }
            // Alt with a character is a command, never text to type, here as in GTK programs.
            // AltGr, which types @ and the euro sign on many layouts, does not report Alt.
            if ((key->modifiers() & Qt::AltModifier) != 0 && key->key() != Qt::Key_Alt &&
                !key->text().isEmpty() && key->text().at(0).isPrint()) {
                return true;
            }
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
                if (GrabbedSince(altPressTime_)) {
                    return false;
                }
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

    // The window manager's pointer grabs on X11. They are read as X delivers them, which may be
    // before Qt hands on a key that X delivered earlier, so they are kept by their X time and
    // compared with Alt's press when it is released.
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* /*result*/) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const uint8_t kind = event->response_type & ~0x80;
        if (kind == XCB_ENTER_NOTIFY || kind == XCB_LEAVE_NOTIFY) {
            const auto* crossing = static_cast<const xcb_enter_notify_event_t*>(message);
            if (crossing->mode == XCB_NOTIFY_MODE_GRAB) {
                grabSeen_ = true;
                grabTime_ = crossing->time;
            }
        }
        return false;
    }

  private:
    // X times are milliseconds that wrap around; the difference tells which came first.
    [[nodiscard]] bool GrabbedSince(uint32_t time) const {
        return grabSeen_ && static_cast<int32_t>(grabTime_ - time) >= 0;
    }

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
    uint32_t altPressTime_ = 0;
    bool grabSeen_ = false;
    uint32_t grabTime_ = 0;
};

} // namespace

void WatchMenuBarKeys(QMenuBar* bar) {
    // Owned by the bar: the filters go when the bar does.
    auto* keys = new MenuBarKeys(bar);
    QApplication::instance()->installEventFilter(keys);
    QApplication::instance()->installNativeEventFilter(keys);
}
