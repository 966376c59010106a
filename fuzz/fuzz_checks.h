// The checks behind the fuzz targets. Each takes one raw input, decodes from it the arguments of
// the pure functions of core/, runs them and compares their answers with plain reference
// versions written here, one plain step at a time. The same functions run under libFuzzer
// (fuzz/fuzz_main.cpp) and over every kept input in the normal suite (tst_fuzz_replay), so an
// input that once failed keeps failing the suite until the fault is gone.
//
// Buffers and patterns are copied into blocks of exactly their size before they are handed on,
// so that AddressSanitizer stops any read or write outside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The empty text when every answer agreed with the reference; otherwise what disagreed.
using FuzzCheck = std::string (*)(const uint8_t* data, std::size_t size);

// Input: the whole input is a text for the number parser; its first 8 bytes are also a value
// (little-endian) for the number-to-text conversions, bytes 8-11 a float and bytes 12-13 a
// count of decimals for FixedText.
[[nodiscard]] std::string CheckNumberText(const uint8_t* data, std::size_t size);

// Input: bytes 0-3 a start, 4-7 a length, 8-11 an index, 12-13 a count (all little-endian,
// signed), byte 14 the length of the second text (modulo 16), then the second text, then the
// first text.
[[nodiscard]] std::string CheckTextOps(const uint8_t* data, std::size_t size);

// Input: byte 0 picks the type name (modulo 10: the seven names, then three that are none),
// the rest is the search text.
[[nodiscard]] std::string CheckSearchPattern(const uint8_t* data, std::size_t size);

// Input: bytes 0-3 the start (signed); byte 4 flags (bit 0: start used as it is, else reduced
// into 0..size + 1; bit 1: no pattern at all; bit 2: pattern copied from the buffer at the
// start, so that it matches; bit 3: pattern length passed as negative); byte 5 the pattern
// length; then the pattern's bytes (unless bit 2), then the buffer.
[[nodiscard]] std::string CheckPatternScan(const uint8_t* data, std::size_t size);

// Input: bytes 0-7 a position (signed); byte 8 flags (bit 0: position used as it is, else
// reduced to within 40 bytes of the buffer; bit 1: a null buffer when it is empty); bytes 9-16 a
// value; byte 17 a width (signed); bytes 18-25 a length (signed) for the clipping helper; the
// rest is the buffer.
[[nodiscard]] std::string CheckByteView(const uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* name; // also the folder of its kept inputs under tests/data/fuzz/
    FuzzCheck check;
};
extern const FuzzTarget FUZZ_TARGETS[5];
