// Building search patterns from the search text and finding them in the file buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The byte pattern of one search. `present` is false when the search has no pattern at all
// (an empty "Hex" text), which finds nothing; an empty but present pattern (empty "String" text)
// matches at the start offset.
struct SearchPattern {
    std::vector<uint8_t> bytes;
    bool present = true;
};

// What a search looks for: the text itself, hexadecimal bytes, a dotted IPv4 address, or a
// little-endian integer of 1, 2, 4 or 8 bytes. Unknown stands for a name that is none of these.
enum class SearchType { String, Hex, IP, Byte, Word, Long, Quad, Unknown };

struct SearchTypeEntry {
    SearchType type;
    const char* name; // as the user chooses it
};

// Every search type with its name, in the order the window offers them.
constexpr SearchTypeEntry SEARCH_TYPES[] = {
    {SearchType::String, "String"}, {SearchType::Hex, "Hex"},   {SearchType::IP, "IP"},
    {SearchType::Byte, "Byte"},     {SearchType::Word, "Word"}, {SearchType::Long, "Long"},
    {SearchType::Quad, "Quad"},
};

// The type whose name is exactly `name` (up to a NUL, as TextEquals compares); Unknown otherwise.
[[nodiscard]] SearchType SearchTypeNamed(const std::string& name);
// The name of a type; "" for Unknown.
[[nodiscard]] const char* SearchTypeName(SearchType type);

// The pattern for a search type and the search text (not trimmed). Unknown gives an empty
// pattern.
[[nodiscard]] SearchPattern BuildSearchPattern(SearchType type, const std::string& text);

// One byte per complete pair of characters: the low 8 bits of ParseNumber32("$" + pair).
// A single trailing character is read as one hexadecimal digit (so "414" gives 41 04).
// Returns (length + 1) / 2 bytes.
[[nodiscard]] std::vector<uint8_t> HexTextToBytes(const std::string& text);

// First match of pattern[0..patternLength) in buffer[0..size) whose 0-based offset is >= start:
// its 1-based position, or 0 when there is none or pattern is null. A pattern of length 0 matches
// at start (when start <= size). A negative start, size or length finds nothing, as does an empty
// pattern at start == size == INT32_MAX, whose position would not fit. Never reads outside the
// buffer or the pattern.
[[nodiscard]] int32_t ScanForPattern(int32_t start, const uint8_t* buffer, int32_t size,
                                     const uint8_t* pattern, int32_t patternLength);
