#include "core/byte_block.h"

#include <cstdlib>
#include <sys/mman.h>
#include <utility>

namespace {
// Below this, the C library's allocator is as fast and wastes less.
constexpr int64_t MAPPED_BLOCK_THRESHOLD = 1 << 20;
} // namespace

ByteBlock::~ByteBlock() {
    Release();
}

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
    if (this != &other) {
        Release();
        bytes_ = std::exchange(other.bytes_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

std::optional<ByteBlock> ByteBlock::AllocateZeroed(int64_t size) {
    if (size <= 0 || static_cast<uint64_t>(size) > SIZE_MAX / 2) {
        return std::nullopt;
    }
    ByteBlock block;
    const auto length = static_cast<std::size_t>(size);
    if (size >= MAPPED_BLOCK_THRESHOLD) {
        void* memory =
            mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            return std::nullopt;
        }
        madvise(memory, length, MADV_HUGEPAGE); // a hint only; small pages work as well
        block.bytes_ = static_cast<uint8_t*>(memory);
        block.mapped_ = true;
    } else {
        block.bytes_ = static_cast<uint8_t*>(std::calloc(length, 1));
        if (block.bytes_ == nullptr) {
            return std::nullopt;
        }
    }
    block.size_ = size;
    return block;
}

void ByteBlock::Release() {
    if (bytes_ != nullptr) {
        if (mapped_) {
            munmap(bytes_, static_cast<std::size_t>(size_));
        } else {
            std::free(bytes_);
        }
    }
    bytes_ = nullptr;
    size_ = 0;
    mapped_ = false;
}
