// Small text operations with the forgiving index rules the rest of the program relies on:
// positions are 1-based and out-of-range arguments give empty results, never errors.
#pragma once

#include <cstdint>
#include <string>

// Bytes before the first NUL (the whole text when it holds none).
[[nodiscard]] int32_t TextLength(const std::string& text);
// Up to `length` characters from 1-based `start`; start <= 1 means the first character.
[[nodiscard]] std::string Substring(const std::string& text, int32_t start, int32_t length);
// The index-th (1-based) field when text is cut at every occurrence of separator's first character.
[[nodiscard]] std::string TextField(const std::string& text, int32_t index,
                                    const std::string& separator);
// text with every occurrence of part removed, left to right, without overlap.
[[nodiscard]] std::string RemoveAll(const std::string& text, const std::string& part);
// Byte-for-byte, case-sensitive equality.
[[nodiscard]] bool TextEquals(const std::string& first, const std::string& second);
