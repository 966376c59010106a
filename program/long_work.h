// A long load or save as the user meets it: the window keeps answering while the core reads or
// writes in chunks, and a progress window with Cancel shows once the work has run half a second.
#pragma once

#include "core/progress.h"

#include <string>

// Starts the work: from now until EndReportedWork the user's input is thrown away. Returns the
// callback to give the core's read or write; `verb` begins the progress window's text ("Loading",
// "Saving").
[[nodiscard]] ProgressCallback BeginReportedWork(const std::string& verb);
// Closes the progress window, if it showed, and lets input through again.
void EndReportedWork();
