// The two operations that bring the window in line with the pointer and the memory copy.
#pragma once

#include <cstdint>

// Clamps FilePointer into the file, then writes the caption, the slider, the strip, the value
// panel and the preview. Reads at most 64 + 8 + 512 bytes of the file, whatever its size.
void RefreshView();

// Fills the seven fields of the value panel from the bytes at 0-based `offset` of the file
// buffer; a value that would need bytes outside the file shows the empty text.
void ShowValues(int64_t offset);
