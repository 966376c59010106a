// The rows of the value panel that an "Update" button writes back: the field that shows the
// value, the button that stores it, how many bytes it covers at the pointer and how its text is
// read. Filling the panel, the write-back handler and the dispatch of the buttons all go by this
// one table.
#pragma once

#include "core/byte_view.h"
#include "program/controls.h"

#include <cstdint>
#include <string>

enum class ValueParser { Number32, Number64 };

struct ValueRow {
    int32_t field;
    int32_t button;
    int32_t width;      // bytes stored from the pointer on, least significant first
    const char* prefix; // put before the field's text when it is read back
    ValueParser parser;
    std::string PanelTexts::*shown; // what the field shows of the bytes at the pointer
};

// In the order the panel is filled.
inline constexpr ValueRow VALUE_ROWS[] = {
    {Control::DecField, Control::UpdateByteButton, 1, "", ValueParser::Number32,
     &PanelTexts::decimal},
    // The user types the binary digits alone; the prefix makes the parser read them as such.
    {Control::BitsField, Control::UpdateBitsButton, 1, "%", ValueParser::Number32,
     &PanelTexts::bits},
    {Control::Int16Field, Control::UpdateInt16Button, 2, "", ValueParser::Number32,
     &PanelTexts::int16},
    {Control::Int32Field, Control::UpdateInt32Button, 4, "", ValueParser::Number32,
     &PanelTexts::int32},
    {Control::Int64Field, Control::UpdateInt64Button, 8, "", ValueParser::Number64,
     &PanelTexts::int64},
};

// The row whose button has this control id, or nullptr.
[[nodiscard]] inline const ValueRow* ValueRowOfButton(int32_t button) {
    for (const ValueRow& row : VALUE_ROWS) {
        if (row.button == button) {
            return &row;
        }
    }
    return nullptr;
}
