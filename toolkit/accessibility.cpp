// What screen readers say for the controls. A caption shows once for a row of fields and a
// button's caption ("Update") repeats down a column, so each control is given a name of its own,
// and each caption label is tied to its field so that a reader can tell what labels what.
#include "toolkit/cp1252_p.h"
#include "toolkit/internal_p.h"

#include <QLabel>

namespace {

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
    if (label != nullptr && label->kind == ControlKind::Label && control != nullptr) {
        static_cast<QLabel*>(label->widget.data())->setBuddy(control);
    }
}
