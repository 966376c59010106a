// The value panel: the seven fields that decode the bytes at the pointer, and the converter
// between the three fields of the byte row.
#pragma once

#include <cstdint>

struct ValuePanelState {
    // 1 while a conversion handler runs, so that the events its own writes cause start no other.
    int32_t BusyFlag = 0;
};
extern ValuePanelState ValuePanel;

// Fills the seven fields from the bytes at 0-based `offset` of the file buffer.
void ShowValues(int64_t offset);

// The conversion handlers: each rewrites the other two fields of the byte row from its own text.
void ConvertFromDecField();
void ConvertFromCharField();
void ConvertFromHexField();

// Takes and drops control events until another kind of event comes (also dropped).
void DrainControlEvents();
