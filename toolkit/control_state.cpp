// What the program reads and writes of existing controls: texts, states, ranges, sizes.
#include "toolkit/cp1252_p.h"
#include "toolkit/internal_p.h"
#include "toolkit/moving_controls_p.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>

namespace {

// What SetControlText does, given the text as the widget will hold it.
void ShowControlText(int32_t id, const QString& shown) {
    const ControlRecord* record = FindControl(id);
    if (record == nullptr) {
        return;
    }
    QWidget* widget = record->widget;
    switch (record->kind) {
    case ControlKind::EditField: {
        auto* edit = static_cast<QLineEdit*>(widget);
        edit->setText(shown);
        edit->setCursorPosition(0);
        // The write repaints the field; that repaint is what ends a handler's drain of events.
        QueueEvent(EVENT_REPAINT, AppWindowNumber(), 0, -1);
        break;
    }
    case ControlKind::TextArea:
        static_cast<QPlainTextEdit*>(widget)->setPlainText(ToTextAreaText(shown));
        break;
    case ControlKind::Label:
        static_cast<QLabel*>(widget)->setText(shown);
        break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
        static_cast<QAbstractButton*>(widget)->setText(Caption(shown));
        break;
    case ControlKind::Frame:
        static_cast<QGroupBox*>(widget)->setTitle(Caption(shown));
        break;
    case ControlKind::ComboBox: {
        auto* combo = static_cast<QComboBox*>(widget);
        if (shown.isEmpty()) {
            combo->setCurrentIndex(-1);
            break;
        }
        const int index = combo->findText(shown, Qt::MatchFixedString);
        if (index >= 0) {
            combo->setCurrentIndex(index);
        }
        break;
    }
    case ControlKind::TrackBar:
    case ControlKind::ScrollBar:
        break;
    }
}

} // namespace

void SetControlText(int32_t id, const std::string& text) {
    ShowControlText(id, TextToWidget(text));
}

void SetControlTextWithPath(int32_t id, const std::string& text, const std::string& path) {
    ShowControlText(id, TextToWidget(text) + QFile::decodeName(QByteArray::fromStdString(path)));
}

std::string GetControlText(int32_t id) {
    const ControlRecord* record = FindControl(id);
    if (record == nullptr) {
        return {};
    }
    QWidget* widget = record->widget;
    switch (record->kind) {
    case ControlKind::EditField:
        return TextFromWidget(static_cast<QLineEdit*>(widget)->text());
    case ControlKind::TextArea:
        return TextFromWidget(
            static_cast<QPlainTextEdit*>(widget)->toPlainText().replace("\n", "\r\n"));
    case ControlKind::Label:
        return TextFromWidget(static_cast<QLabel*>(widget)->text());
    case ControlKind::Button:
    case ControlKind::CheckBox:
        return CaptionText(static_cast<QAbstractButton*>(widget)->text());
    case ControlKind::Frame:
        return CaptionText(static_cast<QGroupBox*>(widget)->title());
    case ControlKind::ComboBox: {
        const auto* combo = static_cast<QComboBox*>(widget);
        return combo->currentIndex() < 0 ? std::string() : TextFromWidget(combo->currentText());
    }
    case ControlKind::TrackBar:
    case ControlKind::ScrollBar:
        break;
    }
    return {};
}

void SetControlState(int32_t id, int32_t state) {
    const ControlRecord* record = FindControl(id);
    if (record == nullptr) {
        return;
    }
    switch (record->kind) {
    case ControlKind::CheckBox:
        static_cast<QCheckBox*>(record->widget.data())->setChecked(state != 0);
        break;
    case ControlKind::TrackBar:
    case ControlKind::ScrollBar:
        static_cast<QAbstractSlider*>(record->widget.data())->setValue(state);
        break;
    case ControlKind::ComboBox:
        static_cast<QComboBox*>(record->widget.data())->setCurrentIndex(state);
        break;
    default:
        break;
    }
}

int32_t GetControlState(int32_t id) {
    const ControlRecord* record = FindControl(id);
    if (record == nullptr) {
        return 0;
    }
    switch (record->kind) {
    case ControlKind::CheckBox:
        return static_cast<QCheckBox*>(record->widget.data())->isChecked() ? 1 : 0;
    case ControlKind::TrackBar:
        // Already moved when the hook asks, also in the middle of a Qt slider action.
        return static_cast<QAbstractSlider*>(record->widget.data())->sliderPosition();
    case ControlKind::ScrollBar:
        // Not yet moved when the hook asks: the value lags the slider position until the move.
        return static_cast<QAbstractSlider*>(record->widget.data())->value();
    case ControlKind::ComboBox:
        return static_cast<QComboBox*>(record->widget.data())->currentIndex();
    default:
        return 0;
    }
}

void SetControlDisabled(int32_t id, int32_t flag) {
    if (QWidget* widget = ControlWidget(id)) {
        widget->setEnabled(flag == 0);
    }
}

void SetScrollAttribute(int32_t id, ScrollAttribute attribute, int32_t value) {
    if (auto* bar = ControlAs<ScrollBarWidget>(id, ControlKind::ScrollBar)) {
        bar->SetAttribute(attribute, value);
    } else if (auto* track = ControlAs<TrackBarWidget>(id, ControlKind::TrackBar)) {
        track->SetBound(attribute, value);
    }
}

void ResizeControl(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
    QWidget* widget = ControlWidget(id);
    if (widget == nullptr) {
        return;
    }
    const QRect current = widget->geometry();
    widget->setGeometry(x != KEEP ? x : current.x(), y != KEEP ? y : current.y(),
                        width != KEEP ? std::max(0, width) : current.width(),
                        height != KEEP ? std::max(0, height) : current.height());
}
