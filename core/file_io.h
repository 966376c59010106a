// Reading a whole file into memory, on POSIX, with every call checked. Nothing here touches the
// window; the load handler turns the outcomes into messages.
#pragma once

#include "core/byte_block.h"
#include "core/file_identity.h"
#include "core/progress.h"

#include <cstdint>
#include <string>

// The largest file the program holds: offsets into the buffer are signed 32-bit.
constexpr int64_t LARGEST_FILE_SIZE = 2147483647;

// The size of the file a name refers to, following links: -1 when the name is empty or names
// nothing; -2 for a directory; 0 for anything that is not a regular file (a pipe or a device has
// no size to read); otherwise its size in bytes. Trailing slashes are ignored, except for "/".
[[nodiscard]] int64_t QueryFileSize(const std::string& name);

enum class ReadOutcome { Loaded, Empty, OpenFailed, ReadFailed, TooLarge, NoMemory, Cancelled };

struct ReadResult {
    ReadOutcome outcome = ReadOutcome::OpenFailed;
    // Why it failed, as an errno value: the failed call's own, EISDIR or EINVAL for a name that
    // is not a regular file, ENODATA for a file that ended before its size, EFBIG for TooLarge,
    // ENOMEM for NoMemory, ECANCELED for Cancelled; 0 when Loaded or
    // Empty.
    int error = 0;
    int64_t size = 0; // the size of the open file; for TooLarge and NoMemory, the size asked for
    ByteBlock bytes;  // exactly `size` bytes when Loaded, else empty
    FileIdentity identity; // the file that was opened; meaningful when Loaded or Empty
};

// Reads every byte of a regular file. Never blocks on a pipe or device swapped in under the name,
// and fails rather than return fewer bytes than the file had when it was opened. With `progress`,
// reads in chunks and reports after each; a cancel frees what was read.
[[nodiscard]] ReadResult ReadWholeFile(const std::string& name,
                                       const ProgressCallback& progress = {});
