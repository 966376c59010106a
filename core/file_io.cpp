#include "core/file_io.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Linux moves at most this many bytes in one read or write call.
constexpr int64_t LARGEST_TRANSFER = 0x7ffff000;

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

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save really replaces: a link is followed so that the link itself stays.
std::string ResolveTarget(const std::string& path) {
    struct stat linkStatus {};
    if (lstat(path.c_str(), &linkStatus) != 0 || !S_ISLNK(linkStatus.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path; // a dangling link: writing through it in place creates its target
}

enum class Attempt { Done, Failed, NotPossible };

Attempt WriteThroughTemporary(const std::string& target, const struct stat* existing,
                              const uint8_t* bytes, int64_t size) {
    const std::string folder = FolderOf(target);
    std::string pattern = folder + "/.tessary-save-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    FileDescriptor temporary(mkostemp(name.data(), O_CLOEXEC));
    if (!temporary.valid()) {
        // Only a folder that refuses new files, or a target so close to the longest path that
        // the temporary's name no longer fits, sends the save in place; a full or failing disk
        // must not, or the target would be left half-written.
        return errno == EACCES || errno == EPERM || errno == ENAMETOOLONG ? Attempt::NotPossible
                                                                          : Attempt::Failed;
    }
    const std::string temporaryName(name.data());
    const mode_t mode =
        existing != nullptr ? (existing->st_mode & 07777) : (0666 & ~CurrentUmask());
    bool written = fchmod(temporary.get(), mode) == 0;
    if (written && existing != nullptr && geteuid() == 0) {
        // Root saving somebody else's file must not make it root's.
        written = fchown(temporary.get(), existing->st_uid, existing->st_gid) == 0;
    }
    written = written && WriteFully(temporary.get(), bytes, size) && fsync(temporary.get()) == 0;
    written = temporary.Close() && written;
    if (!written || rename(temporaryName.c_str(), target.c_str()) != 0) {
        unlink(temporaryName.c_str());
        return Attempt::Failed;
    }
    FileDescriptor folderDescriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderDescriptor.valid()) {
        fsync(folderDescriptor.get()); // makes the rename itself durable; nothing to undo if not
    }
    return Attempt::Done;
}

bool WriteInPlace(const std::string& target, bool regular, const uint8_t* bytes, int64_t size) {
    // A pipe or device must not block the program: it takes what it can at once or fails.
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | (regular ? 0 : O_NONBLOCK);
    FileDescriptor file(open(target.c_str(), flags, 0666));
    if (!file.valid()) {
        return false;
    }
    struct stat status {};
    if (fstat(file.get(), &status) != 0) {
        return false;
    }
    // Claiming the space first turns a full disk into a clean refusal before a byte is
    // overwritten; file systems that cannot reserve space just go on.
    if (S_ISREG(status.st_mode) && size > status.st_size &&
        fallocate(file.get(), 0, 0, size) != 0 && (errno == ENOSPC || errno == EFBIG)) {
        return false;
    }
    bool written = WriteFully(file.get(), bytes, size);
    if (S_ISREG(status.st_mode)) {
        written = written && ftruncate(file.get(), size) == 0 && fsync(file.get()) == 0;
    }
    return file.Close() && written;
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
    const std::string target = ResolveTarget(path);
    struct stat status {};
    const bool exists = stat(target.c_str(), &status) == 0;
    if (exists && (S_ISDIR(status.st_mode) || access(target.c_str(), W_OK) != 0)) {
        return false; // a file the user may not write stays as it is, even if its folder is open
    }
    if (mode == WriteMode::CreateIfMissing && exists) {
        return true; // nothing to write, and an existing file keeps every byte
    }
    const bool regular = !exists || S_ISREG(status.st_mode);
    // A dangling link: a rename would put a file in the link's place, while an open through the
    // link creates its target and keeps the link.
    struct stat linkStatus {};
    const bool danglingLink = !exists && lstat(target.c_str(), &linkStatus) == 0;
    if (regular && !danglingLink) {
        const Attempt attempt =
            WriteThroughTemporary(target, exists ? &status : nullptr, bytes, size);
        if (attempt != Attempt::NotPossible) {
            return attempt == Attempt::Done;
        }
    }
    return WriteInPlace(target, regular, bytes, size);
}
