// Files dropped on a window.
//
// One filter sees the drag before the widget under it does, so a file is taken wherever it
// lands, also on an edit field, which would otherwise insert the file's address as text; a drag
// of anything else goes on to the widget as usual. The drop is only recorded here: the program
// loads the file in its own turn, after the drag source has been told that the drop is done.
// It is taken as a copy, so that a file manager offering a move never deletes the source.
//
// The file's name is read from the drag's own bytes: a name need not be UTF-8, and passing it
// through a QString would replace the bytes that are not. A folder is refused while it is still
// dragged, so that the pointer never promises a drop that would fail.
#include "toolkit/internal_p.h"

#include <QApplication>
#include <QByteArray>
#include <QDropEvent>
#include <QMainWindow>
#include <QMimeData>
#include <sys/stat.h>

namespace {

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

// A local file's address ("file:///path" or "file://localhost/path") as the path's raw bytes, or
// "" for any other address. A "%" not followed by two hexadecimal digits stays as it is.
std::string LocalPathOf(const QByteArray& address) {
    if (!address.toLower().startsWith("file:")) {
        return {};
    }
    QByteArray rest = address.mid(5);
    if (rest.startsWith("//")) {
        const qsizetype pathStart = rest.indexOf('/', 2);
        if (pathStart < 0) {
            return {};
        }
        const QByteArray host = rest.mid(2, pathStart - 2).toLower();
        if (!host.isEmpty() && host != "localhost") {
            return {};
        }
        rest = rest.mid(pathStart);
    }
    // A query or a fragment is not part of the path; the name's own "?" and "#" come encoded.
    for (const char ending : {'?', '#'}) {
        const qsizetype end = rest.indexOf(ending);
        if (end >= 0) {
            rest.truncate(end);
        }
    }
    if (!rest.startsWith('/')) {
        return {};
    }
    std::string path;
    for (qsizetype index = 0; index < rest.size(); ++index) {
        const char byte = rest[index];
        const int high = byte == '%' && index + 2 < rest.size() ? HexValue(rest[index + 1]) : -1;
        const int low = high >= 0 ? HexValue(rest[index + 2]) : -1;
        if (low >= 0) {
            path.push_back(static_cast<char>(high * 16 + low));
            index += 2;
        } else {
            path.push_back(byte);
        }
    }
    // A name holds no NUL byte: such an address names no file.
    return path.find('\0') == std::string::npos ? path : std::string();
}

// The first file of a drag as a raw path, or "" when the drag does not start with a local file.
std::string FirstLocalFile(const QMimeData* data) {
    if (data == nullptr || !data->hasFormat("text/uri-list")) {
        return {};
    }
    for (QByteArray line : data->data("text/uri-list").split('\n')) {
        line = line.trimmed();
        if (!line.isEmpty() && !line.startsWith('#')) {
            return LocalPathOf(line);
        }
    }
    return {};
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
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
        if (path.empty()) {
            return false;
        }
        if ((drop->possibleActions() & Qt::CopyAction) == 0 || IsFolder(path)) {
            // Refused here, not handed on: an edit field would take the address as text.
            drop->ignore();
            return true;
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
