// The memory copy of the inspected file and the name it is loaded from and saved to.
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
