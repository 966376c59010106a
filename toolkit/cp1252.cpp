#include "toolkit/cp1252_p.h"

#include <array>

namespace {

// Unicode code points of the bytes 0x80..0x9F; the rest of the table is Latin-1.
constexpr std::array<char16_t, 32> HIGH_CONTROL_RANGE = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Byte 0xAD is the soft hyphen, U+00AD, which text layout treats as a break hint: no ink and no
// advance. Shown as the hyphen U+2010 instead, it keeps its cell and a visible mark, and reading
// it back still gives 0xAD.
constexpr unsigned char SOFT_HYPHEN_BYTE = 0xAD;
constexpr char16_t SHOWN_SOFT_HYPHEN = 0x2010;

char16_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return HIGH_CONTROL_RANGE[byte - 0x80];
    }
    return byte == SOFT_HYPHEN_BYTE ? SHOWN_SOFT_HYPHEN : byte;
}

char ByteOf(char16_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<char>(codePoint);
    }
    if (codePoint == SHOWN_SOFT_HYPHEN) {
        return static_cast<char>(SOFT_HYPHEN_BYTE);
    }
    for (std::size_t index = 0; index < HIGH_CONTROL_RANGE.size(); ++index) {
        if (HIGH_CONTROL_RANGE[index] == codePoint) {
            return static_cast<char>(0x80 + index);
        }
    }
    return '?';
}

} // namespace

QString TextToWidget(const std::string& text) {
    QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    for (std::size_t index = 0; index < text.size(); ++index) {
        result[static_cast<qsizetype>(index)] =
            QChar(CodePointOf(static_cast<unsigned char>(text[index])));
    }
    return result;
}

std::string TextFromWidget(const QString& text) {
    std::string result;
    result.reserve(static_cast<std::size_t>(text.size()));
    for (QChar character : text) {
        if (character.isHighSurrogate()) {
            continue; // the low half that follows becomes the one "?"
        }
        result.push_back(character.isLowSurrogate() ? '?' : ByteOf(character.unicode()));
    }
    return result;
}
