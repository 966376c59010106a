#include "core/file_descriptor.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Linux moves at most this many bytes in one read or write call.
constexpr int64_t LARGEST_TRANSFER = 0x7ffff000;

int64_t StepSize(const ProgressCallback& progress) {
    return progress ? PROGRESS_CHUNK_SIZE : LARGEST_TRANSFER;
}

// Starts the disk writing [start, end) and waits for the chunk before it, [previous, start), so
// that at most two chunks wait in memory. A file that cannot be pushed this way (a device, a
// pipe) is left to its final flush.
void PushToDisk(int descriptor, int64_t previous, int64_t start, int64_t end) {
    (void)sync_file_range(descriptor, start, end - start, SYNC_FILE_RANGE_WRITE);
    if (start > previous) {
        (void)sync_file_range(descriptor, previous, start - previous,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                  SYNC_FILE_RANGE_WAIT_AFTER);
    }
}

} // namespace

bool ReadFully(int descriptor, uint8_t* bytes, int64_t size, const ProgressCallback& progress) {
    const int64_t step = StepSize(progress);
    int64_t done = 0;
    while (done < size) {
        const auto wanted = static_cast<std::size_t>(std::min(size - done, step));
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
        if (progress && !progress(done, size, true)) {
            errno = ECANCELED;
            return false;
        }
    }
    return true;
}

bool WriteFully(int descriptor, const uint8_t* bytes, int64_t size,
                const ProgressCallback& progress, bool cancellable) {
    const int64_t step = StepSize(progress);
    int64_t done = 0;
    int64_t pushed = 0; // where the chunk last sent on to the disk starts
    while (done < size) {
        const auto wanted = static_cast<std::size_t>(std::min(size - done, step));
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
        if (progress) {
            PushToDisk(descriptor, pushed, done, done + written);
            pushed = done;
        }
        done += written;
        if (progress && !progress(done, size, cancellable) && cancellable) {
            errno = ECANCELED;
            return false;
        }
    }
    return true;
}
