#include "support/reference.h"

#include "core/byte_view.h"

#include <algorithm>
#include <cstring>
#include <limits>

int32_t ScanForPatternSunday(int32_t start, const uint8_t* buffer, int32_t size,
                             const uint8_t* pattern, int32_t patternLength) {
    // Callers never pass a negative start, length or size; answering "not found" keeps such a call
    // from reading anything.
    if (pattern == nullptr || start < 0 || size < 0 || patternLength < 0) {
        return 0;
    }
    const int64_t m = patternLength;
    if (m == 0) {
        // Position size + 1 does not fit when start == size == INT32_MAX.
        return start <= size && start < INT32_MAX ? start + 1 : 0;
    }
    const int64_t lastStart = int64_t{size} - m;
    if (start > lastStart) {
        return 0;
    }
    // A single window needs no shift, and skipping the table here keeps m + 1 within int32_t.
    if (start == lastStart) {
        return std::memcmp(buffer + start, pattern, static_cast<size_t>(m)) == 0 ? start + 1 : 0;
    }
    int32_t shiftTable[256];
    for (int32_t& shift : shiftTable) {
        shift = patternLength + 1;
    }
    for (int32_t i = 0; i < patternLength; ++i) {
        shiftTable[pattern[i]] = patternLength - i;
    }
    int64_t pos = start;
    while (pos + m <= size) {
        if (std::memcmp(buffer + pos, pattern, static_cast<size_t>(m)) == 0) {
            return static_cast<int32_t>(pos + 1);
        }
        if (pos + m == size) {
            return 0;
        }
        pos += shiftTable[buffer[pos + m]];
    }
    return 0;
}

std::vector<ScanPath> AvailableScanPaths() {
    std::vector<ScanPath> paths;
    for (const ScanPath path : {ScanPath::Portable, ScanPath::Sse2, ScanPath::Avx2}) {
        if (ScanPathAvailable(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

const char* ScanPathName(ScanPath path) {
    switch (path) {
    case ScanPath::Portable:
        return "portable";
    case ScanPath::Sse2:
        return "SSE2";
    case ScanPath::Avx2:
        return "AVX2";
    }
    return "?";
}

std::string Blanks(int32_t count) {
    return count <= 0 ? std::string() : std::string(static_cast<size_t>(count), ' ');
}

ExactBlock::ExactBlock(int64_t size)
    : size_(std::max<int64_t>(0, size)), bytes_(new uint8_t[static_cast<std::size_t>(size_)]()) {}

ExactBlock::ExactBlock(const uint8_t* bytes, int64_t size) : ExactBlock(size) {
    if (size_ > 0) {
        std::memcpy(bytes_.get(), bytes, static_cast<std::size_t>(size_));
    }
}

ExactBlock::ExactBlock(const std::string& bytes)
    : ExactBlock(reinterpret_cast<const uint8_t*>(bytes.data()),
                 static_cast<int64_t>(bytes.size())) {}

ExactBlock::ExactBlock(const std::vector<uint8_t>& bytes)
    : ExactBlock(bytes.data(), static_cast<int64_t>(bytes.size())) {}

std::vector<uint8_t> RandomBytes(std::mt19937& random, int64_t count, int byteValues) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(std::max<int64_t>(0, count)));
    std::uniform_int_distribution<int> pick(0, std::clamp(byteValues, 1, 256) - 1);
    for (uint8_t& byte : bytes) {
        const int value = pick(random);
        byte = static_cast<uint8_t>(byteValues == 2 ? 0xFF * value : value);
    }
    return bytes;
}

uint8_t PrintableByteAt(int64_t position) {
    return static_cast<uint8_t>(0x21 + (position - 1) % 94);
}

namespace {

bool ReferenceHidden(uint8_t byte) {
    static const uint8_t unassigned[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    return byte < 0x20 ||
           std::find(std::begin(unassigned), std::end(unassigned), byte) != std::end(unassigned);
}

// True when position + distance (1-based) lies in 1..size; no sum is formed that could overflow.
bool PositionInside(int64_t position, int64_t distance, int64_t size) {
    return position >= 1 - distance && position <= size - distance;
}

} // namespace

std::string ReferenceStrip(const uint8_t* buffer, int64_t size, int64_t pointer) {
    std::string strip(STRIP_LENGTH, ' ');
    for (int64_t cell = 1; cell <= STRIP_LENGTH; ++cell) {
        const int64_t distance = cell - STRIP_POINTER_CELL;
        if (PositionInside(pointer, distance, size)) {
            const uint8_t byte = buffer[pointer + distance - 1];
            strip[static_cast<std::size_t>(cell - 1)] =
                ReferenceHidden(byte) ? '.' : static_cast<char>(byte);
        }
    }
    return strip;
}

std::string ReferencePreview(const uint8_t* buffer, int64_t size, int64_t pointer) {
    std::string preview;
    if (pointer < 1 || pointer > size) {
        return preview;
    }
    const int64_t count = std::min<int64_t>(PREVIEW_LENGTH, size - pointer + 1);
    for (int64_t i = 0; i < count; ++i) {
        const uint8_t byte = buffer[pointer - 1 + i];
        preview.push_back(byte == 0 ? '.' : static_cast<char>(byte));
    }
    return preview;
}
