#include "toolkit/moving_controls_p.h"

#include "toolkit/internal_p.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <limits>

namespace {

int32_t RequestCodeOf(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return SCROLL_STEP_LEFT;
    case QAbstractSlider::SliderSingleStepAdd:
        return SCROLL_STEP_RIGHT;
    case QAbstractSlider::SliderPageStepSub:
        return SCROLL_PAGE_LEFT;
    case QAbstractSlider::SliderPageStepAdd:
        return SCROLL_PAGE_RIGHT;
    case QAbstractSlider::SliderMove:
        return SCROLL_THUMB_DRAGGED;
    case QAbstractSlider::SliderToMinimum:
        return SCROLL_TO_START;
    case QAbstractSlider::SliderToMaximum:
        return SCROLL_TO_END;
    default:
        return -1;
    }
}

// The left button steps, pages and drags; the middle one jumps to where it was clicked, the X11
// habit. The right button does nothing on either control: no move, no notification.
bool MovesTheControl(const QMouseEvent* event) {
    return event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton;
}

int ToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

// The same press or release with no other button down: how Qt's controls expect them.
QMouseEvent LoneButton(const QMouseEvent* event, Qt::MouseButtons buttons) {
    return {event->type(),   event->position(), event->scenePosition(), event->globalPosition(),
            event->button(), buttons,           event->modifiers(),     event->pointingDevice()};
}

} // namespace

template <typename Slider> void MovingControl<Slider>::mousePressEvent(QMouseEvent* event) {
    // A release lost to a grab elsewhere would otherwise keep the control inert.
    if (actionButton_ != Qt::NoButton && (event->buttons() & actionButton_) == 0) {
        actionButton_ = Qt::NoButton;
    }
    if (actionButton_ != Qt::NoButton || !MovesTheControl(event)) {
        event->accept();
        return;
    }
    actionButton_ = event->button();
    actionOpen_ = true;
    QMouseEvent lone = LoneButton(event, event->button());
    Slider::mousePressEvent(&lone);
    event->setAccepted(lone.isAccepted());
}

template <typename Slider> void MovingControl<Slider>::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != actionButton_ || actionButton_ == Qt::NoButton) {
        event->accept();
        return;
    }
    actionButton_ = Qt::NoButton;
    QMouseEvent lone = LoneButton(event, Qt::NoButton);
    Slider::mouseReleaseEvent(&lone);
    event->accept();
    EndAction();
}

template <typename Slider> void MovingControl<Slider>::wheelEvent(QWheelEvent* event) {
    Slider::wheelEvent(event);
    if (!this->isSliderDown()) {
        EndAction();
    }
}

template <typename Slider> void MovingControl<Slider>::EndAction() {
    if (actionOpen_) {
        actionOpen_ = false;
        Notify(SCROLL_END_ACTION);
    }
}

template class MovingControl<QSlider>;
template class MovingControl<QScrollBar>;

TrackBarWidget::TrackBarWidget(int32_t id, QWidget* parent)
    : MovingControl<QSlider>(Qt::Horizontal, parent), id_(id) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractSlider::actionTriggered, this, &TrackBarWidget::OnAction);
    connect(this, &QAbstractSlider::sliderReleased, this,
            [this] { Notify(SCROLL_THUMB_RELEASED); });
}

void TrackBarWidget::SetBound(ScrollAttribute attribute, int32_t value) {
    const int bound = std::max(0, value); // a negative bound counts as 0
    if (attribute == SCROLL_MINIMUM) {
        setMinimum(bound);
    } else if (attribute == SCROLL_MAXIMUM) {
        setMaximum(bound);
    }
    setPageStep(std::max(1, (maximum() - minimum()) / 5));
}

void TrackBarWidget::OnAction(int action) {
    // Qt has already moved the slider position (the value follows after this signal), so a
    // position read in the hook is the new one, as the hook expects of a track bar.
    const int32_t code = RequestCodeOf(action);
    if (code >= 0) {
        actionOpen_ = true;
        Notify(code);
    }
}

void TrackBarWidget::Notify(int32_t requestCode) {
    CallScrollHook(this, requestCode);
    QueueControlEvent(id_, 0);
}

void TrackBarWidget::keyPressEvent(QKeyEvent* event) {
    // Up and Page Up move the thumb to the left like Left does: the keys step towards the
    // start of the bar whatever its orientation.
    SliderAction action = SliderNoAction;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        action = SliderSingleStepSub;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        action = SliderSingleStepAdd;
        break;
    case Qt::Key_PageUp:
        action = SliderPageStepSub;
        break;
    case Qt::Key_PageDown:
        action = SliderPageStepAdd;
        break;
    case Qt::Key_Home:
        action = SliderToMinimum;
        break;
    case Qt::Key_End:
        action = SliderToMaximum;
        break;
    default:
        QSlider::keyPressEvent(event);
        return;
    }
    triggerAction(action);
    event->accept();
}

void TrackBarWidget::keyReleaseEvent(QKeyEvent* event) {
    QSlider::keyReleaseEvent(event);
    if (!event->isAutoRepeat() && !isSliderDown()) {
        EndAction();
    }
}

ScrollBarWidget::ScrollBarWidget(int32_t id, QWidget* parent, int32_t minimum, int32_t maximum,
                                 int32_t page)
    : MovingControl<QScrollBar>(Qt::Horizontal, parent), id_(id), minimum_(minimum),
      highestBound_(static_cast<int64_t>(maximum) - 1), page_(page) {
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QAbstractSlider::actionTriggered, this, &ScrollBarWidget::OnAction);
    connect(this, &QAbstractSlider::sliderReleased, this,
            [this] { Notify(SCROLL_THUMB_RELEASED); });
    ApplyRange();
}

void ScrollBarWidget::SetAttribute(ScrollAttribute attribute, int32_t value) {
    if (attribute == SCROLL_MINIMUM) {
        minimum_ = value;
    } else if (attribute == SCROLL_MAXIMUM) {
        highestBound_ = static_cast<int64_t>(value) - 1;
    } else if (attribute == SCROLL_PAGE) {
        page_ = value;
    } else {
        return;
    }
    ApplyRange();
}

void ScrollBarWidget::ApplyRange() {
    // The page never exceeds the range, and the thumb's last position leaves one page visible.
    const int64_t span = std::max<int64_t>(0, highestBound_ - minimum_ + 1);
    const int64_t page = std::clamp<int64_t>(page_, 0, span);
    const int64_t highestPosition =
        std::max(minimum_, page == 0 ? highestBound_ : highestBound_ - page + 1);
    setRange(ToInt(minimum_), ToInt(highestPosition));
    setPageStep(ToInt(page));
}

void ScrollBarWidget::OnAction(int action) {
    const int32_t code = RequestCodeOf(action);
    if (code < 0) {
        return;
    }
    // Qt has computed where the bar goes but not moved it yet: value() is still the old position,
    // which is what the hook must see. The move is then made from the position the hook left.
    const int dragTarget = sliderPosition();
    actionOpen_ = true;
    if (CallScrollHook(this, code) != HOOK_CONTINUE) {
        setSliderPosition(value());
        return;
    }
    const int64_t current = value();
    int64_t next = current;
    switch (code) {
    case SCROLL_STEP_LEFT:
        next = current - singleStep();
        break;
    case SCROLL_STEP_RIGHT:
        next = current + singleStep();
        break;
    case SCROLL_PAGE_LEFT:
        next = current - pageStep();
        break;
    case SCROLL_PAGE_RIGHT:
        next = current + pageStep();
        break;
    case SCROLL_THUMB_DRAGGED:
        next = dragTarget;
        break;
    default:
        break; // to the start or end: the position stays
    }
    setSliderPosition(ToInt(std::clamp<int64_t>(next, minimum(), maximum())));
    QueueControlEvent(id_, 0);
}

void ScrollBarWidget::Notify(int32_t requestCode) {
    if (CallScrollHook(this, requestCode) == HOOK_CONTINUE) {
        QueueControlEvent(id_, 0);
    }
}
