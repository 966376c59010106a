#include "core/file_descriptor.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

// Linux moves at most this many bytes in one read or write call.
constexpr int64_t LARGEST_TRANSFER = 0x7ffff000;

} // namespace

bool ReadFully(int descriptor, uint8_t* bytes, int64_t size) {
    int64_t done = 0;
    while (done < size) {
        const auto wanted = static_cast<std::size_t>(std::min(size - done, LARGEST_TRANSFER));
        const ssize_t got = read(descriptor, bytes + done, wanted);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got == 0) {
            errno = ENODATA; // the file ended early: it shrank after it was opened
            return false;
        }
        if (got < 0) {
            return false;
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
        if (written == 0) {
            errno = EIO; // the kernel took nothing and said nothing: no progress is possible
            return false;
        }
        if (written < 0) {
            return false;
        }
        done += written;
    }
    return true;
}
