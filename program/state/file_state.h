// The memory copy of the inspected file and the name it is loaded from and saved to.
#pragma once

#include "core/byte_block.h"
#include "core/file_identity.h"

#include <cstdint>
#include <optional>
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
    // What the last successful load opened, and under which name: a save of that name checks that
    // it still holds that kind of file.
    std::optional<FileIdentity> LoadedIdentity;
    std::string LoadedName;
};
extern FileBufferState FileState;
