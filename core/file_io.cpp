#include "core/file_io.h"

#include "core/file_descriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

std::string WithoutTrailingSlashes(std::string name) {
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    return name;
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

ReadResult ReadWholeFile(const std::string& name, const ProgressCallback& progress) {
    ReadResult result;
    const auto fail = [&result](ReadOutcome outcome, int error) {
        result.outcome = outcome;
        result.error = error;
        return std::move(result);
    };
    // O_NONBLOCK: a pipe put in the file's place after the size query must not hang the open.
    constexpr int READ_FLAGS = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    // Opened without following a link first, so that the identity says whether the name was one.
    FileDescriptor file(open(name.c_str(), READ_FLAGS | O_NOFOLLOW));
    result.identity.wasLink = !file.valid() && errno == ELOOP;
    if (result.identity.wasLink) {
        file = FileDescriptor(open(name.c_str(), READ_FLAGS));
    }
    struct stat status {};
    if (!file.valid() || fstat(file.get(), &status) != 0) {
        return fail(ReadOutcome::OpenFailed, errno);
    }
    result.identity.device = status.st_dev;
    result.identity.inode = status.st_ino;
    result.identity.type = status.st_mode & S_IFMT;
    result.identity.owner = status.st_uid;
    result.identity.group = status.st_gid;
    result.identity.mode = status.st_mode & 07777;
    if (!S_ISREG(status.st_mode)) {
        return fail(ReadOutcome::OpenFailed, S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    }
    result.size = status.st_size;
    if (result.size <= 0) {
        result.outcome = ReadOutcome::Empty;
        return result;
    }
    if (result.size > LARGEST_FILE_SIZE) {
        return fail(ReadOutcome::TooLarge, EFBIG);
    }
    std::optional<ByteBlock> block = ByteBlock::AllocateZeroed(result.size);
    if (!block) {
        return fail(ReadOutcome::NoMemory, ENOMEM);
    }
    if (!ReadFully(file.get(), block->data(), result.size, progress)) {
        return fail(errno == ECANCELED ? ReadOutcome::Cancelled : ReadOutcome::ReadFailed, errno);
    }
    result.bytes = std::move(*block);
    result.outcome = ReadOutcome::Loaded;
    return result;
}
