// Windows, menus, fonts, requesters, drawing and process services of the toolkit layer.
#include "toolkit/cp1252.h"
#include "toolkit/internal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QStyleFactory>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <xcb/xcb.h>

namespace {

// The menu bar keeps the height the layout was designed around, whatever the style prefers.
constexpr int MENU_BAR_HEIGHT = 20;

} // namespace

// Paints the boxes of the last drawing on top of the controls. It is transparent to the mouse
// and covers only the boxes, so the controls under it keep working.
class DrawingOverlay : public QWidget {
  public:
    explicit DrawingOverlay(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setObjectName("DrawingOverlay");
    }

    void ShowBoxes(const std::vector<DrawnBox>& boxes) {
        QRect bounds;
        for (const DrawnBox& box : boxes) {
            bounds = bounds.united(box.area);
        }
        const bool changed = bounds != geometry() || !SameBoxes(boxes);
        boxes_ = boxes;
        if (!changed) {
            return; // an unchanged drawing must not repaint, or every repaint would cause another
        }
        setGeometry(bounds);
        raise();
        setVisible(!boxes_.empty());
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (const DrawnBox& box : boxes_) {
            const QColor colour(static_cast<int>(box.colour & 0xFF),
                                static_cast<int>((box.colour >> 8) & 0xFF),
                                static_cast<int>((box.colour >> 16) & 0xFF));
            painter.fillRect(box.area.translated(-geometry().topLeft()), colour);
        }
    }

  private:
    bool SameBoxes(const std::vector<DrawnBox>& boxes) const {
        if (boxes.size() != boxes_.size()) {
            return false;
        }
        for (std::size_t index = 0; index < boxes.size(); ++index) {
            if (boxes[index].area != boxes_[index].area ||
                boxes[index].colour != boxes_[index].colour) {
                return false;
            }
        }
        return true;
    }

    std::vector<DrawnBox> boxes_;
};

namespace {

// Qt aborts the process when it cannot reach a display; say so plainly instead.
bool DisplayReachable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string chosen = platform != nullptr ? platform : "";
    if (!chosen.empty() && chosen.rfind("xcb", 0) != 0) {
        return true; // offscreen, wayland, vnc …: the platform plugin reports its own failures
    }
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (chosen.empty() && wayland != nullptr && *wayland != '\0' &&
        std::getenv("DISPLAY") == nullptr) {
        return true;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::fprintf(stderr, "tessary: no display to open the window on (DISPLAY is not set); "
                             "run it in a desktop session or under xvfb-run\n");
        return false;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reachable) {
        std::fprintf(stderr,
                     "tessary: cannot connect to the display \"%s\"; "
                     "run it in a desktop session or under xvfb-run\n",
                     display);
    }
    return reachable;
}

// Qt aborts when no platform plugin starts, e.g. WAYLAND_DISPLAY without Qt's Wayland plugin and
// no X display to fall back to. Ends with the same kind of line as a missing display instead.
QtMessageHandler previousMessageHandler = nullptr;

void ReportPlatformFailure(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (type != QtFatalMsg) {
        if (previousMessageHandler != nullptr) {
            previousMessageHandler(type, context, message);
        }
        return;
    }
    std::fprintf(stderr, "tessary: no display to open the window on (Qt could not start a "
                         "platform plugin); run it in a desktop session or under xvfb-run\n");
    std::_Exit(1);
}

QWidget* ForegroundWindow() {
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    const auto found = Toolkit().windows.find(0);
    return found != Toolkit().windows.end() ? found->second.window.data() : nullptr;
}

QMainWindow* LayerWindow(int32_t number) {
    const auto found = Toolkit().windows.find(number);
    return found != Toolkit().windows.end() ? found->second.window.data() : nullptr;
}

// The requesters' pattern is a list of description|pattern pairs; "*.*" means every file.
QStringList NameFilters(const std::string& pattern) {
    const QStringList parts = TextToWidget(pattern).split('|');
    QStringList filters;
    for (qsizetype index = 0; index < parts.size(); index += 2) {
        QString files = index + 1 < parts.size() ? parts[index + 1] : parts[index];
        files.replace("*.*", "*").replace(';', ' ');
        const QString description = index + 1 < parts.size() ? parts[index] : "All files";
        filters << QString("%1 (%2)").arg(description, files);
    }
    return filters;
}

std::string AskFile(const std::string& title, const std::string& defaultFile,
                    const std::string& pattern, int32_t patternIndex, bool forSaving) {
    QFileDialog dialog(ForegroundWindow(), TextToWidget(title));
    dialog.setObjectName(forSaving ? "AskSaveFile" : "AskOpenFile");
    // Qt's own requester behaves the same on every desktop and under test.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const QStringList filters = NameFilters(pattern);
    dialog.setNameFilters(filters);
    if (patternIndex > 0 && patternIndex <= filters.size()) {
        dialog.selectNameFilter(filters[patternIndex - 1]);
    }
    if (!defaultFile.empty()) {
        dialog.selectFile(QFile::decodeName(defaultFile.c_str()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

} // namespace

// The top-level window: its close box asks, it does not close.
class AppWindow : public QMainWindow {
  public:
    using QMainWindow::QMainWindow;

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        QueueEvent(EVENT_CLOSE, WindowNumberOf(this), 0, -1);
    }
};

ToolkitState& Toolkit() {
    static ToolkitState state;
    return state;
}

bool StartToolkit(int& argc, char** argv) {
    ToolkitState& toolkit = Toolkit();
    toolkit.arguments.assign(argv, argv + argc);
    if (QApplication::instance() == nullptr) {
        if (!DisplayReachable()) {
            return false;
        }
        previousMessageHandler = qInstallMessageHandler(ReportPlatformFailure);
        // Qt is given the program's name only: every argument is the program's own (a file
        // named "-reverse" is a file to load, not a request to mirror the layout).
        toolkit.qtArguments = {argc > 0 ? argv[0] : nullptr, nullptr};
        toolkit.qtArgumentCount = argc > 0 ? 1 : 0;
        toolkit.ownedApplication =
            new QApplication(toolkit.qtArgumentCount, toolkit.qtArguments.data());
        qInstallMessageHandler(previousMessageHandler);
    }
    QApplication::setWindowIcon(QIcon(":/tessary.svg"));
    QGuiApplication::setDesktopFileName("tessary");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QFont controlFont("Liberation Sans");
    controlFont.setPointSize(8);
    QApplication::setFont(controlFont);
    InstallEventRecorder();
    return true;
}

void ShutdownToolkit() {
    ToolkitState& toolkit = Toolkit();
    RemoveEventRecorder();
    for (auto& [number, record] : toolkit.windows) {
        delete record.window.data();
    }
    toolkit.windows.clear();
    toolkit.controls.clear();
    toolkit.queue.clear();
    toolkit.fonts.clear();
    toolkit.drawing.clear();
    toolkit.hook = nullptr;
    toolkit.controlParent = nullptr;
    toolkit.controlWindow = -1;
    toolkit.drawingWindow = -1;
    toolkit.current = QueuedEvent{};
    delete toolkit.ownedApplication;
    toolkit.ownedApplication = nullptr;
}

NativeHandle OpenAppWindow(int32_t number, int32_t x, int32_t y, int32_t innerWidth,
                           int32_t innerHeight, const std::string& title, uint32_t style) {
    if (QApplication::instance() == nullptr || Toolkit().windows.count(number) != 0) {
        return 0;
    }
    auto* window = new AppWindow();
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if ((style & 0x80000) != 0) { // system menu: the close box
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    window->setWindowFlags(flags);
    window->setWindowTitle(TextToWidget(title));
    auto* inner = new QWidget(window);
    inner->setObjectName("InnerArea");
    window->setCentralWidget(inner);
    // Lets the window itself hold the focus, so no control has it until the user moves it there.
    window->setFocusPolicy(Qt::ClickFocus);
    window->resize(innerWidth, innerHeight);
    window->move(x, y);
    WindowRecord& record = Toolkit().windows[number];
    record.window = window;
    record.innerArea = inner;
    record.overlay = new DrawingOverlay(inner);
    record.overlay->hide();
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

NativeHandle CreateMenuBar(int32_t number, NativeHandle window) {
    const auto found = Toolkit().windows.find(number);
    if (found == Toolkit().windows.end() || window == 0 ||
        reinterpret_cast<NativeHandle>(found->second.window.data()) != window) {
        return 0;
    }
    WindowRecord& record = found->second;
    auto* bar = new QMenuBar(record.window);
    bar->setObjectName("MainMenuBar");
    bar->setNativeMenuBar(false);
    bar->setFixedHeight(MENU_BAR_HEIGHT);
    record.window->setMenuBar(bar);
    record.menuBar = bar;
    record.currentMenu = nullptr;
    return reinterpret_cast<NativeHandle>(bar);
}

namespace {
WindowRecord* MenuWindow() {
    for (auto& [number, record] : Toolkit().windows) {
        if (record.menuBar != nullptr) {
            return &record;
        }
    }
    return nullptr;
}
} // namespace

void AddMenuTitle(const std::string& title) {
    WindowRecord* record = MenuWindow();
    if (record == nullptr) {
        return;
    }
    // Access-key marks are not wanted: an "&" in a title is shown as it is.
    record->currentMenu = record->menuBar->addMenu(TextToWidget(title).replace("&", "&&"));
    record->currentMenu->setObjectName(TextToWidget(title) + "Menu");
}

void AddMenuItem(int32_t menuId, const std::string& text) {
    WindowRecord* record = MenuWindow();
    if (record == nullptr || record->currentMenu == nullptr) {
        return;
    }
    QAction* action = record->currentMenu->addAction(TextToWidget(text).replace("&", "&&"));
    action->setObjectName(TextToWidget(text));
    action->setData(menuId);
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

FontHandle LoadFontFace(int32_t, const std::string& face, int32_t points, uint32_t flags) {
    if (QApplication::instance() == nullptr || points <= 0) {
        return 0;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dotsPerInch = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    QFont font(TextToWidget(face));
    font.setStyleHint(QFont::TypeWriter); // a fixed-pitch face if the named one is missing
    font.setPixelSize(static_cast<int>(std::lround(points * dotsPerInch / 72.0)));
    font.setWeight((flags & FONT_BOLD) != 0 ? QFont::Bold : QFont::Normal);
    Toolkit().fonts.push_back(font);
    return Toolkit().fonts.size();
}

void ShowMessage(const std::string& caption, const std::string& text) {
    QString shown = TextToWidget(text);
    shown.replace("\r\n", "\n");
    QMessageBox box(QMessageBox::NoIcon, TextToWidget(caption), shown, QMessageBox::Ok,
                    ForegroundWindow());
    box.setObjectName("ShowMessage");
    box.exec();
}

std::string AskOpenFile(const std::string& title, const std::string& defaultFile,
                        const std::string& pattern, int32_t patternIndex) {
    return AskFile(title, defaultFile, pattern, patternIndex, false);
}

std::string AskSaveFile(const std::string& title, const std::string& defaultFile,
                        const std::string& pattern, int32_t patternIndex) {
    return AskFile(title, defaultFile, pattern, patternIndex, true);
}

void BeginDrawing(int32_t number) {
    if (Toolkit().drawingWindow >= 0) {
        EndDrawing();
    }
    Toolkit().drawingWindow = LayerWindow(number) != nullptr ? number : -1;
    Toolkit().drawing.clear();
}

void FillBox(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
    if (Toolkit().drawingWindow >= 0 && width > 0 && height > 0) {
        Toolkit().drawing.push_back(DrawnBox{QRect(x, y, width, height), colour});
    }
}

void EndDrawing() {
    ToolkitState& toolkit = Toolkit();
    const auto found = toolkit.windows.find(toolkit.drawingWindow);
    if (found != toolkit.windows.end() && found->second.overlay != nullptr) {
        found->second.overlay->ShowBoxes(toolkit.drawing);
    }
    toolkit.drawingWindow = -1;
    toolkit.drawing.clear();
}

std::string CommandArgument(int32_t index) {
    const std::vector<std::string>& arguments = Toolkit().arguments;
    if (index < 0 || static_cast<std::size_t>(index) + 1 >= arguments.size()) {
        return {};
    }
    return arguments[static_cast<std::size_t>(index) + 1];
}

void SleepMilliseconds(int32_t count) {
    if (count > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(count));
    }
}

int32_t WindowNumberOf(const QObject* window) {
    for (const auto& [number, record] : Toolkit().windows) {
        if (record.window == window) {
            return number;
        }
    }
    return -1;
}
