// The Update buttons: each parses its row's field and stores the value at the pointer.
#pragma once

void UpdateBitsHandler();
void UpdateByteHandler();
void UpdateInt16Handler();
void UpdateInt32Handler();
void UpdateInt64Handler();
