#include "program/view.h"

#include "core/byte_view.h"
#include "core/number_text.h"
#include "program/controls.h"
#include "program/state/file_state.h"
#include "program/state/pointer_state.h"
#include "program/value_rows.h"
#include "toolkit/toolkit.h"

namespace {

// What a screen reader reads of the view; the toolkit raises no control event for it. With no
// file there is no pointer, and the value is 0 in an empty range.
void DescribeView(int64_t pointer, int64_t size) {
    if (size > 0) {
        SetAccessibleValue(Control::NudgeBar, Low32(pointer), 1, Low32(size));
    } else {
        SetAccessibleValue(Control::NudgeBar, 0, 0, 0);
    }
    SetCaretOffset(Control::ByteStrip, STRIP_POINTER_CELL - 1);
}

} // namespace

void RefreshView() {
    int64_t& pointer = Pointer.FilePointer;
    const int64_t size = FileState.FileSize;
    const uint8_t* bytes = FileState.FileBuffer.data();
    if (pointer < 1) {
        pointer = 1;
    }
    if (pointer > size) {
        pointer = size;
    }
    SetControlText(Control::PointerLabel, "File Pointer (" + DecimalText32(Low32(pointer)) +
                                              " of " + DecimalText32(Low32(size)) + " Bytes)");
    SetControlState(Control::PointerSlider, Low32(pointer));
    SetControlText(Control::ByteStrip, BuildStripText(bytes, size, pointer));
    ShowValues(pointer - 1);
    SetControlText(Control::PreviewText, BuildPreviewText(bytes, size, pointer));
    DescribeView(pointer, size);
}

void ReportOutcome(bool found) {
    AnnounceOutcome(PointerOutcomeText(FileState.FileBuffer.data(), FileState.FileSize,
                                       Pointer.FilePointer, found));
}

void ShowValues(int64_t offset) {
    const PanelTexts texts =
        DecodePanelValues(FileState.FileBuffer.data(), FileState.FileSize, offset);
    for (const ValueRow& row : VALUE_ROWS) {
        SetControlText(row.field, texts.*row.shown);
        if (row.field == Control::DecField) {
            // The byte row's converter fields show the same byte as a character and in hex.
            SetControlText(Control::CharField, texts.character);
            SetControlText(Control::HexField, texts.hexadecimal);
        }
    }
}
