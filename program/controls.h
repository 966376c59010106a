// The window's number and the ids of its controls and menu items; every part of the program
// addresses the window through these.
#pragma once

#include <cstdint>

constexpr int32_t MAIN_WINDOW = 0;

namespace Control {
constexpr int32_t PreviewText = 0;
constexpr int32_t ByteStrip = 1;
constexpr int32_t NudgeBar = 2;
constexpr int32_t BitsLabel = 3;
constexpr int32_t Int16Label = 4;
constexpr int32_t DecHexLabel = 5;
constexpr int32_t Int32Label = 6;
constexpr int32_t Int64Label = 7;
constexpr int32_t UpdateValuesFrame = 8;
constexpr int32_t BitsField = 9;
constexpr int32_t DecField = 10;
constexpr int32_t CharField = 11;
constexpr int32_t Int16Field = 12;
constexpr int32_t Int32Field = 13;
constexpr int32_t Int64Field = 14;
constexpr int32_t UpdateBitsButton = 15;
constexpr int32_t UpdateByteButton = 16;
constexpr int32_t UpdateInt16Button = 17;
constexpr int32_t UpdateInt32Button = 18;
constexpr int32_t UpdateInt64Button = 19;
constexpr int32_t PointerSlider = 20;
constexpr int32_t PointerLabel = 21;
constexpr int32_t HexField = 22;
constexpr int32_t FileSettingsFrame = 25;
constexpr int32_t FileNameLabel = 26;
constexpr int32_t SearchFrame = 29;
constexpr int32_t SearchTypeCombo = 30;
constexpr int32_t FindLabel = 31;
constexpr int32_t FromStartCheck = 32;
constexpr int32_t FindNextButton = 33;
constexpr int32_t SearchTextField = 34;
} // namespace Control

namespace MenuItem {
constexpr int32_t Load = 1;
constexpr int32_t Save = 2;
constexpr int32_t SaveAs = 3;
constexpr int32_t Quit = 4;
constexpr int32_t About = 5;
} // namespace MenuItem

// The controls that stay disabled until a file is loaded, in the order they are disabled.
constexpr int32_t FILE_CONTROLS[] = {Control::FindNextButton,    Control::PointerSlider,
                                     Control::NudgeBar,          Control::UpdateBitsButton,
                                     Control::UpdateByteButton,  Control::UpdateInt16Button,
                                     Control::UpdateInt32Button, Control::UpdateInt64Button};

// The nudge bar's range, and the position it springs back to after every action.
enum NudgeBarPosition : int32_t {
    NUDGE_BAR_MINIMUM = 0,
    NUDGE_REST_POSITION = 31,
    NUDGE_BAR_MAXIMUM = 63,
};
