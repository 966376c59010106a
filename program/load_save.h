// Loading the inspected file whole into memory, and writing the copy back on Save.
#pragma once

#include <string>

// Zeroes the file state and gives FileBuffer its first block of 4096 zero bytes.
void ResetFileBuffer();
// Loads FileName.
void LoadFile();
// Loads `name`. Until a file is loaded the name becomes FileName at once, so that Save can create
// it; afterwards only a load that succeeds changes FileName.
void LoadNamedFile(const std::string& name);
// The handlers of the menu items Load, Save and Save As.
void LoadFileHandler();
// A file dropped on the window loads as Load would load it under that name.
void LoadDroppedFile();
void SaveFile();
void SaveFileAs();
// Releases the buffer when the program ends.
void ReleaseFileBuffer();
