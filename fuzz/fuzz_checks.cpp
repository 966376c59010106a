#include "fuzz/fuzz_checks.h"

#include "core/byte_view.h"
#include "core/number_text.h"
#include "core/pattern_scan.h"
#include "core/text_ops.h"
#include "support/reference.h"

#if __has_include("core/fast_scan.h")
#include "core/fast_scan.h"
#define TESSARY_FUZZ_SCAN_PATHS 1
#endif

#include <algorithm>
#include <cinttypes>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Takes little-endian fields from the front of the input; past its end every byte reads as 0.
class InputReader {
  public:
    InputReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    uint8_t TakeByte() { return used_ < size_ ? data_[used_++] : 0; }
    uint64_t TakeUnsigned(int32_t byteCount) {
        uint64_t value = 0;
        for (int32_t i = 0; i < byteCount; ++i) {
            value |= uint64_t{TakeByte()} << (8 * i);
        }
        return value;
    }
    int32_t TakeInt32() { return static_cast<int32_t>(static_cast<uint32_t>(TakeUnsigned(4))); }
    int64_t TakeInt64() { return static_cast<int64_t>(TakeUnsigned(8)); }
    std::string TakeText(std::size_t length) {
        const std::size_t taken = std::min(length, size_ - std::min(used_, size_));
        std::string text(reinterpret_cast<const char*>(data_) + std::min(used_, size_), taken);
        used_ += taken;
        return text;
    }
    std::string Rest() { return TakeText(size_); }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

std::string Shown(const std::string& text) {
    std::string shown = "\"";
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
            shown.push_back(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    return shown + "\"";
}
std::string Shown(int64_t value) {
    return std::to_string(value);
}
std::string Shown(bool value) {
    return value ? "true" : "false";
}
std::string Shown(const std::vector<uint8_t>& bytes) {
    return Shown(std::string(bytes.begin(), bytes.end()));
}

// Keeps the first disagreement; later ones are usually its consequences.
class Verdict {
  public:
    template <typename Value>
    void Equal(const Value& got, const Value& wanted, const std::string& what) {
        if (!(got == wanted) && text_.empty()) {
            text_ = what + ": got " + Shown(got) + ", expected " + Shown(wanted);
        }
    }
    void Equal(int32_t got, int32_t wanted, const std::string& what) {
        Equal(int64_t{got}, int64_t{wanted}, what);
    }
    [[nodiscard]] std::string text() const { return text_; }

  private:
    std::string text_;
};

template <typename... Arguments> std::string Printed(const char* format, Arguments... arguments) {
    char text[64];
    std::snprintf(text, sizeof text, format, arguments...);
    return text;
}

// The text as the program's C-style texts see it: up to the first NUL byte.
std::string UpToNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

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

uint8_t ReferenceHexPair(char first, char second) {
    const int32_t high = DigitIn(first, 16);
    if (high < 0) {
        return 0;
    }
    const int32_t low = DigitIn(second, 16);
    return static_cast<uint8_t>(low < 0 ? high : high * 16 + low);
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

std::vector<uint8_t> LittleEndian(uint64_t value, int32_t width) {
    std::vector<uint8_t> bytes;
    for (int32_t i = 0; i < width; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
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

void CheckClip(Verdict& verdict, int64_t size, int64_t offset, int64_t length) {
    const BufferSlice got = ClipToBuffer(size, offset, length);
    const BufferSlice wanted = ReferenceClip(size, offset, length);
    const std::string call =
        "ClipToBuffer(" + Shown(size) + ", " + Shown(offset) + ", " + Shown(length) + ")";
    verdict.Equal(got.count, wanted.count, call + " count");
    if (wanted.count > 0) {
        verdict.Equal(got.firstOffset, wanted.firstOffset, call + " first offset");
    }
}

} // namespace

std::string CheckNumberText(const uint8_t* data, std::size_t size) {
    Verdict verdict;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const uint64_t parsed = ReferenceParse(text);
    verdict.Equal(ParseNumber64(text), static_cast<int64_t>(parsed), "ParseNumber64");
    verdict.Equal(ParseNumber32(text), static_cast<int32_t>(static_cast<uint32_t>(parsed)),
                  "ParseNumber32");
    verdict.Equal(CharCode(text), int32_t{size == 0 ? uint8_t{0} : data[0]}, "CharCode");

    InputReader input(data, size);
    const int64_t value64 = input.TakeInt64();
    const auto unsigned32 = static_cast<uint32_t>(static_cast<uint64_t>(value64));
    const auto value32 = static_cast<int32_t>(unsigned32);
    const std::string decimal64 = DecimalText64(value64);
    verdict.Equal(decimal64, Printed("%" PRId64, value64), "DecimalText64");
    verdict.Equal(ParseNumber64(decimal64), value64, "ParseNumber64 of DecimalText64");
    const std::string decimal32 = DecimalText32(value32);
    verdict.Equal(decimal32, Printed("%" PRId32, value32), "DecimalText32");
    verdict.Equal(ParseNumber32(decimal32), value32, "ParseNumber32 of DecimalText32");
    const std::string hexadecimal = HexText32(unsigned32);
    verdict.Equal(hexadecimal, Printed("%" PRIX32, unsigned32), "HexText32");
    verdict.Equal(ParseNumber32("$" + hexadecimal), value32, "ParseNumber32 of $HexText32");
    verdict.Equal(ParseNumber32("-$" + Printed("%" PRIx32, unsigned32)),
                  static_cast<int32_t>(0u - unsigned32), "ParseNumber32 of -$hex");
    const std::string binary = BinaryText32(unsigned32);
    verdict.Equal(binary, ReferenceBinary(unsigned32), "BinaryText32");
    verdict.Equal(ParseNumber32("%" + binary), value32, "ParseNumber32 of %BinaryText32");
    const auto low = static_cast<uint8_t>(unsigned32);
    verdict.Equal(CharText(value64), ReferenceCharacter(low), "CharText");
    verdict.Equal(CharCode(CharText(value64)), int32_t{low}, "CharCode of CharText");

    float number = 0;
    const auto numberBits = static_cast<uint32_t>(input.TakeUnsigned(4));
    std::memcpy(&number, &numberBits, sizeof number);
    const auto decimals = static_cast<int16_t>(static_cast<uint16_t>(input.TakeUnsigned(2)));
    verdict.Equal(FixedText(number, decimals), ReferenceFixed(number, decimals),
                  "FixedText with " + Shown(int64_t{decimals}) + " decimals");
    return verdict.text();
}

std::string CheckTextOps(const uint8_t* data, std::size_t size) {
    Verdict verdict;
    InputReader input(data, size);
    const int32_t start = input.TakeInt32();
    const int32_t length = input.TakeInt32();
    const int32_t index = input.TakeInt32();
    const auto count = static_cast<int16_t>(static_cast<uint16_t>(input.TakeUnsigned(2)));
    const std::string part = input.TakeText(input.TakeByte() % 16u);
    const std::string text = input.Rest();

    verdict.Equal(TextLength(text), static_cast<int32_t>(UpToNul(text).size()), "TextLength");
    // Raw 32-bit numbers rarely land inside a short text; small ones around it matter most.
    const auto near = [&](int32_t value) {
        return static_cast<int32_t>(static_cast<uint32_t>(value) % (text.size() + 4)) - 2;
    };
    for (const int32_t from : {start, near(start)}) {
        for (const int32_t taken : {length, near(length)}) {
            verdict.Equal(Substring(text, from, taken), ReferenceSubstring(text, from, taken),
                          "Substring from " + Shown(int64_t{from}) + " of " +
                              Shown(int64_t{taken}));
        }
    }
    for (const int32_t field : {index, near(index) / 2}) {
        verdict.Equal(TextField(text, field, part), ReferenceField(text, field, part),
                      "TextField " + Shown(int64_t{field}) + " cut at " + Shown(part));
    }
    verdict.Equal(RemoveAll(text, part), ReferenceRemoveAll(text, part),
                  "RemoveAll of " + Shown(part));
    verdict.Equal(TextEquals(text, part), UpToNul(text) == UpToNul(part), "TextEquals");
    verdict.Equal(TextEquals(text, text + std::string(1, '\0') + part), true,
                  "TextEquals ignores what follows a NUL");
    verdict.Equal(Blanks(count),
                  std::string(static_cast<std::size_t>(std::max<int16_t>(count, 0)), ' '),
                  "Blanks(" + Shown(int64_t{count}) + ")");
    return verdict.text();
}

std::string CheckSearchPattern(const uint8_t* data, std::size_t size) {
    // The names the window offers, and names it does not.
    static const char* const otherNames[] = {"hex", "IP ", ""};
    constexpr std::size_t typeCount = std::size(SEARCH_TYPES);
    Verdict verdict;
    InputReader input(data, size);
    const std::size_t choice = input.TakeByte() % (typeCount + std::size(otherNames));
    const std::string type =
        choice < typeCount ? SEARCH_TYPES[choice].name : otherNames[choice - typeCount];
    const std::string text = input.Rest();

    verdict.Equal(SearchTypeNamed(type) == ReferenceTypeNamed(type), true,
                  "SearchTypeNamed(" + Shown(type) + ")");
    const SearchPattern got = BuildSearchPattern(SearchTypeNamed(type), text);
    const SearchPattern wanted = ReferencePattern(ReferenceTypeNamed(type), text);
    verdict.Equal(got.bytes, wanted.bytes, "BuildSearchPattern(" + Shown(type) + ") bytes");
    verdict.Equal(got.present, wanted.present, "BuildSearchPattern(" + Shown(type) + ") present");
    verdict.Equal(HexTextToBytes(text), ReferenceHexBytes(text), "HexTextToBytes");
    // The address fields as the IP pattern takes them, one beyond the four and one before.
    for (int32_t field = 0; field <= 5; ++field) {
        verdict.Equal(TextField(text, field, "."), ReferenceField(text, field, "."),
                      "TextField " + Shown(int64_t{field}) + " of the address");
    }
    return verdict.text();
}

std::string CheckPatternScan(const uint8_t* data, std::size_t size) {
    Verdict verdict;
    InputReader input(data, size);
    const int32_t rawStart = input.TakeInt32();
    const uint8_t flags = input.TakeByte();
    const uint8_t patternLength = input.TakeByte();
    std::string patternBytes = (flags & 4u) != 0 ? std::string() : input.TakeText(patternLength);
    const std::string bufferBytes = input.Rest();

    const auto bufferSize = static_cast<int32_t>(bufferBytes.size());
    const int32_t start = (flags & 1u) != 0
                              ? rawStart
                              : static_cast<int32_t>(static_cast<uint32_t>(rawStart) %
                                                     (static_cast<uint32_t>(bufferSize) + 2u));
    if ((flags & 4u) != 0) {
        const auto from = static_cast<std::size_t>(std::clamp(start, 0, bufferSize));
        patternBytes = bufferBytes.substr(from, patternLength);
    }
    ExactBlock buffer(bufferBytes);
    ExactBlock pattern(patternBytes);
    const uint8_t* patternStart = (flags & 2u) != 0 ? nullptr : pattern.data();
    int32_t length = static_cast<int32_t>(pattern.size());
    if ((flags & 8u) != 0) {
        length = -1 - length;
    }

    const std::string call = "scan from " + Shown(int64_t{start}) + " for " + Shown(patternBytes) +
                             " length " + Shown(int64_t{length}) + " in " +
                             Shown(int64_t{bufferSize}) + " bytes";
    const int32_t wanted = ReferenceScan(start, buffer.data(), bufferSize, patternStart, length);
    verdict.Equal(ScanForPatternSunday(start, buffer.data(), bufferSize, patternStart, length),
                  wanted, "ScanForPatternSunday, " + call);
    verdict.Equal(ScanForPattern(start, buffer.data(), bufferSize, patternStart, length), wanted,
                  "ScanForPattern, " + call);
#ifdef TESSARY_FUZZ_SCAN_PATHS
    for (const ScanPath path : AvailableScanPaths()) {
        verdict.Equal(
            ScanForPatternOn(path, start, buffer.data(), bufferSize, patternStart, length), wanted,
            std::string("ScanForPatternOn ") + ScanPathName(path) + ", " + call);
    }
#endif
    return verdict.text();
}

std::string CheckByteView(const uint8_t* data, std::size_t size) {
    Verdict verdict;
    InputReader input(data, size);
    const int64_t rawPosition = input.TakeInt64();
    const uint8_t flags = input.TakeByte();
    const uint64_t value = input.TakeUnsigned(8);
    const auto width = static_cast<int8_t>(input.TakeByte());
    const int64_t length = input.TakeInt64();
    const std::string bytes = input.Rest();

    ExactBlock block(bytes);
    const int64_t bufferSize = block.size();
    const bool absent = bufferSize == 0 && (flags & 2u) != 0;
    uint8_t* buffer = absent ? nullptr : block.data();
    const int64_t position = (flags & 1u) != 0
                                 ? rawPosition
                                 : static_cast<int64_t>(static_cast<uint64_t>(rawPosition) %
                                                        static_cast<uint64_t>(bufferSize + 80)) -
                                       40;
    const std::string at = " at " + Shown(position) + " of " + Shown(bufferSize) + " bytes";

    verdict.Equal(BuildStripText(buffer, bufferSize, position),
                  ReferenceStrip(buffer, bufferSize, position), "BuildStripText" + at);
    verdict.Equal(BuildPreviewText(buffer, bufferSize, position),
                  ReferencePreview(buffer, bufferSize, position), "BuildPreviewText" + at);

    const PanelTexts got = DecodePanelValues(buffer, bufferSize, position);
    const PanelTexts wanted = ReferencePanel(buffer, bufferSize, position);
    verdict.Equal(got.bits, wanted.bits, "bits" + at);
    verdict.Equal(got.decimal, wanted.decimal, "decimal" + at);
    verdict.Equal(got.character, wanted.character, "character" + at);
    verdict.Equal(got.hexadecimal, wanted.hexadecimal, "hexadecimal" + at);
    verdict.Equal(got.int16, wanted.int16, "int16" + at);
    verdict.Equal(got.int32, wanted.int32, "int32" + at);
    verdict.Equal(got.int64, wanted.int64, "int64" + at);

    ExactBlock stored(bytes);
    uint8_t* target = absent ? nullptr : stored.data();
    std::string expected = bytes;
    int32_t expectedCount = 0;
    for (int64_t i = 0; i < std::min<int32_t>(width, 8); ++i) {
        if (position >= -i && position < bufferSize - i) {
            expected[static_cast<std::size_t>(position + i)] = static_cast<char>(value >> (8 * i));
            ++expectedCount;
        }
    }
    const std::string store = "StoreLittleEndian of width " + Shown(int64_t{width}) + at;
    verdict.Equal(StoreLittleEndian(target, bufferSize, position, value, width), expectedCount,
                  store + ", bytes written");
    const std::string after = absent ? std::string()
                                     : std::string(reinterpret_cast<const char*>(stored.data()),
                                                   static_cast<std::size_t>(bufferSize));
    verdict.Equal(after, expected, store + ", buffer afterwards");

    CheckClip(verdict, bufferSize, position, length);
    CheckClip(verdict, static_cast<int64_t>(value), position, length);
    return verdict.text();
}

const FuzzTarget FUZZ_TARGETS[5] = {
    {"number_text", CheckNumberText},       {"text_ops", CheckTextOps},
    {"search_pattern", CheckSearchPattern}, {"pattern_scan", CheckPatternScan},
    {"byte_view", CheckByteView},
};
