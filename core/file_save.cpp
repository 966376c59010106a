#include "core/file_save.h"

#include "core/file_attributes.h"
#include "core/file_descriptor.h"
#include "core/path_walk.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <string>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

bool IsLackOfRoom(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// What a save that failed with `error` tells its caller.
SaveResult FailedWith(int error) {
    if (error == ECANCELED) {
        return {SaveOutcome::Cancelled, error};
    }
    if (IsLackOfRoom(error)) {
        return {SaveOutcome::NoRoom, error};
    }
    const bool refused = IsRefusal(error) || error == ETXTBSY || error == EISDIR ||
                         error == ENOTDIR || error == ELOOP || error == ENXIO || error == EEXIST ||
                         error == ENAMETOOLONG || error == EINVAL;
    return {refused ? SaveOutcome::Refused : SaveOutcome::Failed, error};
}

// Errors that say a new copy cannot carry what the target has, so that the save goes in place.
bool CopyCannotCarry(int error) {
    return error == EACCES || error == EPERM || error == ENOTSUP || error == EOPNOTSUPP;
}

Attempt CarryOwner(int copy, const struct stat& target) {
    struct stat status {};
    if (fstat(copy, &status) != 0) {
        return Attempt::Failed;
    }
    if ((status.st_uid == target.st_uid && status.st_gid == target.st_gid) ||
        fchown(copy, target.st_uid, target.st_gid) == 0) {
        return Attempt::Done;
    }
    return CopyCannotCarry(errno) ? Attempt::NotPossible : Attempt::Failed;
}

// Sets the mode only where it differs: a file system that refuses chmod (FAT) still takes a copy
// that already has the right one.
bool CarryMode(int descriptor, mode_t mode) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        return false;
    }
    return (status.st_mode & MODE_BITS) == (mode & MODE_BITS) ||
           fchmod(descriptor, mode & MODE_BITS) == 0;
}

// False also where the kernel quietly dropped a bit, as it drops set-group-ID for a group that the
// process is not in.
bool HasOwnerAndMode(int copy, const struct stat& target) {
    struct stat status {};
    return fstat(copy, &status) == 0 && status.st_uid == target.st_uid &&
           status.st_gid == target.st_gid &&
           (status.st_mode & MODE_BITS) == (target.st_mode & MODE_BITS);
}

// The folder of a save's target, opened so that it can be synced; a folder that may be searched
// but not listed is opened O_PATH, and then only the file system as a whole can be synced.
struct Folder {
    FileDescriptor descriptor{-1};
    bool pathOnly = false;
};

Folder OpenFolder(int walked) {
    Folder folder{FileDescriptor(openat(walked, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)), false};
    if (!folder.descriptor.valid() && errno == EACCES) {
        folder = {FileDescriptor(openat(walked, ".", O_PATH | O_DIRECTORY | O_CLOEXEC)), true};
    }
    return folder;
}

// An append-only or immutable folder takes a new entry but refuses the rename and the removal,
// so a copy linked into it would stay there for good. Where the flags can't be read (a folder
// opened O_PATH, FUSE, NFS), the save goes on.
bool FolderKeepsEveryEntry(const Folder& folder) {
    int flags = 0;
    return !folder.pathOnly && ioctl(folder.descriptor.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
           (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

bool IsEntryOf(int folder, const std::string& entry, const struct stat& file) {
    struct stat status {};
    return fstatat(folder, entry.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           status.st_dev == file.st_dev && status.st_ino == file.st_ino;
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
    Copy(const Folder& folder, mode_t mode)
        : folder_(folder.descriptor.get()), pathOnlyFolder_(folder.pathOnly) {
        descriptor_ = FileDescriptor(openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        // A file system or kernel without unnamed files refuses in one of three ways.
        if (descriptor_.valid() || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
            return;
        }
        for (int attempt = 0; attempt < NAME_TRIES; ++attempt) {
            std::string name = TemporaryName();
            descriptor_ = FileDescriptor(openat(
                folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
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
            if (!linked || !CloseKeepingSyncHandle()) {
                return Attempt::Failed;
            }
            SyncEntry(); // makes the new entry itself durable; nothing to undo if not
            return Attempt::Done;
        }
        // An unnamed copy gets a name only now, just for the rename.
        for (int attempt = 0; name_.empty() && attempt < NAME_TRIES; ++attempt) {
            std::string name = TemporaryName();
            if (Link(name)) {
                name_ = std::move(name);
            } else if (errno != EEXIST) {
                // A folder that refuses the new entry leaves the writing in place, to the file
                // that was opened, still possible; a lack of resources or a failing disk does not.
                return FolderRefusesEntry(errno) ? Attempt::NotPossible : Attempt::Failed;
            }
        }
        if (name_.empty() || !CloseKeepingSyncHandle()) {
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
        SyncEntry(); // makes the new entry itself durable; nothing to undo if not
        return Attempt::Done;
    }

    // Whether an error of linking into the folder says the folder takes no such entry.
    static bool FolderRefusesEntry(int error) {
        return IsRefusal(error) || error == ENAMETOOLONG || error == EXDEV || error == EMLINK ||
               error == ENOTSUP || error == EOPNOTSUPP;
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
        // A file system that cannot promise it: a second link fails at once where the name is
        // taken, and the hidden name then goes.
        if (linkat(folder_, name_.c_str(), folder_, entry.c_str(), 0) == 0) {
            unlinkat(folder_, name_.c_str(), 0);
            return 0;
        }
        if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS) {
            return -1;
        }
        return RenameOverPlaceholder(entry);
    }

    // Without hard links (FAT) the name is first taken by an empty file of this save, which the
    // copy then replaces: a file that appears under the name meanwhile is never replaced.
    [[nodiscard]] int RenameOverPlaceholder(const std::string& entry) const {
        const FileDescriptor placeholder(
            openat(folder_, entry.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   S_IRUSR | S_IWUSR));
        struct stat own {};
        if (!placeholder.valid() || fstat(placeholder.get(), &own) != 0) {
            return -1;
        }
        if (renameat(folder_, name_.c_str(), folder_, entry.c_str()) == 0) {
            return 0;
        }
        if (IsEntryOf(folder_, entry, own)) {
            const int error = errno;
            unlinkat(folder_, entry.c_str(), 0);
            errno = error;
        }
        return -1;
    }

    // Closes the copy, reporting a failed close; where the folder can only be synced through its
    // file system, a second descriptor of the copy stays open for that.
    [[nodiscard]] bool CloseKeepingSyncHandle() {
        if (pathOnlyFolder_) {
            syncHandle_ = FileDescriptor(fcntl(descriptor_.get(), F_DUPFD_CLOEXEC, 0));
        }
        return descriptor_.Close();
    }

    void SyncEntry() const {
        if (!pathOnlyFolder_) {
            fsync(folder_);
        } else if (syncHandle_.valid()) {
            syncfs(syncHandle_.get());
        }
    }

    int folder_;
    bool pathOnlyFolder_;
    FileDescriptor descriptor_{-1};
    FileDescriptor syncHandle_{-1};
    std::string name_; // empty while the copy has no name
};

// Writes the bytes to a copy beside the target and renames it over the target, when the copy can
// carry everything the target has: one name, its owner and group, its mode with the set-id and
// sticky bits, and every extended attribute. NotPossible, with the target untouched, when it
// cannot; Failed, with the target untouched, for any other error.
Attempt ReplaceByRename(const WalkedPath& walked, int target, const struct stat& status,
                        const std::optional<ExtendedAttributes>& attributes, const uint8_t* bytes,
                        int64_t size, const ProgressCallback& progress) {
    if (status.st_nlink != 1 || !attributes) {
        return Attempt::NotPossible; // a copy would leave the other names with the old bytes
    }
    const Folder folder = OpenFolder(walked.folder.get());
    if (!folder.descriptor.valid()) {
        return Attempt::Failed;
    }
    if (!IsEntryOf(folder.descriptor.get(), walked.entry, status) ||
        FolderKeepsEveryEntry(folder)) {
        return Attempt::NotPossible;
    }
    Copy copy(folder, S_IRUSR | S_IWUSR);
    if (!copy.valid()) {
        // A folder that takes no new file sends the save in place; a full or failing disk must
        // not, since in place a failure leaves the target half-written.
        return IsRefusal(errno) ? Attempt::NotPossible : Attempt::Failed;
    }
    // Owner and attributes before the bytes, so that a copy that cannot have them costs no
    // writing.
    if (const Attempt owner = CarryOwner(copy.get(), status); owner != Attempt::Done) {
        return owner;
    }
    if (!CarryAttributes(copy.get(), *attributes)) {
        return CopyCannotCarry(errno) ? Attempt::NotPossible : Attempt::Failed;
    }
    if (!WriteFully(copy.get(), bytes, size, progress)) {
        return Attempt::Failed;
    }
    // The mode after the owner, since a change of owner clears the set-id bits; the attributes
    // again, since writing removes file capabilities.
    if (!CarryMode(copy.get(), status.st_mode) || !CarryAttributes(copy.get(), *attributes)) {
        return CopyCannotCarry(errno) ? Attempt::NotPossible : Attempt::Failed;
    }
    if (!HasOwnerAndMode(copy.get(), status)) {
        return Attempt::NotPossible;
    }
    if (fsync(copy.get()) != 0) {
        return Attempt::Failed;
    }
    // The name may have been given to another file, or the file another name, meanwhile.
    struct stat now {};
    if (fstat(target, &now) != 0) {
        return Attempt::Failed;
    }
    if (now.st_nlink != 1 || !IsEntryOf(folder.descriptor.get(), walked.entry, status)) {
        return Attempt::NotPossible;
    }
    return copy.Publish(walked.entry, true);
}

// Where the file system cannot claim room, the blocks the file lacks must fit in the free space,
// with a margin for the blocks that index them; where it reports no space at all, the file's own
// blocks must hold the new size.
bool RoomFitsWithoutClaiming(int target, const struct stat& before, int64_t size) {
    const int64_t lacking = size - static_cast<int64_t>(before.st_blocks) * 512;
    if (lacking <= 0) {
        return true;
    }
    struct statvfs disk {};
    if (fstatvfs(target, &disk) != 0) {
        return false;
    }
    const uint64_t freeBlocks = geteuid() == 0 ? disk.f_bfree : disk.f_bavail;
    const uint64_t blockSize = disk.f_frsize != 0 ? disk.f_frsize : disk.f_bsize;
    const uint64_t margin = static_cast<uint64_t>(lacking) / 256 + 16 * blockSize;
    if (disk.f_blocks == 0 || static_cast<uint64_t>(lacking) + margin > freeBlocks * blockSize) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

// Claims room for `size` bytes in the target, holes included, before a byte is overwritten. A
// claim that fails part way gives back the length it added; holes it filled may stay filled.
bool ClaimRoom(int target, int64_t size) {
    struct stat before {};
    if (fstat(target, &before) != 0) {
        return false;
    }
    if (size == 0 || fallocate(target, 0, 0, size) == 0) {
        return true;
    }
    const int error = errno;
    if (error == EOPNOTSUPP || error == ENOSYS) {
        return RoomFitsWithoutClaiming(target, before, size);
    }
    struct stat after {};
    if (fstat(target, &after) == 0 && after.st_size != before.st_size) {
        (void)ftruncate(target, before.st_size);
    }
    errno = error;
    return false;
}

// Writes the bytes into the target itself, after claiming the room, so that a full disk or a file
// size limit refuses the save before a byte is overwritten.
bool WriteInPlace(int target, const struct stat& status,
                  const std::optional<ExtendedAttributes>& attributes, const uint8_t* bytes,
                  int64_t size, const ProgressCallback& progress) {
    // The last moment a cancel leaves the target as it was.
    if (progress && !progress(0, size, true)) {
        errno = ECANCELED;
        return false;
    }
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(size) > limit.rlim_cur) {
        errno = EFBIG;
        return false;
    }
    if (!ClaimRoom(target, size) || !WriteFully(target, bytes, size, progress, false)) {
        return false;
    }
    // A file system that refuses truncation (FAT through FUSE) is asked only for a real change.
    struct stat now {};
    if (fstat(target, &now) != 0 || (now.st_size != size && ftruncate(target, size) != 0)) {
        return false;
    }
    // Writing removes file capabilities, and set-id bits unless the process is privileged: what
    // the process may set again, it does.
    (void)CarryMode(target, status.st_mode);
    // The bytes are in: an attribute the process may not give back is no failed save.
    if (attributes) {
        (void)AddAttributes(target, *attributes);
    }
    return fsync(target) == 0;
}

bool WriteToDevice(FileDescriptor& device, const uint8_t* bytes, int64_t size,
                   const ProgressCallback& progress) {
    const bool written = WriteFully(device.get(), bytes, size, progress, false);
    return device.Close() && written;
}

// A file deleted since its load comes back with the owner, group and mode it had, as far as the
// process may set them; set-id bits only with the owner and group they were given for.
void CarryLoadedOwnerAndMode(int copy, const FileIdentity& loaded) {
    const bool owned = fchown(copy, loaded.owner, loaded.group) == 0;
    (void)CarryMode(copy, owned ? loaded.mode : loaded.mode & ~(S_ISUID | S_ISGID));
}

// Nothing under the name the walk ended at (the name itself, or where a link leads). The new file
// appears there complete or not at all, and never in place of a file that appeared meanwhile. Its
// mode is the umask's (or the folder's default ACL's), or the loaded file's where one was loaded.
bool CreateMissing(const WalkedPath& walked, const uint8_t* bytes, int64_t size,
                   const std::optional<FileIdentity>& loaded, const ProgressCallback& progress) {
    const Folder folder = OpenFolder(walked.folder.get());
    if (!folder.descriptor.valid()) {
        return false;
    }
    constexpr mode_t EVERYONE_READ_WRITE =
        S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
    Copy copy(folder, loaded ? S_IRUSR | S_IWUSR : EVERYONE_READ_WRITE);
    if (!copy.valid() || !WriteFully(copy.get(), bytes, size, progress)) {
        return false;
    }
    if (loaded) {
        CarryLoadedOwnerAndMode(copy.get(), *loaded);
    }
    return fsync(copy.get()) == 0 && copy.Publish(walked.entry, false) == Attempt::Done;
}

// Opens the entry the walk ended at, never through a link put there since, so that the kernel's
// permission checks apply. A file that a program runs from cannot be opened for writing, but its
// name may still be given a new file, as an install does, when the process may write the file: it
// is then opened for reading only.
FileDescriptor OpenTarget(const WalkedPath& walked, bool& writable) {
    const int folder = walked.folder.get();
    const char* entry = walked.entry.c_str();
    FileDescriptor file(openat(folder, entry, O_WRONLY | O_NOFOLLOW | TARGET_FLAGS));
    writable = file.valid();
    if (writable || errno != ETXTBSY) {
        return file;
    }
    FileDescriptor running(openat(folder, entry, O_RDONLY | O_NOFOLLOW | TARGET_FLAGS));
    if (running.valid() && faccessat(running.get(), "", W_OK, AT_EACCESS | AT_EMPTY_PATH) != 0) {
        errno = EACCES;
        return FileDescriptor(-1);
    }
    return running;
}

// What a save of a loaded file refuses: a link where the load found none, anything but a regular
// file (a load takes regular files only).
bool DiffersFromLoaded(const FileIdentity& loaded, bool nameIsLink, mode_t type) {
    if (nameIsLink && !loaded.wasLink) {
        errno = ELOOP;
        return true;
    }
    if (!S_ISREG(type)) {
        errno = S_ISDIR(type) ? EISDIR : EINVAL;
        return true;
    }
    return false;
}

// The whole save; on failure, errno tells why.
bool Save(const std::string& path, const uint8_t* bytes, int64_t size, WriteMode mode,
          const std::optional<FileIdentity>& loaded, const ProgressCallback& progress) {
    if (path.empty() || size < 0 || (size > 0 && bytes == nullptr)) {
        errno = path.empty() ? ENOENT : EINVAL;
        return false;
    }
    const std::optional<WalkedPath> walked = WalkPath(path);
    if (!walked) {
        return false;
    }
    if (loaded && walked->nameIsLink && !loaded->wasLink) {
        errno = ELOOP; // checked before anything is created through it
        return false;
    }
    if (!walked->exists) {
        return CreateMissing(*walked, bytes, size, loaded, progress);
    }
    if (loaded && DiffersFromLoaded(*loaded, walked->nameIsLink, walked->status.st_mode)) {
        return false;
    }
    bool writable = false;
    FileDescriptor target = OpenTarget(*walked, writable);
    if (!target.valid()) {
        if (errno == ENOENT) {
            return CreateMissing(*walked, bytes, size, loaded, progress);
        }
        // A FIFO that nobody reads refuses a writer, but it is there all the same.
        return mode == WriteMode::CreateIfMissing && errno == ENXIO;
    }
    struct stat status {};
    if (fstat(target.get(), &status) != 0) {
        return false;
    }
    if (!OwnerAllowed(*walked, status.st_uid)) {
        errno = EACCES;
        return false;
    }
    if (loaded && DiffersFromLoaded(*loaded, false, status.st_mode)) {
        return false;
    }
    if (mode == WriteMode::CreateIfMissing) {
        return true; // nothing to write, and an existing file keeps every byte
    }
    if (!S_ISREG(status.st_mode)) {
        return writable && WriteToDevice(target, bytes, size, progress);
    }
    const std::optional<ExtendedAttributes> attributes = ReadAttributes(target.get());
    if (!attributes && !CopyCannotCarry(errno)) {
        return false; // still unreadable after its retries: a failing disk or too few resources
    }
    const Attempt attempt =
        ReplaceByRename(*walked, target.get(), status, attributes, bytes, size, progress);
    if (attempt != Attempt::NotPossible) {
        return attempt == Attempt::Done;
    }
    if (!writable) {
        errno = ETXTBSY; // a running program that could not be replaced by a copy
        return false;
    }
    return WriteInPlace(target.get(), status, attributes, bytes, size, progress) && target.Close();
}

} // namespace

SaveResult WriteWholeFile(const std::string& path, const uint8_t* bytes, int64_t size,
                          WriteMode mode, const std::optional<FileIdentity>& loaded,
                          const ProgressCallback& progress) {
    errno = 0;
    if (Save(path, bytes, size, mode, loaded, progress)) {
        return {SaveOutcome::Saved, 0};
    }
    // A failure whose cause no call left behind still counts as one.
    return FailedWith(errno != 0 ? errno : EIO);
}
