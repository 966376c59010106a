// Finds what a save's name leads to, one component at a time, following symbolic links by hand so
// that each link is judged before it is followed: a link owned by neither this process's user nor
// root may lead only to a file of its own owner, and never to a name that does not exist yet. A
// link then gives its owner nothing the owner did not have. The kernel applies a like rule only in
// sticky shared folders, and only where it is switched on.
#pragma once

#include "core/file_descriptor.h"

#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

struct WalkedPath {
    FileDescriptor folder{-1}; // the folder that holds `entry`, opened O_PATH
    std::string entry;         // the last name, which was no link when the walk looked
    bool exists = false;
    struct stat status {};   // of the entry, where it exists
    bool nameIsLink = false; // the last component of the name given was a link
    // Owners that the file at `entry` must have, one for each link of another user that led to it:
    // checked again on the descriptor that the save opens.
    std::vector<uid_t> requiredOwners;
};

// Nothing, with errno set, where the walk fails: ELOOP for too many links, EACCES for a link that
// the rule above refuses, ENOTDIR, ENOENT and the like as the system gives them.
[[nodiscard]] std::optional<WalkedPath> WalkPath(const std::string& path);

// Whether a file of `owner` may be written through the links the walk followed.
[[nodiscard]] bool OwnerAllowed(const WalkedPath& walked, uid_t owner);
