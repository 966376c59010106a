// Reading a whole file into memory and writing it back, on POSIX, with every call checked.
// Nothing here touches the window; the load and save handlers turn the outcomes into messages.
#pragma once

#include "core/byte_block.h"

#include <cstdint>
#include <string>

// The largest file the program holds: offsets into the buffer are signed 32-bit.
constexpr int64_t LARGEST_FILE_SIZE = 2147483647;

// The size of the file a name refers to, following links: -1 when the name is empty or names
// nothing; -2 for a directory; 0 for anything that is not a regular file (a pipe or a device has
// no size to read); otherwise its size in bytes. Trailing slashes are ignored, except for "/".
[[nodiscard]] int64_t QueryFileSize(const std::string& name);

enum class ReadOutcome { Loaded, Empty, OpenFailed, ReadFailed, TooLarge, NoMemory };

struct ReadResult {
    ReadOutcome outcome = ReadOutcome::OpenFailed;
    int64_t size = 0; // the size of the open file; for TooLarge and NoMemory, the size asked for
    ByteBlock bytes;  // exactly `size` bytes when Loaded, else empty
};

// Reads every byte of a regular file. Never blocks on a pipe or device swapped in under the name,
// and fails rather than return fewer bytes than the file had when it was opened.
[[nodiscard]] ReadResult ReadWholeFile(const std::string& name);

enum class WriteMode {
    Replace,         // the target ends up holding exactly the bytes given
    CreateIfMissing, // create an empty target when there is none; leave an existing one alone
};

// Writes `size` bytes to `path`, never where an ordinary open of the name for writing would be
// refused; a link is written through and stays. Where a new copy can carry everything the target
// has (one name, owner and group, mode with the set-id and sticky bits, every extended attribute),
// the copy is written beside the target and renamed over it, so that the target holds either its
// old or its new content; where the file system has unnamed files (O_TMPFILE), the copy has no
// name until it is complete, and a process killed meanwhile leaves nothing behind. Otherwise
// (another hard link, an owner or attribute the process cannot set, a folder that refuses the
// rename) it writes the target in place, after claiming the room. A missing file appears complete
// or not at all. Returns false on any failure.
[[nodiscard]] bool WriteWholeFile(const std::string& path, const uint8_t* bytes, int64_t size,
                                  WriteMode mode);
