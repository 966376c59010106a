#include "support/reference_texts.h"

#include "core/text_ops.h"

#include <algorithm>
#include <cinttypes>
#include <clocale>
#include <cstdio>

namespace {

int32_t DigitIn(char c, uint32_t base) {
    static const char digits[] = "0123456789abcdef";
    const char lower = c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
    for (uint32_t value = 0; value < base; ++value) {
        if (digits[value] == lower) {
            return static_cast<int32_t>(value);
        }
    }
    return -1;
}

std::vector<std::string> SplitFields(const std::string& text, char separator) {
    std::vector<std::string> fields(1);
    for (const char c : text) {
        if (c == separator) {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

uint8_t ReferenceHexPair(char first, char second) {
    const int32_t high = DigitIn(first, 16);
    if (high < 0) {
        return 0;
    }
    const int32_t low = DigitIn(second, 16);
    return static_cast<uint8_t>(low < 0 ? high : high * 16 + low);
}

std::vector<uint8_t> LittleEndian(uint64_t value, int32_t width) {
    std::vector<uint8_t> bytes;
    for (int32_t i = 0; i < width; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    return bytes;
}

} // namespace

std::string UpToNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

// The number parser written out step by step, modulo 2^64.
uint64_t ReferenceParse(const std::string& whole) {
    const std::string text = UpToNul(whole);
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    uint32_t base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && text[i] == '%') {
        base = 2;
        ++i;
    }
    uint64_t value = 0;
    for (; i < text.size() && DigitIn(text[i], base) >= 0; ++i) {
        value = value * base + static_cast<uint64_t>(DigitIn(text[i], base));
    }
    return negative ? ~value + 1 : value;
}

std::string ReferenceBinary(uint32_t value) {
    std::string bits;
    for (int32_t bit = 31; bit >= 0; --bit) {
        if (!bits.empty() || ((value >> bit) & 1u) != 0) {
            bits.push_back(((value >> bit) & 1u) != 0 ? '1' : '0');
        }
    }
    return bits.empty() ? "0" : bits;
}

std::string ReferenceCharacter(uint8_t byte) {
    return byte == 0 ? std::string() : std::string(1, static_cast<char>(byte));
}

std::string ReferenceFixed(float value, int32_t decimals) {
    const int32_t precision = decimals < 0 ? 6 : std::min(decimals, 512);
    std::vector<char> text(64 + 512);
    std::snprintf(text.data(), text.size(), "%.*f", precision, static_cast<double>(value));
    std::string fixed(text.data());
    // The program's texts always use ".", whatever decimal point the locale prints.
    const std::string point = std::localeconv()->decimal_point;
    if (point != ".") {
        if (const std::size_t at = fixed.find(point); at != std::string::npos) {
            fixed.replace(at, point.size(), ".");
        }
    }
    return fixed;
}

std::string ReferenceSubstring(const std::string& whole, int32_t start, int32_t length) {
    const std::string text = UpToNul(whole);
    std::string part;
    for (int64_t position = std::max(start, 1);
         length > 0 && position <= static_cast<int64_t>(text.size()) &&
         static_cast<int64_t>(part.size()) < length;
         ++position) {
        part.push_back(text[static_cast<std::size_t>(position - 1)]);
    }
    return part;
}

std::string ReferenceField(const std::string& text, int32_t index, const std::string& separator) {
    const std::string cut = UpToNul(separator);
    const std::vector<std::string> fields =
        cut.empty() ? std::vector<std::string>{UpToNul(text)} : SplitFields(UpToNul(text), cut[0]);
    const int64_t wanted = std::max(index, 1);
    return wanted <= static_cast<int64_t>(fields.size())
               ? fields[static_cast<std::size_t>(wanted - 1)]
               : std::string();
}

std::string ReferenceRemoveAll(const std::string& whole, const std::string& partWhole) {
    const std::string text = UpToNul(whole);
    const std::string part = UpToNul(partWhole);
    std::string kept;
    for (std::size_t i = 0; i < text.size();) {
        if (!part.empty() && text.compare(i, part.size(), part) == 0) {
            i += part.size();
        } else {
            kept.push_back(text[i++]);
        }
    }
    return kept;
}

std::vector<uint8_t> ReferenceHexBytes(const std::string& whole) {
    const std::string text = UpToNul(whole);
    std::vector<uint8_t> bytes;
    std::size_t i = 0;
    for (; i + 1 < text.size(); i += 2) {
        bytes.push_back(ReferenceHexPair(text[i], text[i + 1]));
    }
    if (i < text.size()) {
        const int32_t digit = DigitIn(text[i], 16);
        bytes.push_back(static_cast<uint8_t>(digit < 0 ? 0 : digit));
    }
    return bytes;
}

SearchPattern ReferencePattern(SearchType type, const std::string& text) {
    SearchPattern pattern;
    if (type == SearchType::String) {
        const std::string shown = UpToNul(text);
        pattern.bytes.assign(shown.begin(), shown.end());
    } else if (type == SearchType::Byte || type == SearchType::Word || type == SearchType::Long) {
        const int32_t width = type == SearchType::Byte ? 1 : type == SearchType::Word ? 2 : 4;
        pattern.bytes = LittleEndian(ReferenceParse(text), width);
    } else if (type == SearchType::Quad) {
        pattern.bytes = LittleEndian(ReferenceParse(text), 8);
    } else if (type == SearchType::IP) {
        const std::vector<std::string> fields = SplitFields(UpToNul(text), '.');
        for (std::size_t field = 4; field >= 1; --field) {
            const std::string part = field <= fields.size() ? fields[field - 1] : std::string();
            pattern.bytes.push_back(static_cast<uint8_t>(ReferenceParse(part)));
        }
    } else if (type == SearchType::Hex) {
        pattern.bytes = ReferenceHexBytes(text);
        pattern.present = !pattern.bytes.empty();
    }
    return pattern;
}

// The type a name chooses, compared as plain strings: exactly one of the listed names.
SearchType ReferenceTypeNamed(const std::string& name) {
    for (const SearchTypeEntry& entry : SEARCH_TYPES) {
        if (name == entry.name) {
            return entry.type;
        }
    }
    return SearchType::Unknown;
}

PanelTexts ReferencePanel(const uint8_t* buffer, int64_t size, int64_t offset) {
    PanelTexts texts;
    const auto fits = [&](int64_t width) { return offset >= 0 && offset <= size - width; };
    const auto value = [&](int32_t width) {
        uint64_t bits = 0;
        for (int32_t i = 0; i < width; ++i) {
            bits |= uint64_t{buffer[offset + i]} << (8 * i);
        }
        return bits;
    };
    if (fits(1)) {
        const auto byte = static_cast<uint8_t>(value(1));
        texts.bits = ReferenceBinary(byte);
        texts.decimal = Printed("%u", static_cast<unsigned>(byte));
        texts.character = ReferenceCharacter(byte);
        texts.hexadecimal = Printed("%X", static_cast<unsigned>(byte));
    }
    if (fits(2)) {
        texts.int16 = Printed("%d", static_cast<int>(static_cast<int16_t>(value(2))));
    }
    if (fits(4)) {
        texts.int32 = Printed("%" PRId32, static_cast<int32_t>(static_cast<uint32_t>(value(4))));
    }
    if (fits(8)) {
        texts.int64 = Printed("%" PRId64, static_cast<int64_t>(value(8)));
    }
    return texts;
}

BufferSlice ReferenceClip(int64_t size, int64_t offset, int64_t length) {
    BufferSlice slice;
    if (size <= 0 || length <= 0 || offset >= size) {
        return slice;
    }
    const int64_t first = std::max<int64_t>(offset, 0);
    const int64_t end = offset > size - length ? size : offset + length;
    if (end > first) {
        slice.firstOffset = first;
        slice.count = end - first;
    }
    return slice;
}
