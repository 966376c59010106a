// Writing a whole memory copy back to a file, keeping what the file carries. Nothing here touches
// the window; the save handlers turn the outcome into a message.
#pragma once

#include "core/file_identity.h"
#include "core/progress.h"

#include <cstdint>
#include <optional>
#include <string>

enum class SaveOutcome {
    Saved,
    Refused,   // the system would not let this process write there (permissions, read-only, type)
    NoRoom,    // the disk, a quota or a file size limit had no room for the bytes
    Failed,    // anything else: the disk failed, or the process ran short of resources
    Cancelled, // the progress callback asked to stop before the target was touched
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Failed;
    int error = 0; // the errno value of the call that failed; 0 when Saved
    [[nodiscard]] bool saved() const { return outcome == SaveOutcome::Saved; }
};

enum class WriteMode {
    Replace,         // the target ends up holding exactly the bytes given
    CreateIfMissing, // create an empty target when there is none; leave an existing one alone
};

// Writes `size` bytes to `path`, never where an ordinary open of the name for writing would be
// refused. Links are followed by hand, each judged before it is followed (core/path_walk.h); a
// link is written through and stays. Where a new copy can carry everything the target has (one
// name, owner and group, mode with the set-id and sticky bits, every extended attribute), the copy
// is written beside the target and renamed over it, so that the target holds either its old or
// its new content; where the file system has unnamed files (O_TMPFILE), the copy has no name until
// it is complete, and a process killed meanwhile leaves nothing behind. Otherwise (another hard
// link, an owner or attribute the process cannot set, a folder that refuses the new entry or the
// rename) it writes the target in place, after claiming the room; a failure there gives back the
// room claimed. Any other error fails the save with the target untouched. A missing file appears
// complete or not at all.
//
// `loaded` is what a load found under this very name. Given it, a name that holds a link where the
// load found none, or anything but a regular file, is refused with nothing written; a file deleted
// since is created again with the owner, group and mode it had, where the process may set them.
//
// With `progress`, writes in chunks and reports after each. A cancel removes the copy and leaves
// the target untouched; a save in place can be cancelled only until its first byte is written,
// and then reports itself not `cancellable` and goes on to the end.
[[nodiscard]] SaveResult WriteWholeFile(const std::string& path, const uint8_t* bytes, int64_t size,
                                        WriteMode mode,
                                        const std::optional<FileIdentity>& loaded = std::nullopt,
                                        const ProgressCallback& progress = {});
