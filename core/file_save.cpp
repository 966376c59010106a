#include "core/file_save.h"

#include "core/file_attributes.h"
#include "core/file_descriptor.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Every open of a save's target: a FIFO or device put under the name must neither block the open
// nor become the program's terminal.
constexpr int TARGET_FLAGS = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Permission, set-id and sticky bits.
constexpr mode_t MODE_BITS = 07777;

enum class Attempt { Done, Failed, NotPossible };

// Errors that say this process may not make the change there, as opposed to a disk that failed.
bool IsRefusal(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

bool IsDiskFailure(int error) {
    return error == ENOSPC || error == EDQUOT || error == EIO || error == EFBIG;
}

bool IsLackOfRoom(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// What a save that failed with `error` tells its caller.
SaveResult FailedWith(int error) {
    if (IsLackOfRoom(error)) {
        return {SaveOutcome::NoRoom, error};
    }
    const bool refused = IsRefusal(error) || error == ETXTBSY || error == EISDIR ||
                         error == ENOTDIR || error == ELOOP || error == ENXIO || error == EEXIST ||
                         error == ENAMETOOLONG || error == EINVAL;
    return {refused ? SaveOutcome::Refused : SaveOutcome::Failed, error};
}

bool CarryOwner(int copy, const struct stat& target) {
    struct stat status {};
    if (fstat(copy, &status) != 0) {
        return false;
    }
    return (status.st_uid == target.st_uid && status.st_gid == target.st_gid) ||
           fchown(copy, target.st_uid, target.st_gid) == 0;
}

// False also where the kernel quietly dropped a bit, as it drops set-group-ID for a group that the
// process is not in.
bool HasOwnerAndMode(int copy, const struct stat& target) {
    struct stat status {};
    return fstat(copy, &status) == 0 && status.st_uid == target.st_uid &&
           status.st_gid == target.st_gid &&
           (status.st_mode & MODE_BITS) == (target.st_mode & MODE_BITS);
}

struct PathParts {
    std::string folder;
    std::string entry;
};

PathParts SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

FileDescriptor OpenFolder(const std::string& folder) {
    FileDescriptor opened(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.valid() && errno == EACCES) {
        // A folder that may be searched but not listed still takes new entries; only its fsync
        // needs a descriptor open for reading.
        opened = FileDescriptor(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    return opened;
}

bool IsEntryOf(int folder, const std::string& entry, const struct stat& file) {
    struct stat status {};
    return fstatat(folder, entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           status.st_dev == file.st_dev && status.st_ino == file.st_ino;
}

struct Folder {
    FileDescriptor descriptor;
    std::string entry; // the target's name in it
};

// The folder that holds the name of the file the save opened. A link is followed, so that the
// link itself stays; the entry found must hold that very file, or nothing is returned.
std::optional<Folder> LocateEntry(const std::string& path, const struct stat& file) {
    std::string name = path;
    struct stat linkStatus {};
    if (lstat(path.c_str(), &linkStatus) == 0 && S_ISLNK(linkStatus.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved) == nullptr) {
            return std::nullopt;
        }
        name = resolved;
    }
    PathParts parts = SplitPath(name);
    Folder folder{OpenFolder(parts.folder), std::move(parts.entry)};
    if (folder.entry.empty() || !folder.descriptor.valid() ||
        !IsEntryOf(folder.descriptor.get(), folder.entry, file)) {
        return std::nullopt;
    }
    return folder;
}

// A hidden name in the target's folder, random so that saves side by side do not meet.
std::string TemporaryName() {
    static const char LETTERS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr uint64_t LETTER_COUNT = sizeof LETTERS - 1;
    static uint64_t counter = 0;
    uint64_t noise = 0;
    if (getrandom(&noise, sizeof noise, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof noise)) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        noise = (static_cast<uint64_t>(now.tv_nsec) << 16) ^ static_cast<uint64_t>(getpid()) ^
                (++counter * 0x9e3779b97f4a7c15ULL);
    }
    std::string name = ".tessary-save-";
    for (int letter = 0; letter < 8; ++letter) {
        name += LETTERS[noise % LETTER_COUNT];
        noise /= LETTER_COUNT;
    }
    return name;
}

constexpr int NAME_TRIES = 100;

// The new copy of a save, in the target's folder. Where the file system allows it, the copy has
// no name until it is complete, so that a process killed in the middle leaves nothing behind;
// elsewhere it has a hidden name, removed again unless the copy is published.
class Copy {
  public:
    // On failure valid() is false and errno tells why.
    Copy(int folder, mode_t mode) : folder_(folder) {
        descriptor_ = FileDescriptor(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        // A file system or kernel without unnamed files refuses in one of three ways.
        if (descriptor_.valid() || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
            return;
        }
        for (int attempt = 0; attempt < NAME_TRIES; ++attempt) {
            std::string name = TemporaryName();
            descriptor_ = FileDescriptor(openat(
                folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (descriptor_.valid()) {
                name_ = std::move(name);
                return;
            }
            if (errno != EEXIST) {
                return;
            }
        }
    }
    // Keeps errno, so that the cause of a failed save survives the removal of its copy.
    ~Copy() {
        if (!name_.empty()) {
            const int error = errno;
            unlinkat(folder_, name_.c_str(), 0);
            errno = error;
        }
    }
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

    [[nodiscard]] int get() const { return descriptor_.get(); }
    [[nodiscard]] bool valid() const { return descriptor_.valid(); }

    // Gives the complete copy the name `entry`: in place of the file there when `replace`, else
    // only while nothing has that name. NotPossible when the folder refuses the rename.
    [[nodiscard]] Attempt Publish(const std::string& entry, bool replace) {
        if (name_.empty() && !replace) {
            const bool linked = Link(entry);
            if (!descriptor_.Close() || !linked) {
                return Attempt::Failed;
            }
            fsync(folder_); // makes the new entry itself durable; nothing to undo if not
            return Attempt::Done;
        }
        // An unnamed copy gets a name only now, just for the rename.
        for (int attempt = 0; name_.empty() && attempt < NAME_TRIES; ++attempt) {
            std::string name = TemporaryName();
            if (Link(name)) {
                name_ = std::move(name);
            } else if (errno != EEXIST) {
                // A link refused for any reason but a full or failing disk leaves the writing in
                // place, to the file that was opened, still possible.
                return IsDiskFailure(errno) ? Attempt::Failed : Attempt::NotPossible;
            }
        }
        if (name_.empty() || !descriptor_.Close()) {
            return Attempt::Failed;
        }
        const int renamed = replace ? renameat(folder_, name_.c_str(), folder_, entry.c_str())
                                    : RenameWithoutReplacing(entry);
        if (renamed != 0) {
            // A sticky or append-only folder, or a name that is a mount point.
            return IsRefusal(errno) || errno == EBUSY || errno == EXDEV ? Attempt::NotPossible
                                                                        : Attempt::Failed;
        }
        name_.clear();
        fsync(folder_); // makes the new entry itself durable; nothing to undo if not
        return Attempt::Done;
    }

  private:
    [[nodiscard]] bool Link(const std::string& name) const {
        const std::string self = "/proc/self/fd/" + std::to_string(descriptor_.get());
        if (linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        // Without /proc, the kernel links the descriptor itself where this process may.
        return errno == ENOENT &&
               linkat(descriptor_.get(), "", folder_, name.c_str(), AT_EMPTY_PATH) == 0;
    }

    [[nodiscard]] int RenameWithoutReplacing(const std::string& entry) const {
        const int renamed =
            renameat2(folder_, name_.c_str(), folder_, entry.c_str(), RENAME_NOREPLACE);
        if (renamed == 0 || errno != EINVAL) {
            return renamed;
        }
        // A file system that cannot promise it: look once more just before the rename.
        struct stat status {};
        if (fstatat(folder_, entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            errno = EEXIST;
            return -1;
        }
        return renameat(folder_, name_.c_str(), folder_, entry.c_str());
    }

    int folder_;
    FileDescriptor descriptor_{-1};
    std::string name_; // empty while the copy has no name
};

// Writes the bytes to a copy beside the target and renames it over the target, when the copy can
// carry everything the target has: one name, its owner and group, its mode with the set-id and
// sticky bits, and every extended attribute. NotPossible, with the target untouched, when it
// cannot.
Attempt ReplaceByRename(const std::string& path, int target, const struct stat& status,
                        const std::optional<ExtendedAttributes>& attributes, const uint8_t* bytes,
                        int64_t size) {
    if (status.st_nlink != 1 || !attributes) {
        return Attempt::NotPossible; // a copy would leave the other names with the old bytes
    }
    const std::optional<Folder> folder = LocateEntry(path, status);
    if (!folder) {
        return Attempt::NotPossible;
    }
    Copy copy(folder->descriptor.get(), S_IRUSR | S_IWUSR);
    if (!copy.valid()) {
        // A folder that takes no new file sends the save in place; a full or failing disk must
        // not, since in place a failure leaves the target half-written.
        return IsRefusal(errno) ? Attempt::NotPossible : Attempt::Failed;
    }
    // Owner and attributes before the bytes, so that a copy that cannot have them costs no
    // writing.
    if (!CarryOwner(copy.get(), status) || !CarryAttributes(copy.get(), *attributes)) {
        return Attempt::NotPossible;
    }
    if (!WriteFully(copy.get(), bytes, size)) {
        return Attempt::Failed;
    }
    // The mode after the owner, since a change of owner clears the set-id bits; the attributes
    // again, since writing removes file capabilities.
    if (fchmod(copy.get(), status.st_mode & MODE_BITS) != 0 ||
        !CarryAttributes(copy.get(), *attributes) || !HasOwnerAndMode(copy.get(), status)) {
        return Attempt::NotPossible;
    }
    if (fsync(copy.get()) != 0) {
        return Attempt::Failed;
    }
    // The name may have been given to another file, or the file another name, meanwhile.
    struct stat now {};
    if (fstat(target, &now) != 0 || now.st_nlink != 1 ||
        !IsEntryOf(folder->descriptor.get(), folder->entry, status)) {
        return Attempt::NotPossible;
    }
    return copy.Publish(folder->entry, true);
}

// Writes the bytes into the target itself. The room is claimed first, holes included, so that a
// full disk or a file size limit refuses the save before a byte is overwritten; file systems that
// cannot reserve room just go on.
bool WriteInPlace(int target, const struct stat& status,
                  const std::optional<ExtendedAttributes>& attributes, const uint8_t* bytes,
                  int64_t size) {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(size) > limit.rlim_cur) {
        errno = EFBIG;
        return false;
    }
    if (size > 0 && fallocate(target, 0, 0, size) != 0 &&
        (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)) {
        return false;
    }
    if (!WriteFully(target, bytes, size) || ftruncate(target, size) != 0) {
        return false;
    }
    // Writing removes file capabilities, and set-id bits unless the process is privileged: what
    // the process may set again, it does.
    struct stat now {};
    if (fstat(target, &now) == 0 && (now.st_mode & MODE_BITS) != (status.st_mode & MODE_BITS)) {
        fchmod(target, status.st_mode & MODE_BITS);
    }
    // The bytes are in: an attribute the process may not give back is no failed save.
    if (attributes) {
        (void)AddAttributes(target, *attributes);
    }
    return fsync(target) == 0;
}

bool WriteToDevice(FileDescriptor& device, const uint8_t* bytes, int64_t size) {
    const bool written = WriteFully(device.get(), bytes, size);
    return device.Close() && written;
}

// A new file appears under its name complete or not at all, and never in place of a file that
// appeared there meanwhile. The kernel applies the umask, or the folder's default ACL, to its mode.
bool CreateNewFile(const std::string& path, const uint8_t* bytes, int64_t size) {
    const PathParts parts = SplitPath(path);
    if (parts.entry.empty()) {
        errno = EISDIR;
        return false;
    }
    const FileDescriptor folder = OpenFolder(parts.folder);
    if (!folder.valid()) {
        return false;
    }
    Copy copy(folder.get(), S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
    return copy.valid() && WriteFully(copy.get(), bytes, size) && fsync(copy.get()) == 0 &&
           copy.Publish(parts.entry, false) == Attempt::Done;
}

// Nothing under the name. A dangling link is written through, which creates its target and keeps
// the link, as for any program writing to the link.
bool CreateMissing(const std::string& path, const uint8_t* bytes, int64_t size) {
    struct stat linkStatus {};
    if (lstat(path.c_str(), &linkStatus) != 0) {
        return errno == ENOENT && CreateNewFile(path, bytes, size);
    }
    if (!S_ISLNK(linkStatus.st_mode)) {
        errno = EEXIST; // a file that appeared since the open: the save is not repeated blind
        return false;
    }
    FileDescriptor created(open(path.c_str(), O_WRONLY | O_CREAT | TARGET_FLAGS, 0666));
    struct stat status {};
    if (!created.valid() || fstat(created.get(), &status) != 0) {
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return false;
    }
    return WriteInPlace(created.get(), status, std::nullopt, bytes, size) && created.Close();
}

// Opens the target through its name, as any program writing to it would, so that the kernel's
// permission checks and its protection of links in shared folders apply. A file that a program
// runs from cannot be opened for writing, but its name may still be given a new file, as an
// install does, when the process may write the file: it is then opened for reading only.
FileDescriptor OpenTarget(const std::string& path, bool& writable) {
    FileDescriptor file(open(path.c_str(), O_WRONLY | TARGET_FLAGS));
    writable = file.valid();
    if (writable || errno != ETXTBSY) {
        return file;
    }
    FileDescriptor running(open(path.c_str(), O_RDONLY | TARGET_FLAGS));
    if (running.valid() && faccessat(running.get(), "", W_OK, AT_EACCESS | AT_EMPTY_PATH) != 0) {
        errno = EACCES;
        return FileDescriptor(-1);
    }
    return running;
}

// The whole save; on failure, errno tells why.
bool Save(const std::string& path, const uint8_t* bytes, int64_t size, WriteMode mode) {
    if (path.empty() || size < 0 || (size > 0 && bytes == nullptr)) {
        errno = path.empty() ? ENOENT : EINVAL;
        return false;
    }
    bool writable = false;
    FileDescriptor target = OpenTarget(path, writable);
    if (!target.valid()) {
        if (errno == ENOENT) {
            return CreateMissing(path, bytes, size);
        }
        // A FIFO that nobody reads refuses a writer, but it is there all the same.
        return mode == WriteMode::CreateIfMissing && errno == ENXIO;
    }
    struct stat status {};
    if (fstat(target.get(), &status) != 0) {
        return false;
    }
    if (mode == WriteMode::CreateIfMissing) {
        return true; // nothing to write, and an existing file keeps every byte
    }
    if (!S_ISREG(status.st_mode)) {
        return writable && WriteToDevice(target, bytes, size);
    }
    const std::optional<ExtendedAttributes> attributes = ReadAttributes(target.get());
    const Attempt attempt = ReplaceByRename(path, target.get(), status, attributes, bytes, size);
    if (attempt != Attempt::NotPossible) {
        return attempt == Attempt::Done;
    }
    if (!writable) {
        errno = ETXTBSY; // a running program that could not be replaced by a copy
        return false;
    }
    return WriteInPlace(target.get(), status, attributes, bytes, size) && target.Close();
}

} // namespace

SaveResult WriteWholeFile(const std::string& path, const uint8_t* bytes, int64_t size,
                          WriteMode mode) {
    errno = 0;
    if (Save(path, bytes, size, mode)) {
        return {SaveOutcome::Saved, 0};
    }
    // A failure whose cause no call left behind still counts as one.
    return FailedWith(errno != 0 ? errno : EIO);
}
