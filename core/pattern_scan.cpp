#include "core/pattern_scan.h"

#include "core/fast_scan.h"
#include "core/number_text.h"
#include "core/text_ops.h"

#include <cstring>

namespace {

void AppendLittleEndian(std::vector<uint8_t>& bytes, uint64_t value, int32_t width) {
    for (int32_t i = 0; i < width; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

uint8_t LowByte(int32_t value) {
    return static_cast<uint8_t>(static_cast<uint32_t>(value));
}

uint8_t HexDigitsToByte(const std::string& digits) {
    return LowByte(ParseNumber32("$" + digits));
}

} // namespace

std::vector<uint8_t> HexTextToBytes(const std::string& text) {
    const int32_t length = TextLength(text);
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(length / 2 + 1));
    int32_t i = 1;
    for (; i <= length - 1; i += 2) {
        bytes.push_back(HexDigitsToByte(Substring(text, i, 2)));
    }
    if (i == length) {
        bytes.push_back(HexDigitsToByte(Substring(text, i, 1)));
    }
    return bytes;
}

SearchType SearchTypeNamed(const std::string& name) {
    for (const SearchTypeEntry& entry : SEARCH_TYPES) {
        if (TextEquals(name, entry.name)) {
            return entry.type;
        }
    }
    return SearchType::Unknown;
}

const char* SearchTypeName(SearchType type) {
    for (const SearchTypeEntry& entry : SEARCH_TYPES) {
        if (entry.type == type) {
            return entry.name;
        }
    }
    return "";
}

SearchPattern BuildSearchPattern(SearchType type, const std::string& text) {
    SearchPattern pattern;
    std::vector<uint8_t>& bytes = pattern.bytes;
    switch (type) {
    case SearchType::String: {
        const auto length = static_cast<size_t>(TextLength(text));
        bytes.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
        break;
    }
    case SearchType::Byte:
        AppendLittleEndian(bytes, static_cast<uint32_t>(ParseNumber32(text)), 1);
        break;
    case SearchType::Word:
        AppendLittleEndian(bytes, static_cast<uint32_t>(ParseNumber32(text)), 2);
        break;
    case SearchType::Long:
        AppendLittleEndian(bytes, static_cast<uint32_t>(ParseNumber32(text)), 4);
        break;
    case SearchType::Quad:
        AppendLittleEndian(bytes, static_cast<uint64_t>(ParseNumber64(text)), 8);
        break;
    case SearchType::IP:
        // Dotted text is written most significant field first; the file holds the address as a
        // little-endian 32-bit value.
        for (int32_t field = 4; field >= 1; --field) {
            bytes.push_back(LowByte(ParseNumber32(TextField(text, field, "."))));
        }
        break;
    case SearchType::Hex:
        bytes = HexTextToBytes(text);
        pattern.present = !bytes.empty();
        break;
    case SearchType::Unknown:
        break;
    }
    return pattern;
}

int32_t ScanForPattern(int32_t start, const uint8_t* buffer, int32_t size, const uint8_t* pattern,
                       int32_t patternLength) {
    return ScanForPatternOn(FastestScanPath(), start, buffer, size, pattern, patternLength);
}
