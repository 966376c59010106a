// The three fields of the byte row convert into each other as the user types. A handler's own
// two writes must not start the handlers of the fields it writes, and events the user causes
// while it runs are dropped too: the drain at the end of each handler takes control events until
// an event of another kind (the repaint that the writes cause) says that the writes are through.
#include "program/converter.h"

#include "core/number_text.h"
#include "program/controls.h"
#include "program/state/panel_state.h"
#include "toolkit/toolkit.h"

#include <functional>
#include <string>

namespace {

// Takes and drops control events until another kind of event comes (also dropped).
void DrainControlEvents() {
    while (WaitEvent() == EVENT_CONTROL) {
        SleepMilliseconds(1);
    }
}

using FieldValue = std::function<int32_t()>;

// The frame every handler shares: the field's text is read and converted again for each write.
void RunConversion(int32_t firstField, const std::function<std::string(int32_t)>& firstText,
                   int32_t secondField, const std::function<std::string(int32_t)>& secondText,
                   const FieldValue& value) {
    if (ValuePanel.BusyFlag != 0) {
        return;
    }
    ValuePanel.BusyFlag = 1;
    SetControlText(firstField, firstText(value()));
    SetControlText(secondField, secondText(value()));
    DrainControlEvents();
    ValuePanel.BusyFlag = 0;
}

std::string CharacterOf(int32_t value) {
    return CharText(value);
}
std::string HexadecimalOf(int32_t value) {
    return HexText32(static_cast<uint32_t>(value));
}
std::string DecimalOf(int32_t value) {
    return DecimalText32(value);
}

} // namespace

void ConvertFromDecField() {
    RunConversion(Control::CharField, CharacterOf, Control::HexField, HexadecimalOf,
                  [] { return ParseNumber32(GetControlText(Control::DecField)); });
}

void ConvertFromCharField() {
    RunConversion(Control::DecField, DecimalOf, Control::HexField, HexadecimalOf,
                  [] { return CharCode(GetControlText(Control::CharField)); });
}

void ConvertFromHexField() {
    // The user types the digits alone; the prefix makes the parser read them as hexadecimal.
    RunConversion(Control::CharField, CharacterOf, Control::DecField, DecimalOf,
                  [] { return ParseNumber32("$" + GetControlText(Control::HexField)); });
}
