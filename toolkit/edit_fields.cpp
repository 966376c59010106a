// What edit fields do beyond holding text: characters laid out in fixed cells, and Enter as a
// click on a button.
#include "toolkit/edit_field_p.h"
#include "toolkit/internal_p.h"

#include <QFontMetricsF>
#include <QPushButton>

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
