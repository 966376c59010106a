// An open file descriptor that closes itself, and the loops that move whole buffers through one.
// Used by the core's file reading and saving only.
#pragma once

#include "core/progress.h"

#include <cerrno>
#include <cstdint>
#include <unistd.h>
#include <utility>

class FileDescriptor {
  public:
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    // Keeps errno, so that a failure's cause survives the descriptors closed on the way out.
    ~FileDescriptor() {
        if (descriptor_ >= 0) {
            const int error = errno;
            close(descriptor_);
            errno = error;
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

// Reads exactly `size` bytes from the descriptor's current offset; false on an error or when the
// file ends first, with errno the error's, or ENODATA for the early end, or ECANCELED when
// `progress` asked to stop.
[[nodiscard]] bool ReadFully(int descriptor, uint8_t* bytes, int64_t size,
                             const ProgressCallback& progress = {});
// Writes exactly `size` bytes from offset 0 on; false on any error, with errno telling which, or
// ECANCELED when `progress` asked to stop while `cancellable`. With `progress`, each chunk is sent
// on to the disk as it is written, so that the reports follow the disk and no long flush waits at
// the end.
[[nodiscard]] bool WriteFully(int descriptor, const uint8_t* bytes, int64_t size,
                              const ProgressCallback& progress = {}, bool cancellable = true);
