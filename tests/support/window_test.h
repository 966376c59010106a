// Helpers for tests that drive the real main window offscreen: open it as the program does, run
// the program's loop until it is idle, and read what it shows.
#pragma once

#include "program/controls.h"
#include "program/main_window.h"
#include "program/program.h"
#include "support/widget_test.h"

#include <QApplication>
#include <QByteArray>
#include <QPoint>
#include <QScrollBar>
#include <QSlider>
#include <QString>
#include <QStyle>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

// Opens the main window as the program does at start-up, with `arguments` as the command line
// after the program's name. Returns false when the window could not be opened.
bool OpenTestWindow(const std::vector<std::string>& arguments = {});
// Destroys the window and every layer resource; the QApplication stays.
void CloseTestWindow();

// Runs turns of the program's loop until no event is left. Returns the codes of the turns.
std::vector<int32_t> RunPendingTurns();

template <typename Widget = QWidget> Widget* FindWidget(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "MainWindow") {
            return top->findChild<Widget*>(name);
        }
    }
    return nullptr;
}
QWidget* MainWindowWidget();

// Triggers the menu item whose QAction has this objectName (the item's text), as a click on it
// would. The item runs on the program's next turns. False when there is no such item.
bool TriggerMenu(const char* item);

// The text of a control as the program reads it (GetControlText): its bytes, not its Unicode.
QByteArray Shown(int32_t id);
// The pointer's caption as the window shows it for `position` in a file of `size` bytes.
QString PointerCaption(qint64 position, qint64 size);

// Moves the pointer as the scroll bar would and shows the bytes there.
void MovePointer(qint64 position);
// Empties the named field and types `text` into it key by key.
void TypeInto(const char* field, const QString& text);
// Types a value into the byte row and presses its Update button, as the user patches a byte.
void PatchByteAtPointer(const char* decimal);
// Loads `path` as the Load item would; false when a message came up.
bool LoadWithoutMessages(const QString& path);
// The program's memory copy of the file, FileSize bytes of it.
QByteArray CopyInMemory();
// Writes `content` to `path` and loads it. False when it was not written, a message came up, or
// the copy in memory differs from `content`.
bool WriteAndLoad(const QString& path, const QByteArray& content);
