// What screen readers say for the controls. A caption shows once for a row of fields and a
// button's caption ("Update") repeats down a column, so each control is given a name of its own,
// and each caption label is tied to its field so that a reader can tell what labels what.
//
// What the user's actions did reaches a reader in three ways, because Qt 6.4's bridge to AT-SPI
// sends value, name and description changes without the new text and has no announcements. A
// track bar can carry a value of the program's own (the nudge bar springs back to its rest
// position, so its own value tells nothing), which Orca reads when the value-change event comes.
// An outcome becomes the description of the focused control, which a reader's "where am I" tells,
// and of a notification object that is shown anew each time, which Orca speaks at once.
#include "toolkit/cp1252_p.h"
#include "toolkit/edit_field_p.h"
#include "toolkit/internal_p.h"
#include "toolkit/moving_controls_p.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QApplication>
#include <QLabel>

namespace {

// Dynamic properties of a track bar with a value of the program's own.
constexpr char VALUE_PROPERTY[] = "tessaryAccessibleValue";
constexpr char MINIMUM_PROPERTY[] = "tessaryAccessibleMinimum";
constexpr char MAXIMUM_PROPERTY[] = "tessaryAccessibleMaximum";
// The description a control has while no outcome stands in for it.
constexpr char PLACE_PROPERTY[] = "tessaryPlaceDescription";

// A track bar as a reader sees it: a slider whose value is the one the program gave it, or its
// position until it gave one.
class TrackBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit TrackBarAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    [[nodiscard]] QVariant currentValue() const override {
        return Property(VALUE_PROPERTY, Slider()->value());
    }
    // The value follows the program's state alone: a reader cannot set it.
    void setCurrentValue(const QVariant&) override {}
    [[nodiscard]] QVariant maximumValue() const override {
        return Property(MAXIMUM_PROPERTY, Slider()->maximum());
    }
    [[nodiscard]] QVariant minimumValue() const override {
        return Property(MINIMUM_PROPERTY, Slider()->minimum());
    }
    [[nodiscard]] QVariant minimumStepSize() const override { return 1; }

  private:
    [[nodiscard]] const QSlider* Slider() const { return static_cast<const QSlider*>(object()); }
    [[nodiscard]] QVariant Property(const char* name, int fallback) const {
        const QVariant value = object()->property(name);
        return value.isValid() ? value : QVariant(fallback);
    }
};

// The object that outcomes are announced from: no size, no focus, nothing drawn.
class OutcomeNotice : public QWidget {
  public:
    using QWidget::QWidget;
};

QAccessibleInterface* MakeAccessible(const QString&, QObject* object) {
    if (dynamic_cast<TrackBarWidget*>(object) != nullptr) {
        return new TrackBarAccessible(static_cast<QWidget*>(object));
    }
    if (dynamic_cast<OutcomeNotice*>(object) != nullptr) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Notification);
    }
    return nullptr;
}

// The control that shows an outcome as its description until the focus leaves it.
QPointer<QWidget>& OutcomeHolder() {
    static QPointer<QWidget> holder;
    return holder;
}

void RestorePlaceDescription() {
    QWidget* holder = OutcomeHolder();
    OutcomeHolder() = nullptr;
    if (holder != nullptr) {
        holder->setAccessibleDescription(holder->property(PLACE_PROPERTY).toString());
    }
}

// Shows `text` on the notice, made the first time; being shown is what Orca speaks it for.
void ShowOnNotice(const QString& text) {
    static QPointer<OutcomeNotice> kept;
    QWidget* area = InnerArea(AppWindowNumber());
    if (area == nullptr) {
        return;
    }
    if (kept != nullptr && kept->parentWidget() == area) {
        kept->setAccessibleDescription(text);
        QAccessibleEvent shown(kept.data(), QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
        return;
    }
    auto* notice = new OutcomeNotice(area);
    kept = notice;
    notice->setObjectName("OutcomeNotice");
    notice->setFocusPolicy(Qt::NoFocus);
    notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    notice->setGeometry(0, 0, 0, 0);
    notice->setAccessibleDescription(text);
    QObject::connect(qApp, &QApplication::focusChanged, notice, [](QWidget* old, QWidget*) {
        if (old != nullptr && old == OutcomeHolder()) {
            RestorePlaceDescription();
        }
    });
    notice->show();
}

// On Linux, Qt names a combo box by its chosen item, as desktop screen readers expect, and what
// it is for comes from a label linked to it. Where the layout has no such label, one that is
// never shown carries the name.
void SetHiddenCaption(QWidget* control, const QString& name) {
    QWidget* parent = control->parentWidget();
    if (parent == nullptr) {
        return;
    }
    for (QLabel* label : parent->findChildren<QLabel*>("HiddenCaption")) {
        if (label->buddy() == control) {
            label->setText(name);
            return;
        }
    }
    auto* caption = new QLabel(parent);
    caption->setObjectName("HiddenCaption");
    caption->setTextFormat(Qt::PlainText);
    caption->setText(name);
    caption->hide();
    caption->setBuddy(control);
}

} // namespace

void SetAccessibleName(int32_t id, const std::string& name) {
    const ControlRecord* record = FindControl(id);
    if (record == nullptr) {
        return;
    }
    record->widget->setAccessibleName(TextToWidget(name));
    if (record->kind == ControlKind::ComboBox) {
        SetHiddenCaption(record->widget, TextToWidget(name));
    }
}

void SetLabelFor(int32_t labelId, int32_t controlId) {
    const ControlRecord* label = FindControl(labelId);
    QWidget* control = ControlWidget(controlId);
    if (label == nullptr || label->kind != ControlKind::Label || control == nullptr) {
        return;
    }
    auto* caption = static_cast<QLabel*>(label->widget.data());
    // A label names one control; a caption over several gets a copy, never shown, for each more.
    if (caption->buddy() == nullptr || caption->buddy() == control) {
        caption->setBuddy(control);
    } else {
        SetHiddenCaption(control, caption->text());
    }
}

void InstallAccessibleInterfaces() {
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(MakeAccessible);
        installed = true;
    }
}

void SetAccessibleValue(int32_t id, int32_t value, int32_t minimum, int32_t maximum) {
    auto* bar = ControlAs<TrackBarWidget>(id, ControlKind::TrackBar);
    if (bar == nullptr) {
        return;
    }
    const QVariant previous = bar->property(VALUE_PROPERTY);
    bar->setProperty(MINIMUM_PROPERTY, minimum);
    bar->setProperty(MAXIMUM_PROPERTY, maximum);
    bar->setProperty(VALUE_PROPERTY, value);
    if (!previous.isValid() || previous.toInt() != value) {
        QAccessibleValueChangeEvent event(bar, value);
        QAccessible::updateAccessibility(&event);
    }
}

void SetAccessibleDescription(int32_t id, const std::string& description) {
    QWidget* control = ControlWidget(id);
    if (control == nullptr) {
        return;
    }
    const QString text = TextToWidget(description);
    control->setProperty(PLACE_PROPERTY, text);
    if (control != OutcomeHolder()) {
        control->setAccessibleDescription(text);
    }
}

void AnnounceOutcome(const std::string& outcome) {
    const QString text = TextToWidget(outcome);
    QWidget* focused = QApplication::focusWidget();
    if (focused != nullptr && ControlIdOf(focused) >= 0) {
        if (focused != OutcomeHolder()) {
            RestorePlaceDescription();
            OutcomeHolder() = focused;
        }
        focused->setAccessibleDescription(text);
    }
    ShowOnNotice(text);
}

void SetCaretOffset(int32_t id, int32_t offset) {
    if (auto* edit = ControlAs<EditFieldWidget>(id, ControlKind::EditField)) {
        edit->KeepCaretOnFocus();
        edit->deselect();
        edit->setCursorPosition(offset);
    }
}
