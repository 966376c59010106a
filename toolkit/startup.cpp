// Starting and ending the toolkit, the checks that a display is there to start on, and the
// process services the layer offers (the command line, sleeping).
#include "toolkit/internal_p.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct StartupState {
    QApplication* ownedApplication = nullptr;
    // What QApplication was given; it keeps referring to both for its whole life.
    int qtArgumentCount = 0;
    std::vector<char*> qtArguments;
    // The program's own command line, for CommandArgument.
    std::vector<std::string> arguments;
};

StartupState& Startup() {
    static StartupState state;
    return state;
}

void ReportNoDisplay(const char* why) {
    std::fprintf(stderr, "tessary: %s; run it in a desktop session or under xvfb-run\n", why);
}

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
        ReportNoDisplay("no display to open the window on (DISPLAY is not set)");
        return false;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reachable) {
        const std::string why = std::string("cannot connect to the display \"") + display + "\"";
        ReportNoDisplay(why.c_str());
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
    ReportNoDisplay("no display to open the window on (Qt could not start a platform plugin)");
    std::_Exit(1);
}

} // namespace

bool StartToolkit(int& argc, char** argv) {
    StartupState& startup = Startup();
    startup.arguments.assign(argv, argv + argc);
    if (QApplication::instance() == nullptr) {
        if (!DisplayReachable()) {
            return false;
        }
        previousMessageHandler = qInstallMessageHandler(ReportPlatformFailure);
        // Qt is given the program's name only: every argument is the program's own (a file
        // named "-reverse" is a file to load, not a request to mirror the layout).
        startup.qtArguments = {argc > 0 ? argv[0] : nullptr, nullptr};
        startup.qtArgumentCount = argc > 0 ? 1 : 0;
        startup.ownedApplication =
            new QApplication(startup.qtArgumentCount, startup.qtArguments.data());
        qInstallMessageHandler(previousMessageHandler);
    }
    QApplication::setWindowIcon(QIcon(":/tessary.svg"));
    QGuiApplication::setDesktopFileName(TESSARY_DESKTOP_ID);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    SetUpControlFont();
    InstallAccessibleInterfaces();
    InstallEventRecorder();
    return true;
}

void ShutdownToolkit() {
    RemoveEventRecorder();
    CloseAllWindows();
    ForgetControls();
    ForgetFonts();
    ForgetEvents();
    ForgetDrawings();
    delete Startup().ownedApplication;
    Startup().ownedApplication = nullptr;
}

std::string CommandArgument(int32_t index) {
    const std::vector<std::string>& arguments = Startup().arguments;
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
