// Long work: a load or save that runs inside one handler, in chunks, on the one thread.
//
// Between chunks the program calls ServeLongWork, which lets Qt paint and answer the desktop's
// "are you alive" ping. Qt would also deliver the user's input then, to handlers that must not run
// on a half-read buffer; and holding the input back (ExcludeUserInputEvents) would only replay it
// after the work. So an application-wide filter throws it away until EndLongWork: keys, clicks,
// the wheel, drops and close boxes, except those of the progress window, whose Cancel, Escape
// and close box are the only way to act on the work.
#include "toolkit/cp1252_p.h"
#include "toolkit/internal_p.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace {

// The modal progress window. Its close box and Escape mean Cancel while the work can be undone.
class ProgressWindow : public QDialog {
  public:
    explicit ProgressWindow(QWidget* parent) : QDialog(parent) {
        setObjectName("ProgressWindow");
        setWindowTitle("Tessary");
        setWindowModality(Qt::ApplicationModal);
        text_ = new QLabel(this);
        text_->setObjectName("ProgressText");
        cancel_ = new QPushButton("Cancel", this);
        cancel_->setObjectName("CancelButton");
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(text_);
        layout->addWidget(cancel_, 0, Qt::AlignHCenter);
        connect(cancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    }

    void SetText(const QString& text) {
        // Wide enough from the start for the counts to grow, so that the window keeps its size.
        const int width = text_->fontMetrics().horizontalAdvance(QString(text.size() + 8, '0'));
        text_->setMinimumWidth(std::max(text_->minimumWidth(), width));
        text_->setText(text);
    }
    void DisableCancel() {
        cancellable_ = false;
        cancel_->setEnabled(false);
    }
    [[nodiscard]] bool cancelled() const { return cancelled_; }

    void reject() override { cancelled_ = cancelled_ || cancellable_; }

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        reject();
    }

  private:
    QLabel* text_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool cancellable_ = true;
    bool cancelled_ = false;
};

class InputDiscarder : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

struct LongWorkState {
    InputDiscarder* discarder = nullptr;
    ProgressWindow* window = nullptr;
    bool cancellable = true;
};

LongWorkState& Work() {
    static LongWorkState state;
    return state;
}

bool IsDiscardedInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

// True for the progress window, its platform window and its controls.
bool InProgressWindow(const QObject* watched) {
    const ProgressWindow* window = Work().window;
    if (window == nullptr) {
        return false;
    }
    if (watched->isWidgetType()) {
        return static_cast<const QWidget*>(watched)->window() == window;
    }
    return watched->isWindowType() && watched == window->windowHandle();
}

} // namespace

bool InputDiscarder::eventFilter(QObject* watched, QEvent* event) {
    if (!IsDiscardedInput(event->type()) || InProgressWindow(watched)) {
        return false;
    }
    // The program closes no window during the work, so a close is the user's and is refused; a
    // refused close leaves its window open.
    // A shortcut override taken here keeps the key from becoming a menu shortcut.
    event->setAccepted(event->type() == QEvent::ShortcutOverride);
    return true;
}

void BeginLongWork() {
    LongWorkState& work = Work();
    if (work.discarder != nullptr || QApplication::instance() == nullptr) {
        return;
    }
    work.cancellable = true;
    work.discarder = new InputDiscarder();
    // Installed last, the filter sees each event before the layer's own filters record it.
    QApplication::instance()->installEventFilter(work.discarder);
}

void ShowProgressWindow(const std::string& text) {
    LongWorkState& work = Work();
    if (work.discarder == nullptr) {
        return;
    }
    if (work.window == nullptr) {
        work.window = new ProgressWindow(LayerWindow(std::max(0, AppWindowNumber())));
        if (!work.cancellable) {
            work.window->DisableCancel();
        }
        work.window->SetText(TextToWidget(text));
        work.window->show();
        return;
    }
    work.window->SetText(TextToWidget(text));
}

void DisableProgressCancel() {
    LongWorkState& work = Work();
    work.cancellable = false;
    if (work.window != nullptr) {
        work.window->DisableCancel();
    }
}

bool ServeLongWork() {
    LongWorkState& work = Work();
    if (QApplication::instance() != nullptr) {
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    return !work.cancellable || work.window == nullptr || !work.window->cancelled();
}

void EndLongWork() {
    LongWorkState& work = Work();
    delete work.window;
    work.window = nullptr;
    if (work.discarder != nullptr && QApplication::instance() != nullptr) {
        QApplication::instance()->removeEventFilter(work.discarder);
    }
    delete work.discarder;
    work.discarder = nullptr;
    work.cancellable = true;
}
