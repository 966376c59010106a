// The main window: its build from the layout table, the rules that keep its size in shape, and
// the marker over the byte strip.
#pragma once

void BuildMainWindow();
void ApplySizeRules();
// Draws the two red lines that frame the strip's cell of the byte at the pointer.
void PointerMarker();
