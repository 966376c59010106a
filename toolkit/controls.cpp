// Controls of the toolkit layer: the registry of controls by id, and their creation.
#include "toolkit/cp1252_p.h"
#include "toolkit/edit_field_p.h"
#include "toolkit/internal_p.h"
#include "toolkit/moving_controls_p.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <map>

namespace {

// Notification codes carried as the subtype of control events.
constexpr int32_t SUBTYPE_TEXT_CHANGED = 0x300;
constexpr int32_t SUBTYPE_CLICKED = 0;
constexpr int32_t SUBTYPE_SELECTION_CHANGED = 1;

// A closed combo box is as high as one row of text; the height it is given includes its list.
constexpr int COMBO_CLOSED_HEIGHT = 21;

struct ControlState {
    std::map<int32_t, ControlRecord> controls;
    // Where the controls made next go (BeginControls): the window's inner area.
    QPointer<QWidget> parent;
};

ControlState& Controls() {
    static ControlState state;
    return state;
}

NativeHandle Register(int32_t id, ControlKind kind, QWidget* widget, int32_t x, int32_t y,
                      int32_t width, int32_t height) {
    widget->setGeometry(x, y, std::max(0, width), std::max(0, height));
    widget->show();
    Controls().controls[id] = ControlRecord{kind, widget};
    return reinterpret_cast<NativeHandle>(widget);
}

bool CanCreate(int32_t id) {
    return Controls().parent != nullptr && FindControl(id) == nullptr;
}

} // namespace

QString Caption(QString text) {
    return text.replace("&", "&&");
}

std::string CaptionText(QString caption) {
    return TextFromWidget(caption.replace("&&", "&"));
}

QString ToTextAreaText(QString shown) {
    shown.replace("\r\n", "\n").replace('\r', '\n');
    return shown;
}

const ControlRecord* FindControl(int32_t id) {
    const auto found = Controls().controls.find(id);
    if (found == Controls().controls.end() || found->second.widget == nullptr) {
        return nullptr;
    }
    return &found->second;
}

QWidget* ControlWidget(int32_t id) {
    const ControlRecord* record = FindControl(id);
    return record != nullptr ? record->widget.data() : nullptr;
}

int32_t ControlIdOf(const QObject* widget) {
    for (const auto& [id, record] : Controls().controls) {
        if (record.widget == widget) {
            return id;
        }
    }
    return -1;
}

NativeHandle BeginControls(NativeHandle window) {
    ControlState& state = Controls();
    // The handle is only compared with the windows' own, never followed.
    const int32_t number = window != 0 ? WindowNumberOf(reinterpret_cast<QObject*>(window)) : -1;
    state.parent = number >= 0 ? InnerArea(number) : nullptr;
    return state.parent != nullptr ? window : 0;
}

void ForgetControls() {
    Controls() = ControlState{};
}

NativeHandle CreateLabel(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                         const std::string& caption) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* label = new QLabel(TextToWidget(caption), Controls().parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return Register(id, ControlKind::Label, label, x, y, width, height);
}

NativeHandle CreateEditField(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                             const std::string& text) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* edit = new EditFieldWidget(TextToWidget(text), Controls().parent);
    QObject::connect(edit, &QLineEdit::textEdited,
                     [id] { QueueControlEvent(id, SUBTYPE_TEXT_CHANGED); });
    return Register(id, ControlKind::EditField, edit, x, y, width, height);
}

NativeHandle CreateTextArea(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                            const std::string& text, uint32_t extraStyle) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* area = new QPlainTextEdit(Controls().parent);
    area->setReadOnly((extraStyle & TEXT_READ_ONLY) != 0);
    if (area->isReadOnly()) {
        area->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        // By role, not by a copied colour, so that the area follows a theme's palette change.
        area->setBackgroundRole(QPalette::Window);
        area->viewport()->setBackgroundRole(QPalette::Window);
    }
    area->setFocusPolicy(Qt::StrongFocus);
    area->setTabChangesFocus(true);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QTextOption option = area->document()->defaultTextOption();
    // With both alignment bits set, right alignment wins.
    if ((extraStyle & TEXT_ALIGN_RIGHT) != 0) {
        option.setAlignment(Qt::AlignRight);
    } else if ((extraStyle & TEXT_ALIGN_CENTER) != 0) {
        option.setAlignment(Qt::AlignHCenter);
    }
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    area->document()->setDefaultTextOption(option);
    area->setPlainText(ToTextAreaText(TextToWidget(text)));
    return Register(id, ControlKind::TextArea, area, x, y, width, height);
}

NativeHandle CreateButton(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                          const std::string& caption) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* button = new QPushButton(Caption(TextToWidget(caption)), Controls().parent);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(button, &QPushButton::clicked,
                     [id] { QueueControlEvent(id, SUBTYPE_CLICKED); });
    return Register(id, ControlKind::Button, button, x, y, width, height);
}

NativeHandle CreateCheckBox(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                            const std::string& caption) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* box = new QCheckBox(Caption(TextToWidget(caption)), Controls().parent);
    box->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(box, &QCheckBox::clicked, [id] { QueueControlEvent(id, SUBTYPE_CLICKED); });
    return Register(id, ControlKind::CheckBox, box, x, y, width, height);
}

NativeHandle CreateFrame(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                         const std::string& caption) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* frame = new QGroupBox(Caption(TextToWidget(caption)), Controls().parent);
    frame->setFocusPolicy(Qt::NoFocus);
    const NativeHandle handle = Register(id, ControlKind::Frame, frame, x, y, width, height);
    // The controls inside a frame are its siblings; keep the frame beneath them so that it never
    // takes their clicks, whichever was made first.
    frame->lower();
    return handle;
}

NativeHandle CreateComboBox(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* combo = new QComboBox(Controls().parent);
    combo->setEditable(false);
    combo->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(combo, &QComboBox::activated,
                     [id] { QueueControlEvent(id, SUBTYPE_SELECTION_CHANGED); });
    const int rowHeight = std::max(1, combo->fontMetrics().height() + 2);
    combo->setMaxVisibleItems(std::max(1, (height - COMBO_CLOSED_HEIGHT) / rowHeight));
    return Register(id, ControlKind::ComboBox, combo, x, y, width,
                    std::min(height, COMBO_CLOSED_HEIGHT));
}

NativeHandle CreateTrackBar(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                            int32_t minimum, int32_t maximum, uint32_t style) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* bar = new TrackBarWidget(id, Controls().parent);
    bar->SetBound(SCROLL_MINIMUM, minimum);
    bar->SetBound(SCROLL_MAXIMUM, maximum);
    bar->setValue(0);
    if ((style & TRACKBAR_AUTO_TICKS) != 0) {
        bar->setTickPosition(QSlider::TicksBelow);
        bar->setTickInterval(1);
    }
    return Register(id, ControlKind::TrackBar, bar, x, y, width, height);
}

NativeHandle CreateScrollBar(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                             int32_t minimum, int32_t maximum, int32_t page) {
    if (!CanCreate(id)) {
        return 0;
    }
    auto* bar = new ScrollBarWidget(id, Controls().parent, minimum, maximum, page);
    return Register(id, ControlKind::ScrollBar, bar, x, y, width, height);
}

void AddComboItem(int32_t id, int32_t position, const std::string& text) {
    if (auto* combo = ControlAs<QComboBox>(id, ControlKind::ComboBox)) {
        const int index = position < 0 ? combo->count() : std::min(position, combo->count());
        combo->insertItem(index, TextToWidget(text));
        if (combo->count() == 1) {
            combo->setCurrentIndex(-1); // a new list starts with no selection
        }
    }
}

NativeHandle ControlHandle(int32_t id) {
    return reinterpret_cast<NativeHandle>(ControlWidget(id));
}

void SetControlName(int32_t id, const std::string& name) {
    if (QWidget* widget = ControlWidget(id)) {
        widget->setObjectName(QString::fromStdString(name));
    }
}
