// The widget behind every edit field of the layer.
#pragma once

#include <QLineEdit>

// An edit field that can say where its caret stands, to line its characters up with cells.
class EditFieldWidget : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;
    // cursorRect() is centred on the caret with five pixels to its left.
    [[nodiscard]] int CaretX() const { return cursorRect().x() + 5; }
};
