#include "program/program.h"

#include "program/command_line.h"
#include "program/controls.h"
#include "program/converter.h"
#include "program/load_save.h"
#include "program/main_window.h"
#include "program/messages.h"
#include "program/program_title.h"
#include "program/scroll_hook.h"
#include "program/search.h"
#include "program/state/file_state.h"
#include "program/state/long_work_state.h"
#include "program/state/panel_state.h"
#include "program/state/pointer_state.h"
#include "program/state/window_fonts.h"
#include "program/value_rows.h"
#include "program/write_back.h"
#include "toolkit/toolkit.h"

#include <csignal>
#include <cstdio>

namespace {

void ShowAbout() {
    ShowProgramMessage(ProgramTitle() + "\r\nby Halvory");
}

void DispatchMenu(int32_t menuId, int32_t& code) {
    switch (menuId) {
    case MenuItem::Load:
        LoadFileHandler();
        break;
    case MenuItem::Save:
        SaveFile();
        break;
    case MenuItem::SaveAs:
        SaveFileAs();
        break;
    case MenuItem::Quit:
        code = EVENT_CLOSE; // ends the loop by the same path as the close box
        break;
    case MenuItem::About:
        ShowAbout();
        break;
    default:
        break;
    }
}

void DispatchControl(int32_t id) {
    if (const ValueRow* row = ValueRowOfButton(id)) {
        UpdateValue(*row);
        return;
    }
    switch (id) {
    case Control::DecField:
        ConvertFromDecField();
        break;
    case Control::CharField:
        ConvertFromCharField();
        break;
    case Control::HexField:
        ConvertFromHexField();
        break;
    case Control::FindNextButton:
        FindNext();
        break;
    default:
        break; // the moving controls act through the window hook; other fields through buttons
    }
}

int MainRoutine() {
    if (OpenMainWindow()) {
        EventLoop();
    } else {
        // Without the window no event can ever come; waiting for one would hang.
        std::fprintf(stderr, "tessary: the main window could not be opened\n");
    }
    ReleaseFileBuffer();
    return 0;
}

} // namespace

void ResetProgramState() {
    FileState = FileBufferState{};
    Pointer = PointerState{};
    ValuePanel = ValuePanelState{};
    Fonts = WindowFonts{};
    LongWork = LongWorkTiming{};
}

void LoadWindowFonts() {
    Fonts.StripFont = LoadFontFace(1, "Courier New", 12, FONT_BOLD);
    Fonts.FieldFont = LoadFontFace(2, "Courier New", 9, FONT_BOLD);
    Fonts.PreviewFont = LoadFontFace(3, "Courier New", 9, 0);
}

int RunProgram(int argc, char** argv) {
    // A save past a file size limit must fail with EFBIG and say so, not end the program and take
    // the unsaved patches with it.
    std::signal(SIGXFSZ, SIG_IGN);
    if (const std::optional<int> answered = AnswerCommandLine(argc, argv)) {
        return *answered;
    }
    ResetProgramState();
    if (!StartToolkit(argc, argv)) {
        return 1;
    }
    LoadWindowFonts();
    (void)MainRoutine();
    ShutdownToolkit();
    return 0;
}

bool OpenMainWindow() {
    ResetFileBuffer();
    const bool loadDue = TakeCommandLineName();
    BuildMainWindow();
    if (WindowHandle(MAIN_WINDOW) == 0) {
        return false;
    }
    SetWindowHook(ScrollCallback);
    SetControlState(Control::NudgeBar, NUDGE_REST_POSITION);
    Pointer.NudgeLast = NUDGE_REST_POSITION;
    if (loadDue) {
        LoadFile();
    }
    return true;
}

void EventLoop() {
    while (EventLoopTurn() != EVENT_CLOSE) {
    }
}

int32_t EventLoopTurn() {
    int32_t code = WaitEvent();
    const int32_t control = CurrentEventControl();
    // Read with the rest of the event, as the loop always has, though no handler needs it.
    [[maybe_unused]] const int32_t subtype = CurrentEventSubtype();
    PointerMarker();
    if (code == EVENT_MENU) {
        DispatchMenu(CurrentEventMenuItem(), code);
    }
    if (code == EVENT_SIZE) {
        ApplySizeRules();
    }
    if (code == EVENT_CONTROL) {
        DispatchControl(control);
    }
    if (code == EVENT_DROP_FILES) {
        LoadDroppedFile();
    }
    return code;
}
