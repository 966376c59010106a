#include "program/pointer_view.h"

#include "core/byte_view.h"
#include "core/number_text.h"
#include "program/file_buffer.h"
#include "program/main_window.h"
#include "program/value_panel.h"

PointerState Pointer;

int32_t Low32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

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
}

namespace {

void NudgeBarMoved(int32_t requestCode) {
    const int32_t position = GetControlState(Control::NudgeBar);
    if (position == NUDGE_REST_POSITION) {
        // Stepping onto the rest position is never applied, so a drag that comes back to it
        // keeps the move made before.
        Pointer.NudgeLast = NUDGE_REST_POSITION;
        return;
    }
    const int32_t difference = position - Pointer.NudgeLast;
    switch (requestCode) {
    case SCROLL_STEP_LEFT:
    case SCROLL_STEP_RIGHT:
    case SCROLL_PAGE_LEFT:
    case SCROLL_PAGE_RIGHT:
    case SCROLL_THUMB_DRAGGED:
        Pointer.NudgeLast = position;
        Pointer.FilePointer -= difference;
        RefreshView();
        break;
    case SCROLL_THUMB_RELEASED:
    case SCROLL_END_ACTION:
        Pointer.FilePointer -= difference;
        RefreshView();
        SetControlState(Control::NudgeBar, NUDGE_REST_POSITION);
        Pointer.NudgeLast = NUDGE_REST_POSITION;
        break;
    default:
        break; // to the start or end: the release that follows applies the whole difference
    }
}

} // namespace

std::intptr_t ScrollCallback(NativeHandle, uint32_t message, std::uintptr_t firstParameter,
                             NativeHandle secondParameter) {
    if (message != WM_HSCROLL || secondParameter == 0) {
        return HOOK_CONTINUE;
    }
    const auto requestCode = static_cast<int32_t>(firstParameter & 0xFFFFu);
    if (secondParameter == ControlHandle(Control::PointerSlider)) {
        // The bar has not moved yet: the pointer follows one step behind while the user drags,
        // and the end-of-action request that follows every action brings it to the final place.
        Pointer.FilePointer = GetControlState(Control::PointerSlider);
        RefreshView();
    } else if (secondParameter == ControlHandle(Control::NudgeBar)) {
        NudgeBarMoved(requestCode);
    }
    return HOOK_CONTINUE;
}
