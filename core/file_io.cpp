#include "core/file_io.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Linux moves at most this many bytes in one read or write call.
constexpr int64_t LARGEST_TRANSFER = 0x7ffff000;

// Every open of a save's target: a FIFO or device put under the name must neither block the open
// nor become the program's terminal.
constexpr int TARGET_FLAGS = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Permission, set-id and sticky bits.
constexpr mode_t MODE_BITS = 07777;

std::string WithoutTrailingSlashes(std::string name) {
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    return name;
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~FileDescriptor() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }
    FileDescriptor(FileDescriptor&& other) noexcept
        : descriptor_(std::exchange(other.descriptor_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (descriptor_ >= 0) {
                close(descriptor_);
            }
            descriptor_ = std::exchange(other.descriptor_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    [[nodiscard]] int get() const { return descriptor_; }
    [[nodiscard]] bool valid() const { return descriptor_ >= 0; }
    // Closes now and reports whether the close succeeded: a failed close can mean lost data.
    [[nodiscard]] bool Close() {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return descriptor < 0 || close(descriptor) == 0;
    }

  private:
    int descriptor_;
};

bool ReadFully(int descriptor, uint8_t* bytes, int64_t size) {
    int64_t done = 0;
    while (done < size) {
        const auto wanted = static_cast<std::size_t>(std::min(size - done, LARGEST_TRANSFER));
        const ssize_t got = read(descriptor, bytes + done, wanted);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false; // an error, or the file ended early: it shrank after it was opened
        }
        done += got;
    }
    return true;
}

bool WriteFully(int descriptor, const uint8_t* bytes, int64_t size) {
    int64_t done = 0;
    while (done < size) {
        const auto wanted = static_cast<std::size_t>(std::min(size - done, LARGEST_TRANSFER));
        const ssize_t written = pwrite(descriptor, bytes + done, wanted, done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += written;
    }
    return true;
}

enum class Attempt { Done, Failed, NotPossible };

// Errors that say this process may not make the change there, as opposed to a disk that failed.
bool IsRefusal(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

bool IsDiskFailure(int error) {
    return error == ENOSPC || error == EDQUOT || error == EIO || error == EFBIG;
}

struct ExtendedAttribute {
    std::string name;
    std::vector<char> value;
};

bool operator==(const ExtendedAttribute& left, const ExtendedAttribute& right) {
    return left.name == right.name && left.value == right.value;
}

// Sorted by name.
using ExtendedAttributes = std::vector<ExtendedAttribute>;

// Attributes can change while they are read: a list or value that grew between the size query and
// the read is asked for again, a few times.
constexpr int ATTRIBUTE_READ_TRIES = 8;

std::optional<std::vector<char>> ReadAttribute(int descriptor, const std::string& name) {
    for (int attempt = 0; attempt < ATTRIBUTE_READ_TRIES; ++attempt) {
        const ssize_t size = fgetxattr(descriptor, name.c_str(), nullptr, 0);
        if (size < 0) {
            return std::nullopt;
        }
        std::vector<char> value(static_cast<std::size_t>(size));
        const ssize_t got = fgetxattr(descriptor, name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno != ERANGE) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Every extended attribute of an open file that this process can see: nothing when one of them
// cannot be read, an empty list on a file system that has none.
std::optional<ExtendedAttributes> ReadAttributes(int descriptor) {
    std::vector<char> names;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = flistxattr(descriptor, nullptr, 0);
        if (size < 0) {
            return errno == ENOTSUP ? std::optional<ExtendedAttributes>(ExtendedAttributes{})
                                    : std::nullopt;
        }
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = flistxattr(descriptor, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE || attempt + 1 == ATTRIBUTE_READ_TRIES) {
            return std::nullopt;
        }
    }
    ExtendedAttributes attributes;
    for (auto start = names.begin(); start != names.end();) {
        const auto end = std::find(start, names.end(), '\0');
        std::string name(start, end);
        start = end == names.end() ? end : end + 1;
        if (name.empty()) {
            continue;
        }
        std::optional<std::vector<char>> value = ReadAttribute(descriptor, name);
        if (!value) {
            return std::nullopt;
        }
        attributes.push_back({std::move(name), std::move(*value)});
    }
    std::sort(attributes.begin(), attributes.end(),
              [](const ExtendedAttribute& left, const ExtendedAttribute& right) {
                  return left.name < right.name;
              });
    return attributes;
}

const ExtendedAttribute* FindAttribute(const ExtendedAttributes& attributes,
                                       const std::string& name) {
    const auto found = std::find_if(
        attributes.begin(), attributes.end(),
        [&name](const ExtendedAttribute& attribute) { return attribute.name == name; });
    return found == attributes.end() ? nullptr : &*found;
}

// Gives the file each of `wanted` that it lacks or holds with another value.
bool AddAttributes(int descriptor, const ExtendedAttributes& wanted) {
    const std::optional<ExtendedAttributes> held = ReadAttributes(descriptor);
    if (!held) {
        return false;
    }
    for (const ExtendedAttribute& attribute : wanted) {
        const ExtendedAttribute* same = FindAttribute(*held, attribute.name);
        if (same != nullptr && same->value == attribute.value) {
            continue; // setting a label to the value it has can still need rights
        }
        if (fsetxattr(descriptor, attribute.name.c_str(), attribute.value.data(),
                      attribute.value.size(), 0) != 0) {
            return false;
        }
    }
    return true;
}

// Makes the copy's extended attributes exactly `wanted`: what its folder gave the new file (a
// default ACL, say) and the target lacks goes, and whatever the target has is added.
bool CarryAttributes(int copy, const ExtendedAttributes& wanted) {
    const std::optional<ExtendedAttributes> held = ReadAttributes(copy);
    if (!held) {
        return false;
    }
    for (const ExtendedAttribute& attribute : *held) {
        if (FindAttribute(wanted, attribute.name) == nullptr &&
            fremovexattr(copy, attribute.name.c_str()) != 0) {
            return false;
        }
    }
    return AddAttributes(copy, wanted) && ReadAttributes(copy) == wanted;
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
    ~Copy() {
        if (!name_.empty()) {
            unlinkat(folder_, name_.c_str(), 0);
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
    if (attributes) {
        AddAttributes(target, *attributes);
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
        return false; // a file that appeared since the open: the save is not repeated blind
    }
    FileDescriptor created(open(path.c_str(), O_WRONLY | O_CREAT | TARGET_FLAGS, 0666));
    struct stat status {};
    if (!created.valid() || fstat(created.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
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

} // namespace

int64_t QueryFileSize(const std::string& name) {
    if (name.empty()) {
        return -1;
    }
    struct stat status {};
    if (stat(WithoutTrailingSlashes(name).c_str(), &status) != 0) {
        return -1;
    }
    if (S_ISDIR(status.st_mode)) {
        return -2;
    }
    return S_ISREG(status.st_mode) ? static_cast<int64_t>(status.st_size) : 0;
}

ReadResult ReadWholeFile(const std::string& name) {
    ReadResult result;
    // O_NONBLOCK: a pipe put in the file's place after the size query must not hang the open.
    FileDescriptor file(open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat status {};
    if (!file.valid() || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        result.outcome = ReadOutcome::OpenFailed;
        return result;
    }
    result.size = status.st_size;
    if (result.size <= 0) {
        result.outcome = ReadOutcome::Empty;
        return result;
    }
    if (result.size > LARGEST_FILE_SIZE) {
        result.outcome = ReadOutcome::TooLarge;
        return result;
    }
    std::optional<ByteBlock> block = ByteBlock::AllocateZeroed(result.size);
    if (!block) {
        result.outcome = ReadOutcome::NoMemory;
        return result;
    }
    if (!ReadFully(file.get(), block->data(), result.size)) {
        result.outcome = ReadOutcome::ReadFailed;
        return result;
    }
    result.bytes = std::move(*block);
    result.outcome = ReadOutcome::Loaded;
    return result;
}

bool WriteWholeFile(const std::string& path, const uint8_t* bytes, int64_t size, WriteMode mode) {
    if (path.empty() || size < 0 || (size > 0 && bytes == nullptr)) {
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
    return writable && WriteInPlace(target.get(), status, attributes, bytes, size) &&
           target.Close();
}
