// The track bar and the scroll bar, turned into the request notifications that the window hook
// expects: a request code per step, the scroll bar reporting before it moves and the track bar
// after, and an end-of-action notification after every user action.
#pragma once

#include "toolkit/toolkit.h"

#include <QScrollBar>
#include <QSlider>
#include <cstdint>

// The mouse and wheel of both controls. An action belongs to the button that began it and ends
// when that button is released, whatever other buttons were pressed meanwhile: those are inert,
// and Qt's controls, which ignore a release while another button is down, only ever see a lone
// button.
template <typename Slider> class MovingControl : public Slider {
  public:
    using Slider::Slider;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // Sends the end-of-action notification once for an action that is open.
    void EndAction();
    virtual void Notify(int32_t requestCode) = 0;

    bool actionOpen_ = false;

  private:
    Qt::MouseButton actionButton_ = Qt::NoButton;
};

class TrackBarWidget : public MovingControl<QSlider> {
  public:
    TrackBarWidget(int32_t id, QWidget* parent);
    void SetBound(ScrollAttribute attribute, int32_t value);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void Notify(int32_t requestCode) override;

  private:
    void OnAction(int action);

    int32_t id_;
};

// Keeps its range the way the program sets it: a minimum, a maximum that is one past the highest
// stored bound, and a page length; the position runs from minimum to maximum - page.
class ScrollBarWidget : public MovingControl<QScrollBar> {
  public:
    ScrollBarWidget(int32_t id, QWidget* parent, int32_t minimum, int32_t maximum, int32_t page);
    void SetAttribute(ScrollAttribute attribute, int32_t value);

  protected:
    void Notify(int32_t requestCode) override;

  private:
    void ApplyRange();
    void OnAction(int action);

    int32_t id_;
    int64_t minimum_;
    int64_t highestBound_; // maximum - 1
    int64_t page_;
};
