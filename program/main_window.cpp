#include "program/main_window.h"

#include "core/byte_view.h"
#include "core/pattern_scan.h"
#include "program/controls.h"
#include "program/program_title.h"
#include "program/state/window_fonts.h"
#include "program/value_rows.h"
#include "toolkit/toolkit.h"

#include <algorithm>

namespace {

enum class FontChoice { Default, Strip, Field, Preview };

// A label that names no control.
constexpr int32_t NO_CONTROL = -1;

struct ControlRow {
    int32_t id;
    const char* name;
    ControlKind kind;
    int32_t x, y, width, height;
    const char* caption;
    FontChoice font;
    // What a screen reader says for a control that takes the focus (and for the scroll bar),
    // where the caption alone would not tell one from another; nullptr: its caption or contents.
    const char* spokenName;
    // For a caption label, the control it names for screen readers.
    int32_t labelFor;
};

// Creation order is also the order in which Tab moves the focus.
constexpr ControlRow CONTROL_ROWS[] = {
    {Control::ByteStrip, "ByteStrip", ControlKind::EditField, 10, 30, 650, 25, "",
     FontChoice::Strip, "Byte strip", NO_CONTROL},
    {Control::NudgeBar, "NudgeBar", ControlKind::TrackBar, 5, 0, 657, 30, "", FontChoice::Default,
     "Nudge file pointer", NO_CONTROL},
    {Control::BitsLabel, "BitsLabel", ControlKind::Label, 20, 90, 70, 20,
     "Bits:", FontChoice::Default, nullptr, Control::BitsField},
    {Control::Int16Label, "Int16Label", ControlKind::Label, 20, 130, 70, 20,
     "Int16:", FontChoice::Default, nullptr, Control::Int16Field},
    {Control::DecHexLabel, "DecHexLabel", ControlKind::Label, 20, 110, 70, 20,
     "Dec / Hex:", FontChoice::Default, nullptr, Control::DecField},
    {Control::Int32Label, "Int32Label", ControlKind::Label, 20, 150, 70, 20,
     "Int32:", FontChoice::Default, nullptr, Control::Int32Field},
    {Control::Int64Label, "Int64Label", ControlKind::Label, 20, 170, 70, 20,
     "Int64:", FontChoice::Default, nullptr, Control::Int64Field},
    {Control::UpdateValuesFrame, "UpdateValuesFrame", ControlKind::Frame, 10, 70, 270, 130,
     "Update Values", FontChoice::Default, nullptr, NO_CONTROL},
    {Control::BitsField, "BitsField", ControlKind::EditField, 80, 90, 140, 20, "",
     FontChoice::Field, "Bits value", NO_CONTROL},
    {Control::DecField, "DecField", ControlKind::EditField, 80, 110, 50, 20, "", FontChoice::Field,
     "Decimal value", NO_CONTROL},
    {Control::CharField, "CharField", ControlKind::EditField, 131, 110, 38, 20, "",
     FontChoice::Field, "Character value", NO_CONTROL},
    {Control::HexField, "HexField", ControlKind::EditField, 170, 110, 50, 20, "", FontChoice::Field,
     "Hexadecimal value", NO_CONTROL},
    {Control::Int16Field, "Int16Field", ControlKind::EditField, 80, 130, 140, 20, "",
     FontChoice::Field, "Int16 value", NO_CONTROL},
    {Control::Int32Field, "Int32Field", ControlKind::EditField, 80, 150, 140, 20, "",
     FontChoice::Field, "Int32 value", NO_CONTROL},
    {Control::Int64Field, "Int64Field", ControlKind::EditField, 80, 170, 140, 20, "",
     FontChoice::Field, "Int64 value", NO_CONTROL},
    {Control::UpdateBitsButton, "UpdateBitsButton", ControlKind::Button, 222, 90, 50, 20, "Update",
     FontChoice::Default, "Update bits value", NO_CONTROL},
    {Control::UpdateByteButton, "UpdateByteButton", ControlKind::Button, 222, 110, 50, 20, "Update",
     FontChoice::Default, "Update byte value", NO_CONTROL},
    {Control::UpdateInt16Button, "UpdateInt16Button", ControlKind::Button, 222, 130, 50, 20,
     "Update", FontChoice::Default, "Update Int16 value", NO_CONTROL},
    {Control::UpdateInt32Button, "UpdateInt32Button", ControlKind::Button, 222, 150, 50, 20,
     "Update", FontChoice::Default, "Update Int32 value", NO_CONTROL},
    {Control::UpdateInt64Button, "UpdateInt64Button", ControlKind::Button, 222, 170, 50, 20,
     "Update", FontChoice::Default, "Update Int64 value", NO_CONTROL},
    {Control::PointerSlider, "PointerSlider", ControlKind::ScrollBar, 25, 260, 620, 16, "",
     FontChoice::Default, "File pointer", NO_CONTROL},
    {Control::PointerLabel, "PointerLabel", ControlKind::Label, 25, 243, 250, 15, "File Pointer ()",
     FontChoice::Default, nullptr, Control::PointerSlider},
    {Control::FileSettingsFrame, "FileSettingsFrame", ControlKind::Frame, 10, 205, 650, 80,
     "File Settings", FontChoice::Default, nullptr, NO_CONTROL},
    {Control::FileNameLabel, "FileNameLabel", ControlKind::Label, 25, 225, 600, 15,
     "Inspected File: ", FontChoice::Default, nullptr, NO_CONTROL},
    {Control::SearchFrame, "SearchFrame", ControlKind::Frame, 285, 70, 375, 130, "Search",
     FontChoice::Default, nullptr, NO_CONTROL},
    {Control::SearchTypeCombo, "SearchTypeCombo", ControlKind::ComboBox, 490, 90, 115, 135, "",
     FontChoice::Default, "Search type", NO_CONTROL},
    {Control::FindLabel, "FindLabel", ControlKind::Label, 300, 92, 55, 20,
     "Find:", FontChoice::Default, nullptr, Control::SearchTextField},
    {Control::FromStartCheck, "FromStartCheck", ControlKind::CheckBox, 355, 112, 130, 20,
     "Search from start", FontChoice::Default, "Search from start", NO_CONTROL},
    {Control::FindNextButton, "FindNextButton", ControlKind::Button, 490, 112, 115, 20, "Find Next",
     FontChoice::Default, "Find next", NO_CONTROL},
    {Control::SearchTextField, "SearchTextField", ControlKind::EditField, 355, 90, 130, 20, "",
     FontChoice::Field, "Search text", NO_CONTROL},
    {Control::PreviewText, "PreviewText", ControlKind::TextArea, 10, 290, 650, 138, "",
     FontChoice::Preview, "Text preview", NO_CONTROL},
};

// The value fields stand beside their frame, not in it, so a screen reader is told each one's
// frame and row. One caption names the byte row's three fields: the caption labels (above) name
// the first, and the others are linked here.
struct FieldPlace {
    int32_t field;
    const char* spokenPlace;
    int32_t sharedCaption; // NO_CONTROL: the field's caption is linked in CONTROL_ROWS alone
};

constexpr FieldPlace FIELD_PLACES[] = {
    {Control::BitsField, "Update Values, bits row", NO_CONTROL},
    {Control::DecField, "Update Values, byte row, decimal", NO_CONTROL},
    {Control::CharField, "Update Values, byte row, character", Control::DecHexLabel},
    {Control::HexField, "Update Values, byte row, hexadecimal", Control::DecHexLabel},
    {Control::Int16Field, "Update Values, Int16 row", NO_CONTROL},
    {Control::Int32Field, "Update Values, Int32 row", NO_CONTROL},
    {Control::Int64Field, "Update Values, Int64 row", NO_CONTROL},
};

constexpr uint32_t PREVIEW_STYLE = TEXT_VERTICAL_SCROLL_BAR | TEXT_READ_ONLY |
                                   TEXT_AUTO_VERTICAL_SCROLL | TEXT_AUTO_HORIZONTAL_SCROLL |
                                   TEXT_MULTILINE | TEXT_ALIGN_CENTER | TEXT_ALIGN_RIGHT;
constexpr uint32_t WINDOW_STYLE = WINDOW_TITLE_BAR | WINDOW_SYSTEM_MENU | WINDOW_SIZABLE_BORDER;

constexpr int32_t WINDOW_X = 300;
constexpr int32_t WINDOW_Y = 200;
constexpr int32_t WINDOW_WIDTH = 662;
constexpr int32_t WINDOW_MINIMUM_HEIGHT = 450;
// PreviewText's height is the window's inner height less this.
constexpr int32_t PREVIEW_HEIGHT_MARGIN = 312;

// The scroll bar's range until a load sets the file's.
constexpr int32_t SLIDER_START_MINIMUM = 0;
constexpr int32_t SLIDER_START_MAXIMUM = 1000;
constexpr int32_t SLIDER_START_PAGE = 333;

// The strip's characters stand in cells of a fixed width, whatever the font measures, the first
// one this far from the strip's left edge; the pointer marker's lines frame the cell of the byte
// at the pointer, inside the strip's sunken border.
constexpr const ControlRow& STRIP_ROW = CONTROL_ROWS[0];
static_assert(STRIP_ROW.id == Control::ByteStrip);
constexpr int32_t STRIP_FIRST_CELL_OFFSET = 3;
constexpr int32_t STRIP_CELL_WIDTH = 10;
constexpr int32_t STRIP_BORDER = 2;
constexpr int32_t MARKER_LEFT_X =
    STRIP_ROW.x + STRIP_FIRST_CELL_OFFSET + (STRIP_POINTER_CELL - 1) * STRIP_CELL_WIDTH;
constexpr int32_t MARKER_RIGHT_X = MARKER_LEFT_X + STRIP_CELL_WIDTH;
constexpr int32_t MARKER_Y = STRIP_ROW.y + STRIP_BORDER;
constexpr int32_t MARKER_HEIGHT = STRIP_ROW.height - 2 * STRIP_BORDER;
constexpr uint32_t MARKER_COLOUR = MakeColour(212, 0, 0);

FontHandle FontOf(FontChoice choice) {
    switch (choice) {
    case FontChoice::Strip:
        return Fonts.StripFont;
    case FontChoice::Field:
        return Fonts.FieldFont;
    case FontChoice::Preview:
        return Fonts.PreviewFont;
    case FontChoice::Default:
        break;
    }
    return 0;
}

NativeHandle CreateFromRow(const ControlRow& row) {
    switch (row.kind) {
    case ControlKind::Label:
        return CreateLabel(row.id, row.x, row.y, row.width, row.height, row.caption);
    case ControlKind::EditField:
        return CreateEditField(row.id, row.x, row.y, row.width, row.height, row.caption);
    case ControlKind::TextArea:
        return CreateTextArea(row.id, row.x, row.y, row.width, row.height, row.caption,
                              PREVIEW_STYLE);
    case ControlKind::Button:
        return CreateButton(row.id, row.x, row.y, row.width, row.height, row.caption);
    case ControlKind::CheckBox:
        return CreateCheckBox(row.id, row.x, row.y, row.width, row.height, row.caption);
    case ControlKind::Frame:
        return CreateFrame(row.id, row.x, row.y, row.width, row.height, row.caption);
    case ControlKind::ComboBox:
        return CreateComboBox(row.id, row.x, row.y, row.width, row.height);
    case ControlKind::TrackBar:
        return CreateTrackBar(row.id, row.x, row.y, row.width, row.height, NUDGE_BAR_MINIMUM,
                              NUDGE_BAR_MAXIMUM, TRACKBAR_AUTO_TICKS);
    case ControlKind::ScrollBar:
        return CreateScrollBar(row.id, row.x, row.y, row.width, row.height, SLIDER_START_MINIMUM,
                               SLIDER_START_MAXIMUM, SLIDER_START_PAGE);
    }
    return 0;
}

void CreateControls() {
    for (const ControlRow& row : CONTROL_ROWS) {
        if (CreateFromRow(row) == 0) {
            continue;
        }
        SetControlName(row.id, row.name);
        if (row.font != FontChoice::Default) {
            SetControlFont(row.id, FontOf(row.font));
        }
    }
    FitCharacterCells(Control::ByteStrip, STRIP_FIRST_CELL_OFFSET, STRIP_CELL_WIDTH);
    for (const SearchTypeEntry& type : SEARCH_TYPES) {
        AddComboItem(Control::SearchTypeCombo, -1, type.name);
    }
    SetControlText(Control::SearchTypeCombo, SearchTypeName(SearchType::String));
    SetControlState(Control::FromStartCheck, 1);
    for (const int32_t id : FILE_CONTROLS) {
        SetControlDisabled(id, 1);
    }
}

// What the desktop adds around the layout: names for screen readers, Enter as a click on the
// button of its field's row.
void DescribeControls() {
    for (const ControlRow& row : CONTROL_ROWS) {
        if (row.spokenName != nullptr) {
            SetAccessibleName(row.id, row.spokenName);
        }
        if (row.labelFor != NO_CONTROL) {
            SetLabelFor(row.id, row.labelFor);
        }
    }
    for (const FieldPlace& place : FIELD_PLACES) {
        SetAccessibleDescription(place.field, place.spokenPlace);
        if (place.sharedCaption != NO_CONTROL) {
            SetLabelFor(place.sharedCaption, place.field);
        }
    }
    SetEnterClicksButton(Control::SearchTextField, Control::FindNextButton);
    for (const ValueRow& row : VALUE_ROWS) {
        SetEnterClicksButton(row.field, row.button);
    }
    // The byte row's other two fields are written back by the same button as its decimal.
    SetEnterClicksButton(Control::CharField, Control::UpdateByteButton);
    SetEnterClicksButton(Control::HexField, Control::UpdateByteButton);
}

void CreateMenu(NativeHandle window) {
    if (CreateMenuBar(MAIN_WINDOW, window) == 0) {
        return;
    }
    AddMenuTitle("File", "Alt+F");
    AddMenuItem(MenuItem::Load, "Load", "Ctrl+O");
    AddMenuItem(MenuItem::Save, "Save", "Ctrl+S");
    AddMenuItem(MenuItem::SaveAs, "Save As", "Ctrl+Shift+S");
    AddMenuSeparator();
    AddMenuItem(MenuItem::Quit, "Quit", "Ctrl+Q");
    AddMenuTitle("Help", "Alt+H");
    AddMenuItem(MenuItem::About, "About");
}

} // namespace

void BuildMainWindow() {
    const NativeHandle window = OpenAppWindow(MAIN_WINDOW, WINDOW_X, WINDOW_Y, WINDOW_WIDTH,
                                              WINDOW_MINIMUM_HEIGHT, ProgramTitle(), WINDOW_STYLE);
    if (window == 0) {
        return;
    }
    SetWindowName(MAIN_WINDOW, "MainWindow");
    if (BeginControls(window) != 0) {
        CreateControls();
        DescribeControls();
    }
    CreateMenu(window);
    AcceptDroppedFiles(MAIN_WINDOW);
}

void ApplySizeRules() {
    const int32_t width = InnerWidth(MAIN_WINDOW);
    const int32_t height = InnerHeight(MAIN_WINDOW);
    if (width != WINDOW_WIDTH) {
        ResizeAppWindow(MAIN_WINDOW, KEEP, KEEP, WINDOW_WIDTH, KEEP);
    }
    if (height < WINDOW_MINIMUM_HEIGHT) {
        ResizeAppWindow(MAIN_WINDOW, KEEP, KEEP, KEEP, WINDOW_MINIMUM_HEIGHT);
    }
    ResizeControl(Control::PreviewText, KEEP, KEEP, KEEP,
                  std::max(0, height - PREVIEW_HEIGHT_MARGIN));
}

void PointerMarker() {
    BeginDrawing(MAIN_WINDOW);
    FillBox(MARKER_LEFT_X, MARKER_Y, 1, MARKER_HEIGHT, MARKER_COLOUR);
    FillBox(MARKER_RIGHT_X, MARKER_Y, 1, MARKER_HEIGHT, MARKER_COLOUR);
    EndDrawing();
}
