// Plain references for the program's texts: the number parser and printers, the text
// operations, search patterns and the value panel, written out step by step as the fuzz targets
// and tests hold the program's code against them. No Qt.
#pragma once

#include "core/byte_view.h"
#include "core/pattern_scan.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// snprintf into a short text.
template <typename... Arguments> std::string Printed(const char* format, Arguments... arguments) {
    char text[64];
    std::snprintf(text, sizeof text, format, arguments...);
    return text;
}

// The text as the program's C-style texts see it: up to the first NUL byte.
[[nodiscard]] std::string UpToNul(const std::string& text);
// The number parser written out step by step, modulo 2^64.
[[nodiscard]] uint64_t ReferenceParse(const std::string& whole);
[[nodiscard]] std::string ReferenceBinary(uint32_t value);
[[nodiscard]] std::string ReferenceCharacter(uint8_t byte);
[[nodiscard]] std::string ReferenceFixed(float value, int32_t decimals);
[[nodiscard]] std::string ReferenceSubstring(const std::string& whole, int32_t start,
                                             int32_t length);
[[nodiscard]] std::string ReferenceField(const std::string& text, int32_t index,
                                         const std::string& separator);
[[nodiscard]] std::string ReferenceRemoveAll(const std::string& whole,
                                             const std::string& partWhole);
[[nodiscard]] std::vector<uint8_t> ReferenceHexBytes(const std::string& whole);
[[nodiscard]] SearchPattern ReferencePattern(SearchType type, const std::string& text);
// The type a name chooses, compared as plain strings: exactly one of the listed names.
[[nodiscard]] SearchType ReferenceTypeNamed(const std::string& name);
[[nodiscard]] PanelTexts ReferencePanel(const uint8_t* buffer, int64_t size, int64_t offset);
[[nodiscard]] BufferSlice ReferenceClip(int64_t size, int64_t offset, int64_t length);
