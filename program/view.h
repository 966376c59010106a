// The operations that bring the window in line with the pointer and the memory copy, and tell a
// screen reader what an action did.
#pragma once

#include <cstdint>

// Clamps FilePointer into the file, then writes the caption, the slider, the strip, the value
// panel and the preview, and last what a screen reader reads of them: the pointer as the nudge
// bar's value, the strip's caret before the pointer's cell. Reads at most 64 + 8 + 512 bytes of
// the file, whatever its size.
void RefreshView();

// Tells a screen reader where the pointer is and which byte is there after an action; `found` is
// false for a search that found nothing. Call it after the action's RefreshView.
void ReportOutcome(bool found);

// Fills the seven fields of the value panel from the bytes at 0-based `offset` of the file
// buffer; a value that would need bytes outside the file shows the empty text.
void ShowValues(int64_t offset);
