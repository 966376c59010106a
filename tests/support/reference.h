// Plain references that the tests, the fuzz targets and the benchmarks hold the program's code
// against. Written for clarity, not speed, and kept out of the program. No Qt.
#pragma once

#include "core/fast_scan.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

// Sunday's Quick Search, step by step: the answers every faster scan must give. The same
// contract as ScanForPattern.
[[nodiscard]] int32_t ScanForPatternSunday(int32_t start, const uint8_t* buffer, int32_t size,
                                           const uint8_t* pattern, int32_t patternLength);

// Every scan path this processor can run, the fastest last, and a name for each.
[[nodiscard]] std::vector<ScanPath> AvailableScanPaths();
[[nodiscard]] const char* ScanPathName(ScanPath path);

// `count` spaces; negative gives the empty text.
[[nodiscard]] std::string Blanks(int32_t count);

// A heap block of exactly its bytes, so that AddressSanitizer reports any access past its end (a
// string or a vector may own spare room after its last byte). Never null, even when empty.
class ExactBlock {
  public:
    // `size` zero bytes.
    explicit ExactBlock(int64_t size);
    ExactBlock(const uint8_t* bytes, int64_t size);
    explicit ExactBlock(const std::string& bytes);
    explicit ExactBlock(const std::vector<uint8_t>& bytes);
    [[nodiscard]] uint8_t* data() { return bytes_.get(); }
    [[nodiscard]] const uint8_t* data() const { return bytes_.get(); }
    [[nodiscard]] int64_t size() const { return size_; }

  private:
    int64_t size_;
    std::unique_ptr<uint8_t[]> bytes_;
};

// `count` bytes drawn from `random`, each one of the first `byteValues` values; with two values
// they are 00 and FF, so that bytes above 7F take part too.
[[nodiscard]] std::vector<uint8_t> RandomBytes(std::mt19937& random, int64_t count,
                                               int byteValues = 256);

// The byte at 1-based `position` of a file of printable bytes that differ within any 94
// consecutive positions, so that a window shifted by a few cells cannot look the same.
[[nodiscard]] uint8_t PrintableByteAt(int64_t position);

// The strip for positions pointer-31 .. pointer+32: a blank outside the file, "." for 0x00..0x1F
// and the five bytes that Windows-1252 leaves unassigned, every other byte as it is.
[[nodiscard]] std::string ReferenceStrip(const uint8_t* buffer, int64_t size, int64_t pointer);
// Up to 512 bytes from the pointer, zero bytes shown as "."; empty outside the file.
[[nodiscard]] std::string ReferencePreview(const uint8_t* buffer, int64_t size, int64_t pointer);
