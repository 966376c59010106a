// Helpers for tests that drive real widgets offscreen, whatever program they belong to: where a
// user clicks the parts of a scroll bar or track bar, and answers to the modal requesters that the
// next actions open.
#pragma once

#include <QPoint>
#include <QScrollBar>
#include <QSlider>
#include <QString>
#include <QStyle>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

// Where the user clicks a part of a scroll bar, and the thumb of a track bar at `position`, as
// the widget's style places them.
QPoint ScrollBarPartCentre(const QScrollBar* bar, QStyle::SubControl part);
QPoint TrackBarThumbCentre(const QSlider* bar, int position);

// Answers the modal requesters that the next actions open, in order. Each answer is a function
// that gets the requester and closes it. The texts of the message boxes answered are collected.
// How the user cancels long work in its progress window.
enum class CancelBy { Button, Escape, CloseBox };

class ModalAnswers {
  public:
    ModalAnswers();
    ~ModalAnswers();
    // Clicks OK on a message box.
    ModalAnswers& Acknowledge();
    // Chooses this path in a file requester; an empty path cancels it.
    ModalAnswers& ChooseFile(const std::string& path);
    // Cancels long work in its progress window, once that shows; with `onceDisabled`, waits until
    // its Cancel button is disabled before trying. The window's caption and text, joined by "|",
    // go to requesterTitles(). A progress window that no answer waits for is left alone.
    // `before` runs just before the cancel, while the work still runs.
    ModalAnswers& CancelProgress(CancelBy how, bool onceDisabled = false,
                                 std::function<void()> before = {});
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

// The messages `answers` collected, one a line, so that a failing comparison shows them.
QString MessagesSeen(const ModalAnswers& answers);
