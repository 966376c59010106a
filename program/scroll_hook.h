// The window hook: how the scroll bar and the nudge bar move the pointer.
#pragma once

#include "toolkit/toolkit.h"

#include <cstdint>

// Sees every horizontal-scroll message (WM_HSCROLL) of the window. The scroll bar sets the
// pointer to its position; the nudge bar moves it by the opposite of its own movement. It never
// consumes a message.
std::intptr_t ScrollCallback(NativeHandle window, uint32_t message, std::uintptr_t firstParameter,
                             NativeHandle secondParameter);
