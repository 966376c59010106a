#include "support/reference.h"

#include <cstring>

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
