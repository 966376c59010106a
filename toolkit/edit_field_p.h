// The widget behind every edit field of the layer.
#pragma once

#include <QLineEdit>

// An edit field that can say where its caret stands, to line its characters up with cells.
class EditFieldWidget : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;
    // cursorRect() is centred on the caret with five pixels to its left.
    [[nodiscard]] int CaretX() const { return cursorRect().x() + 5; }
    // From now on the caret stays where it stands when the field takes the focus, in place of
    // the whole text being selected.
    void KeepCaretOnFocus() { keepCaret_ = true; }

  protected:
    void focusInEvent(QFocusEvent* event) override {
        const int caret = cursorPosition();
        QLineEdit::focusInEvent(event);
        if (keepCaret_) {
            deselect();
            setCursorPosition(caret);
        }
    }

  private:
    bool keepCaret_ = false;
};
