// The memory copy of the inspected file: loading it whole, and writing it back on Save.
#pragma once

#include "core/byte_block.h"

#include <cstdint>
#include <string>

struct FileBufferState {
    // Every byte of the loaded file; 4096 zero bytes before the first load.
    ByteBlock FileBuffer;
    // Bytes of the loaded file; 0 until a load succeeds, never above 2^31 - 1.
    int64_t FileSize = 0;
    // The path Save writes to (raw bytes).
    std::string FileName;
    // True once a load has succeeded: from then on only a successful load changes FileName.
    bool loaded = false;
};
extern FileBufferState FileState;

// Zeroes the state and gives FileBuffer its first block of 4096 zero bytes.
void ResetFileBuffer();
// Takes the file name from the first command-line argument; true when a load is due.
[[nodiscard]] bool TakeCommandLineName();
// Loads FileName.
void LoadFile();
// Loads `name`, making it FileName as the rules of FileName say.
void LoadNamedFile(const std::string& name);
// The handlers of the menu items Load, Save and Save As.
void LoadFileHandler();
void SaveFile();
void SaveFileAs();
// Releases the buffer when the program ends.
void ReleaseFileBuffer();
