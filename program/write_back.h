// The "Update" buttons: each parses its row's field and stores the value at the pointer.
#pragma once

#include "program/value_rows.h"

// No range check and no message: a value that does not fit is cut to its low bytes, and a value
// that would run past the end of the file keeps only the bytes that lie inside it. Refreshes the
// view, so the field then shows the value read back.
void UpdateValue(const ValueRow& row);
