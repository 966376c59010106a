// The window toolkit layer: the only way the program reaches the window system.
//
// Windows are named by a small window number, controls by a small control id and menu items by a
// menu id. Everything the user does becomes a numbered event in one first-in, first-out queue that
// the main loop takes one entry at a time with WaitEvent. The program's own writes to controls
// raise no control events, so its handlers never start each other.
//
// The layer keeps the shape of the desktop toolkit the program was first written for, and some of
// its words. The scroll bar and the track bar report their movements to one window hook, which
// sees every message of the window before the layer handles it. A movement arrives as WM_HSCROLL,
// that toolkit's horizontal-scroll message: its first parameter carries a request code (a step,
// a page, a drag, the end of the action), its second the handle of the control that moved. The
// hook sees a scroll bar request before the bar moves and a track bar request after it moved, and
// every user action on either ends with SCROLL_END_ACTION.
//
// All text crossing this layer is single-byte Windows-1252; file paths are raw bytes.
#pragma once

#include <cstdint>
#include <string>

// An opaque handle to a window or control; 0 means none.
using NativeHandle = std::uintptr_t;
// An opaque handle to a loaded font; 0 means the platform's system font.
using FontHandle = std::uintptr_t;

// Leaves a coordinate or size unchanged in ResizeAppWindow and ResizeControl.
constexpr int32_t KEEP = -65535;

// Event codes returned by WaitEvent.
constexpr int32_t EVENT_CONTROL = 13100;
constexpr int32_t EVENT_MENU = 13101;
constexpr int32_t EVENT_SIZE = 5;
constexpr int32_t EVENT_CLOSE = 16;
constexpr int32_t EVENT_MOVE = 3;
constexpr int32_t EVENT_REPAINT = 15;
constexpr int32_t EVENT_ACTIVATE = 13104;
// Other input returns the number of the input message it stands for.
constexpr int32_t EVENT_KEY_DOWN = 256;
constexpr int32_t EVENT_KEY_UP = 257;
constexpr int32_t EVENT_MOUSE_MOVE = 512;
constexpr int32_t EVENT_MOUSE_DOWN = 513;
constexpr int32_t EVENT_MOUSE_UP = 514;
constexpr int32_t EVENT_MOUSE_WHEEL = 522;
// Files were dropped on a window that takes them (AcceptDroppedFiles); CurrentEventFile names the
// first. The number is that of the desktop toolkit's own dropped-files message.
constexpr int32_t EVENT_DROP_FILES = 563;

// Subtypes of control events for the focus of edit fields and the text area.
constexpr int32_t SUBTYPE_FOCUS_GAINED = 14000;
constexpr int32_t SUBTYPE_FOCUS_LOST = 14001;

// The horizontal-scroll message: what the hook receives for movements of the scroll bar and the
// track bar.
constexpr uint32_t WM_HSCROLL = 276;
// Request codes, carried in the low 16 bits of the hook's first parameter.
constexpr int32_t SCROLL_STEP_LEFT = 0;
constexpr int32_t SCROLL_STEP_RIGHT = 1;
constexpr int32_t SCROLL_PAGE_LEFT = 2;
constexpr int32_t SCROLL_PAGE_RIGHT = 3;
constexpr int32_t SCROLL_THUMB_RELEASED = 4;
constexpr int32_t SCROLL_THUMB_DRAGGED = 5;
constexpr int32_t SCROLL_TO_START = 6;
constexpr int32_t SCROLL_TO_END = 7;
constexpr int32_t SCROLL_END_ACTION = 8;

// The hook's result that lets the layer handle the message as usual.
constexpr std::intptr_t HOOK_CONTINUE = 0;
using WindowHook = std::intptr_t (*)(NativeHandle window, uint32_t message,
                                     std::uintptr_t firstParameter, NativeHandle secondParameter);

// Style bits of OpenAppWindow, with the values of the desktop toolkit's own. The system menu is
// the window menu that the title bar's icon or Alt+Space opens, with its Close item; having one
// also gives the window its close box.
enum WindowStyle : uint32_t {
    WINDOW_TITLE_BAR = 0xC00000,
    WINDOW_SYSTEM_MENU = 0x80000,
    WINDOW_SIZABLE_BORDER = 0x40000,
};

// Extra style bits of CreateTextArea. With both alignment bits set, right alignment wins.
enum TextAreaStyle : uint32_t {
    TEXT_ALIGN_CENTER = 0x1,
    TEXT_ALIGN_RIGHT = 0x2,
    TEXT_MULTILINE = 0x4,
    TEXT_AUTO_VERTICAL_SCROLL = 0x40,
    TEXT_AUTO_HORIZONTAL_SCROLL = 0x80,
    TEXT_READ_ONLY = 0x800,
    TEXT_VERTICAL_SCROLL_BAR = 0x200000,
};

// The parts of a moving control's range that SetScrollAttribute sets; a track bar has only the
// first two.
enum ScrollAttribute : int32_t {
    SCROLL_MINIMUM = 1,
    SCROLL_MAXIMUM = 2, // a scroll bar's highest position plus its page length
    SCROLL_PAGE = 3,
};

// The kinds of control, one creation operation each.
enum class ControlKind {
    Label,
    EditField,
    TextArea,
    Button,
    CheckBox,
    Frame,
    ComboBox,
    TrackBar,
    ScrollBar
};

// Font flag: bold.
constexpr uint32_t FONT_BOLD = 0x100;
// Track bar style: a tick mark at every position.
constexpr uint32_t TRACKBAR_AUTO_TICKS = 1;

// Start-up and shutdown. StartToolkit keeps the command line for CommandArgument; it returns
// false (after saying why on standard error) when there is no display to open windows on.
// When a QApplication already exists (tests), the layer uses it and leaves it alive at shutdown.
[[nodiscard]] bool StartToolkit(int& argc, char** argv);
void ShutdownToolkit();

// Windows.
NativeHandle OpenAppWindow(int32_t number, int32_t x, int32_t y, int32_t innerWidth,
                           int32_t innerHeight, const std::string& title, uint32_t style);
[[nodiscard]] NativeHandle WindowHandle(int32_t number);
// Inner width and height; the height counts the menu bar.
[[nodiscard]] int32_t InnerWidth(int32_t number);
[[nodiscard]] int32_t InnerHeight(int32_t number);
void ResizeAppWindow(int32_t number, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight);

// Controls. Positions are relative to the window's inner area below the menu bar.
NativeHandle BeginControls(NativeHandle window);
NativeHandle CreateLabel(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                         const std::string& caption);
NativeHandle CreateEditField(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                             const std::string& text);
NativeHandle CreateTextArea(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                            const std::string& text, uint32_t extraStyle);
NativeHandle CreateButton(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                          const std::string& caption);
NativeHandle CreateCheckBox(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                            const std::string& caption);
NativeHandle CreateFrame(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                         const std::string& caption);
// The height is that of the control together with its opened list.
NativeHandle CreateComboBox(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);
NativeHandle CreateTrackBar(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                            int32_t minimum, int32_t maximum, uint32_t style);
NativeHandle CreateScrollBar(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                             int32_t minimum, int32_t maximum, int32_t page);

void SetControlText(int32_t id, const std::string& text);
// Sets the text to `text` followed by `path`, a file path in raw bytes, shown as the file system's
// encoding reads it, so that a name in any script shows whole. Reading the text back gives
// Windows-1252, with "?" for what that cannot hold.
void SetControlTextWithPath(int32_t id, const std::string& text, const std::string& path);
[[nodiscard]] std::string GetControlText(int32_t id);
void SetControlState(int32_t id, int32_t state);
[[nodiscard]] int32_t GetControlState(int32_t id);
void SetControlDisabled(int32_t id, int32_t flag);
void SetScrollAttribute(int32_t id, ScrollAttribute attribute, int32_t value);
void ResizeControl(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);
void SetControlFont(int32_t id, FontHandle font);
// position -1 appends.
void AddComboItem(int32_t id, int32_t position, const std::string& text);
[[nodiscard]] NativeHandle ControlHandle(int32_t id);

// Menus: a bar, then titles, each followed by its items. F10, or Alt pressed and released alone,
// opens the bar's first drop-down; the same key again, or Escape, closes it.
NativeHandle CreateMenuBar(int32_t number, NativeHandle window);
// `shortcut` ("Alt+F"), pressed anywhere in the window, opens the title's drop-down.
void AddMenuTitle(const std::string& title, const std::string& shortcut = "");
// `shortcut` is a key combination such as "Ctrl+Shift+S", shown beside the item's text; pressing
// it anywhere in the window chooses the item. Empty: none.
void AddMenuItem(int32_t menuId, const std::string& text, const std::string& shortcut = "");
void AddMenuSeparator();

// Fonts: the pixel height is the point size at the screen's vertical resolution.
FontHandle LoadFontFace(int32_t number, const std::string& face, int32_t points, uint32_t flags);

// Modal requesters. The file requesters return a full path as raw bytes, or "" when cancelled.
void ShowMessage(const std::string& caption, const std::string& text);
[[nodiscard]] std::string AskOpenFile(const std::string& title, const std::string& defaultFile,
                                      const std::string& pattern, int32_t patternIndex);
[[nodiscard]] std::string AskSaveFile(const std::string& title, const std::string& defaultFile,
                                      const std::string& pattern, int32_t patternIndex);

// Long work: a load or save that runs in chunks inside one handler. From BeginLongWork until
// EndLongWork the user's input to every window but the progress window is thrown away, not held
// back: keys, clicks, the wheel, drops and close boxes. ServeLongWork, called between chunks, lets
// the windows paint and answer the desktop, and returns false once the user asked to cancel:
// the progress window's Cancel, Escape or close box. Nothing of this shows until
// ShowProgressWindow opens that window, modal, with the caption "Tessary", `text` and one Cancel
// button; called again, it changes the text. DisableProgressCancel disables the Cancel button,
// Escape and the close box, for work that can no longer be undone.
void BeginLongWork();
void ShowProgressWindow(const std::string& text);
void DisableProgressCancel();
[[nodiscard]] bool ServeLongWork();
void EndLongWork();

// Events.
[[nodiscard]] int32_t WaitEvent();
[[nodiscard]] int32_t CurrentEventControl();
[[nodiscard]] int32_t CurrentEventMenuItem();
[[nodiscard]] int32_t CurrentEventSubtype();
// The first file of the current EVENT_DROP_FILES event as a raw path; "" for every other event.
[[nodiscard]] std::string CurrentEventFile();

void SetWindowHook(WindowHook hook);

// Drawing over the window's inner area, on top of the controls.
void BeginDrawing(int32_t number);
void FillBox(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
void EndDrawing();
[[nodiscard]] constexpr uint32_t MakeColour(uint32_t red, uint32_t green, uint32_t blue) {
    return red + 256 * green + 65536 * blue;
}

// The index-th argument after the program's name (0 = the first); "" when missing.
[[nodiscard]] std::string CommandArgument(int32_t index);
void SleepMilliseconds(int32_t count);

// Extensions of this platform's layer, used by the main window's build.
// The name by which tests and accessibility tools find a control or window.
void SetControlName(int32_t id, const std::string& name);
void SetWindowName(int32_t number, const std::string& name);
// Lays out an edit field's characters in cells of `cellWidth` pixels, the first cell starting
// `firstCellOffset` pixels from the control's left edge, whatever the font measures.
void FitCharacterCells(int32_t id, int32_t firstCellOffset, int32_t cellWidth);
// Enter in the edit field `fieldId` clicks the button `buttonId`, with the click's effect: a
// control event for the button, or nothing while it is disabled.
void SetEnterClicksButton(int32_t fieldId, int32_t buttonId);
// What a screen reader says for a control, in place of its caption or contents. On Linux a combo
// box keeps its chosen item as its name and gets this as its caption.
void SetAccessibleName(int32_t id, const std::string& name);
// Makes the label `labelId` the caption of the control `controlId` for screen readers. An "&" in
// a linked label's text would mark an access key, so link only labels whose texts have none.
// A label may caption several controls.
void SetLabelFor(int32_t labelId, int32_t controlId);
// What a screen reader adds after a control's name, such as where it stands.
void SetAccessibleDescription(int32_t id, const std::string& description);
// The value a screen reader reads for a track bar in place of its position, within minimum to
// maximum; readers are told when it changes, and cannot set it. Raises no control event.
void SetAccessibleValue(int32_t id, int32_t value, int32_t minimum, int32_t maximum);
// Tells a screen reader what an action did: spoken at once as a notification, and the focused
// control's description until the focus leaves it. Raises no control event.
void AnnounceOutcome(const std::string& outcome);
// Puts an edit field's caret before its character offset (0-based), nothing selected, and keeps
// it there when the field takes the focus. Raises no control event.
void SetCaretOffset(int32_t id, int32_t offset);
// A local file dropped anywhere on the window becomes an EVENT_DROP_FILES event; other drops
// (text on an edit field) keep their usual effect.
void AcceptDroppedFiles(int32_t number);
