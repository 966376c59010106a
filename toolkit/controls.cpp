// Controls of the toolkit layer: creation by id and the operations on existing controls.
#include "toolkit/cp1252.h"
#include "toolkit/internal.h"
#include "toolkit/moving_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

// Notification codes carried as the subtype of control events.
constexpr int32_t SUBTYPE_TEXT_CHANGED = 0x300;
constexpr int32_t SUBTYPE_CLICKED = 0;
constexpr int32_t SUBTYPE_SELECTION_CHANGED = 1;

// A closed combo box is as high as one row of text; the height it is given includes its list.
constexpr int COMBO_CLOSED_HEIGHT = 21;

struct ControlState {
    std::map<int32_t, ControlRecord> controls;
    // Where the controls made next go (BeginControls): a window's inner area and its number.
    QPointer<QWidget> parent;
    int32_t window = -1;
    // The loaded fonts; a font handle is an index into this, counted from 1.
    std::vector<QFont> fonts;
};

ControlState& Controls() {
    static ControlState state;
    return state;
}

// An edit field that can say where its caret stands, to line its characters up with cells.
class EditFieldWidget : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;
    // cursorRect() is centred on the caret with five pixels to its left.
    [[nodiscard]] int CaretX() const { return cursorRect().x() + 5; }
};

template <typename Widget> Widget* ControlAs(int32_t id, ControlKind kind) {
    const ControlRecord* record = FindControl(id);
    return record != nullptr && record->kind == kind ? static_cast<Widget*>(record->widget.data())
                                                     : nullptr;
}

// Captions are shown as they are: "&" is not an access-key mark here.
QString Caption(QString text) {
    return text.replace("&", "&&");
}
std::string CaptionText(QString caption) {
    return TextFromWidget(caption.replace("&&", "&"));
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

// The text area breaks lines at CR LF, and at a lone LF or CR as Linux text does.
QString ToTextAreaText(QString shown) {
    shown.replace("\r\n", "\n").replace('\r', '\n');
    return shown;
}

} // namespace

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
    state.window = state.parent != nullptr ? number : -1;
    return state.parent != nullptr ? window : 0;
}

int32_t ControlWindow() {
    return Controls().window;
}

void ForgetControlsAndFonts() {
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
        QueueEvent(EVENT_REPAINT, Controls().window, 0, -1);
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

FontHandle LoadFontFace(int32_t, const std::string& face, int32_t points, uint32_t flags) {
    if (QGuiApplication::instance() == nullptr || points <= 0) {
        return 0;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dotsPerInch = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    QFont font(TextToWidget(face));
    font.setStyleHint(QFont::TypeWriter); // a fixed-pitch face if the named one is missing
    font.setPixelSize(static_cast<int>(std::lround(points * dotsPerInch / 72.0)));
    font.setWeight((flags & FONT_BOLD) != 0 ? QFont::Bold : QFont::Normal);
    Controls().fonts.push_back(font);
    return Controls().fonts.size();
}

void SetControlFont(int32_t id, FontHandle font) {
    QWidget* widget = ControlWidget(id);
    if (widget == nullptr) {
        return;
    }
    const std::vector<QFont>& fonts = Controls().fonts;
    widget->setFont(font >= 1 && font <= fonts.size() ? fonts[font - 1] : QFont());
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

void FitCharacterCells(int32_t id, int32_t firstCellOffset, int32_t cellWidth) {
    auto* edit = ControlAs<EditFieldWidget>(id, ControlKind::EditField);
    if (edit == nullptr || cellWidth <= 0) {
        return;
    }
    QFont font = edit->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('M'));
    font.setLetterSpacing(QFont::AbsoluteSpacing, cellWidth - advance);
    font.setKerning(false);
    edit->setFont(font);
    const QString text = edit->text();
    edit->setTextMargins(0, 0, 0, 0);
    edit->setText(QString());
    const int firstCellNow = edit->CaretX();
    edit->setTextMargins(firstCellOffset - firstCellNow, 0, 0, 0);
    edit->setText(text);
    edit->setCursorPosition(0);
}

void SetEnterClicksButton(int32_t fieldId, int32_t buttonId) {
    auto* edit = ControlAs<QLineEdit>(fieldId, ControlKind::EditField);
    if (edit == nullptr || ControlAs<QPushButton>(buttonId, ControlKind::Button) == nullptr) {
        return;
    }
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [buttonId] {
        // click() does nothing on a disabled button, just as the mouse would.
        if (auto* button = ControlAs<QPushButton>(buttonId, ControlKind::Button)) {
            button->click();
        }
    });
}
