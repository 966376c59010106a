// The program's state: one instance of each item, zero until the program sets it.
#include "program/state/file_state.h"
#include "program/state/long_work_state.h"
#include "program/state/panel_state.h"
#include "program/state/pointer_state.h"
#include "program/state/window_fonts.h"

FileBufferState FileState;
LongWorkTiming LongWork;
PointerState Pointer;
ValuePanelState ValuePanel;
WindowFonts Fonts;
