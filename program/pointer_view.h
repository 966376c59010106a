// The file pointer and the one operation that brings every view in line with it.
#pragma once

#include "toolkit/toolkit.h"

#include <cstdint>

constexpr int32_t NUDGE_REST_POSITION = 31;

struct PointerState {
    // 1-based position of the byte shown in the strip's 32nd cell; 0 until a file is loaded,
    // within 1..FileSize after every RefreshView.
    int64_t FilePointer = 0;
    // The NudgeBar position the scroll hook saw last.
    int32_t NudgeLast = 0;
};
extern PointerState Pointer;

// Clamps FilePointer into the file, then writes the caption, the slider, the strip, the value
// panel and the preview. Reads at most 64 + 8 + 512 bytes of the file, whatever its size.
void RefreshView();

// The window hook: turns PointerSlider and NudgeBar movements into pointer moves.
// It never consumes a message.
std::intptr_t ScrollCallback(NativeHandle window, uint32_t message, std::uintptr_t firstParameter,
                             NativeHandle secondParameter);

// The low 32 bits of a position or size, as the caption, slider and scan use them.
[[nodiscard]] int32_t Low32(int64_t value);
