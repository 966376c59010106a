// One zero-filled block of memory that holds a file's bytes.
#pragma once

#include <cstdint>
#include <optional>

class ByteBlock {
  public:
    ByteBlock() = default;
    ~ByteBlock();
    ByteBlock(ByteBlock&& other) noexcept;
    ByteBlock& operator=(ByteBlock&& other) noexcept;
    ByteBlock(const ByteBlock&) = delete;
    ByteBlock& operator=(const ByteBlock&) = delete;

    // A new block of `size` zero bytes, or nothing when size is not positive or the memory cannot
    // be had. Large blocks come straight from the kernel, already zero and backed by huge pages
    // where the system allows, so that filling them costs no extra pass over the memory.
    [[nodiscard]] static std::optional<ByteBlock> AllocateZeroed(int64_t size);

    [[nodiscard]] uint8_t* data() { return bytes_; }
    [[nodiscard]] const uint8_t* data() const { return bytes_; }
    [[nodiscard]] int64_t size() const { return size_; }

  private:
    void Release();

    uint8_t* bytes_ = nullptr;
    int64_t size_ = 0;
    bool mapped_ = false;
};
