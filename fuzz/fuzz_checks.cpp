#include "fuzz/fuzz_checks.h"

#include "core/byte_view.h"
#include "core/fast_scan.h"
#include "core/number_text.h"
#include "core/pattern_scan.h"
#include "core/text_ops.h"
#include "support/reference.h"
#include "support/reference_texts.h"

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
    const int32_t wanted =
        ScanForPatternSunday(start, buffer.data(), bufferSize, patternStart, length);
    verdict.Equal(ScanForPattern(start, buffer.data(), bufferSize, patternStart, length), wanted,
                  "ScanForPattern, " + call);
    for (const ScanPath path : AvailableScanPaths()) {
        verdict.Equal(
            ScanForPatternOn(path, start, buffer.data(), bufferSize, patternStart, length), wanted,
            std::string("ScanForPatternOn ") + ScanPathName(path) + ", " + call);
    }
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
