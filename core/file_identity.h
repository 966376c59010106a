// What a load found under a name, so that a later save of that name can tell whether the name
// still holds that kind of file.
#pragma once

#include <sys/types.h>

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    mode_t type = 0; // the S_IFMT bits
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;      // permission, set-id and sticky bits
    bool wasLink = false; // the name itself was a symbolic link to the file
};
