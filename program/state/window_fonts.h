// The fonts the window's controls are given; loaded before the window is built.
#pragma once

#include "toolkit/toolkit.h"

struct WindowFonts {
    FontHandle StripFont = 0;
    FontHandle FieldFont = 0;
    FontHandle PreviewFont = 0;
};
extern WindowFonts Fonts;
