// Files dropped on a window.
//
// One filter sees the drag before the widget under it does, so a file is taken wherever it
// lands, also on an edit field, which would otherwise insert the file's address as text; a drag
// of anything else goes on to the widget as usual. The drop is only recorded here: the program
// loads the file in its own turn, after the drag source has been told that the drop is done.
// It is taken as a copy, so that a file manager offering a move never deletes the source.
#include "toolkit/internal_p.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMainWindow>
#include <QMimeData>
#include <QUrl>

namespace {

// The first file of a drag as a raw path, or "" when the drag does not start with a local file.
std::string FirstLocalFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile()) {
        return {};
    }
    return QFile::encodeName(urls.constFirst().toLocalFile()).toStdString();
}

class DropReceiver : public QObject {
  public:
    DropReceiver(QWidget* window, int32_t number) : QObject(window), number_(number) {
        setObjectName("DropReceiver");
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) ||
            !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != parent()) {
            return false;
        }
        auto* drop = static_cast<QDropEvent*>(event);
        const std::string path = FirstLocalFile(drop->mimeData());
        if (path.empty() || (drop->possibleActions() & Qt::CopyAction) == 0) {
            return false;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (type == QEvent::Drop) {
            QueueDroppedFile(number_, path);
        }
        return true;
    }

  private:
    int32_t number_;
};

} // namespace

void AcceptDroppedFiles(int32_t number) {
    QMainWindow* window = LayerWindow(number);
    if (window == nullptr ||
        window->findChild<QObject*>("DropReceiver", Qt::FindDirectChildrenOnly) != nullptr) {
        return;
    }
    window->setAcceptDrops(true);
    // Owned by the window: the filter goes when the window does.
    QApplication::instance()->installEventFilter(new DropReceiver(window, number));
}
