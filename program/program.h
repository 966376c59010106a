// The process entry, the main routine and the one event loop with its dispatch.
#pragma once

#include <cstdint>

// Starts the toolkit, loads the fonts, runs MainRoutine and shuts down. Returns 0, or 1 when no
// window can be opened at all (no display).
int RunProgram(int argc, char** argv);
// The start of MainRoutine: buffer, command-line name, window, hook, nudge bar at rest, and the
// command-line load. False when the window could not be opened.
[[nodiscard]] bool OpenMainWindow();
// Runs turns until one ends with the close event.
void EventLoop();
// One turn: waits for one event, draws the pointer marker and dispatches. Returns the code the
// turn ended with (EVENT_CLOSE ends the loop).
int32_t EventLoopTurn();
// Zeroes all program state.
void ResetProgramState();
// Loads the three fonts of the window.
void LoadWindowFonts();
