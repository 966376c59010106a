// The track bar and the scroll bar, turned into the request notifications that the window hook
// expects: a request code per step, the scroll bar reporting before it moves and the track bar
// after, and an end-of-action notification after every user action.
#pragma once

#include "toolkit/toolkit.h"

#include <QScrollBar>
#include <QSlider>
#include <cstdint>

class TrackBarWidget : public QSlider {
  public:
    TrackBarWidget(int32_t id, QWidget* parent);
    void SetBound(ScrollAttribute attribute, int32_t value);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void OnAction(int action);
    void Notify(int32_t requestCode);

    int32_t id_;
    bool actionOpen_ = false;
};

// Keeps its range the way the program sets it: a minimum, a maximum that is one past the highest
// stored bound, and a page length; the position runs from minimum to maximum - page.
class ScrollBarWidget : public QScrollBar {
  public:
    ScrollBarWidget(int32_t id, QWidget* parent, int32_t minimum, int32_t maximum, int32_t page);
    void SetAttribute(ScrollAttribute attribute, int32_t value);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void ApplyRange();
    void OnAction(int action);
    void Notify(int32_t requestCode);

    int32_t id_;
    int64_t minimum_;
    int64_t highestBound_; // maximum - 1
    int64_t page_;
    bool actionOpen_ = false;
};
