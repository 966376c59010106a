#include "core/number_text.h"

#include <algorithm>
#include <charconv>

namespace {

std::string UnsignedText(uint64_t value, uint32_t base) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.push_back(digits[value % base]);
        value /= base;
    } while (value != 0);
    std::reverse(text.begin(), text.end());
    return text;
}

std::string SignedText(int64_t value) {
    // The magnitude is negated as unsigned so that the most negative value still has one.
    const uint64_t bits = static_cast<uint64_t>(value);
    if (value < 0) {
        return "-" + UnsignedText(0 - bits, 10);
    }
    return UnsignedText(bits, 10);
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Both widths share this parser: multiplication, addition and negation modulo 2^64 keep the low
// 32 bits exactly what they would be modulo 2^32, so the 32-bit result is just the low half.
uint64_t ParseBits(const std::string& text) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    const char sign = *p;
    if (sign == '-' || sign == '+') {
        ++p;
    }
    uint64_t base = 10;
    if (*p == '$') {
        base = 16;
        ++p;
    } else if (*p == '%') {
        base = 2;
        ++p;
    }
    uint64_t value = 0;
    for (;; ++p) {
        const int digit = DigitValue(*p);
        if (digit < 0 || static_cast<uint64_t>(digit) >= base) {
            break;
        }
        value = value * base + static_cast<uint64_t>(digit);
    }
    return sign == '-' ? 0 - value : value;
}

} // namespace

std::string DecimalText32(int32_t value) {
    return SignedText(value);
}

std::string DecimalText64(int64_t value) {
    return SignedText(value);
}

std::string HexText32(uint32_t value) {
    return UnsignedText(value, 16);
}

std::string BinaryText32(uint32_t value) {
    return UnsignedText(value, 2);
}

std::string CharText(int64_t code) {
    const auto byte = static_cast<unsigned char>(static_cast<uint64_t>(code) & 0xFFu);
    // Texts end at their first NUL byte, so a NUL character cannot be held by one.
    if (byte == 0) {
        return {};
    }
    return std::string(1, static_cast<char>(byte));
}

std::string FixedText(float value, int32_t decimals) {
    constexpr int32_t maxDecimals = 512;
    // The largest float has 39 digits before the point; leave room for the sign and the point.
    char buffer[48 + maxDecimals];
    // to_chars rounds exactly as printf does in the C locale, but never writes the user's decimal
    // comma: these texts are parsed back and written to files, so they must not follow the locale.
    // Every negative count means the default of six decimals, not only -1.
    const int32_t precision = decimals < 0 ? 6 : std::min(decimals, maxDecimals);
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                      std::chars_format::fixed, precision);
    if (result.ec != std::errc()) {
        return {};
    }
    return std::string(buffer, result.ptr);
}

int32_t CharCode(const std::string& text) {
    // c_str() yields 0 for the empty text, which is the wanted answer.
    return static_cast<unsigned char>(text.c_str()[0]);
}

int32_t ParseNumber32(const std::string& text) {
    return static_cast<int32_t>(static_cast<uint32_t>(ParseBits(text)));
}

int64_t ParseNumber64(const std::string& text) {
    return static_cast<int64_t>(ParseBits(text));
}

int32_t Low32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}
