// Helpers for tests that drive the real main window offscreen: open it as the program does,
// run the program's loop until it is idle, and answer the modal requesters it opens.
#pragma once

#include "app/program.h"
#include "ui/main_window.h"

#include <QApplication>
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

// Answers the modal requesters that the next actions open, in order. Each answer is a function
// that gets the requester and closes it. The texts of the message boxes answered are collected.
class ModalAnswers {
  public:
    ModalAnswers();
    ~ModalAnswers();
    // Clicks OK on a message box.
    ModalAnswers& Acknowledge();
    // Chooses this path in a file requester; an empty path cancels it.
    ModalAnswers& ChooseFile(const std::string& path);
    [[nodiscard]] const std::vector<std::string>& messages() const { return messages_; }
    [[nodiscard]] const std::vector<std::string>& requesterTitles() const { return titles_; }
    [[nodiscard]] int pending() const { return static_cast<int>(answers_.size()); }

  private:
    void Poll();

    std::vector<std::function<bool(QWidget*)>> answers_;
    std::vector<std::string> messages_;
    std::vector<std::string> titles_;
    int timer_ = 0;
    QObject* watcher_ = nullptr;
};
