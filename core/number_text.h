// Number <-> text conversions shared by every view and editor of the program.
// All texts are single-byte (one byte per character, Windows-1252 at the widget boundary).
// Arithmetic wraps in unsigned types; nothing here can overflow a signed integer.
#pragma once

#include <cstdint>
#include <string>

// Signed decimal, "-" for negatives, no leading zeros, "0" for zero.
[[nodiscard]] std::string DecimalText32(int32_t value);
[[nodiscard]] std::string DecimalText64(int64_t value);
// Upper-case hexadecimal of the value taken as unsigned, no prefix, no leading zeros.
[[nodiscard]] std::string HexText32(uint32_t value);
// Binary digits of the value taken as unsigned, most significant first, no leading zeros.
[[nodiscard]] std::string BinaryText32(uint32_t value);
// One character whose byte is the low 8 bits of code; code 0 (low byte 0) gives the empty text.
[[nodiscard]] std::string CharText(int64_t code);
// Fixed-point text with exactly `decimals` digits after the point, rounded to nearest (above 512
// counts as 512; any negative count means 6). Always a "." point, whatever the user's locale.
[[nodiscard]] std::string FixedText(float value, int32_t decimals);
// Byte value 0..255 of the first character; 0 for the empty text.
[[nodiscard]] int32_t CharCode(const std::string& text);
// The number parser: blanks, optional sign, then "$" hexadecimal, "%" binary or decimal digits.
// Never fails: no digits gives 0, trailing text is ignored, overflow wraps in the width.
[[nodiscard]] int32_t ParseNumber32(const std::string& text);
[[nodiscard]] int64_t ParseNumber64(const std::string& text);

// The low 32 bits of a position or size, as the pointer's caption, the slider and the scan take
// them.
[[nodiscard]] int32_t Low32(int64_t value);
