// The hook runs before the toolkit moves the scroll bar, so the scroll bar's position read here
// is the one before the step being reported: while the user drags, the pointer follows one step
// behind, and the end-of-action request that follows every action brings it to the final place.
// The nudge bar has already moved when it reports.
#include "program/scroll_hook.h"

#include "program/controls.h"
#include "program/state/pointer_state.h"
#include "program/view.h"

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
        Pointer.FilePointer = GetControlState(Control::PointerSlider);
        RefreshView();
    } else if (secondParameter == ControlHandle(Control::NudgeBar)) {
        NudgeBarMoved(requestCode);
    }
    return HOOK_CONTINUE;
}
