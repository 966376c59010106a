// The file pointer, and what the window hook remembers of the nudge bar.
#pragma once

#include <cstdint>

struct PointerState {
    // 1-based position of the byte shown in the strip's 32nd cell; 0 until a file is loaded,
    // within 1..FileSize after every RefreshView.
    int64_t FilePointer = 0;
    // The NudgeBar position the window hook saw last.
    int32_t NudgeLast = 0;
};
extern PointerState Pointer;
