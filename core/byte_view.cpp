#include "core/byte_view.h"

#include "core/number_text.h"

#include <algorithm>

BufferSlice ClipToBuffer(int64_t size, int64_t offset, int64_t length) {
    BufferSlice slice;
    if (size <= 0 || length <= 0 || offset >= size) {
        return slice;
    }
    if (offset >= 0) {
        slice.firstOffset = offset;
        slice.count = std::min(length, size - offset);
        return slice;
    }
    // The bytes before offset 0 are skipped; negating in unsigned arithmetic keeps INT64_MIN exact.
    const uint64_t skipped = uint64_t{0} - static_cast<uint64_t>(offset);
    const uint64_t wanted = static_cast<uint64_t>(length);
    if (wanted <= skipped) {
        return slice;
    }
    slice.firstOffset = 0;
    slice.count = static_cast<int64_t>(std::min(wanted - skipped, static_cast<uint64_t>(size)));
    return slice;
}

bool IsHiddenInStrip(uint8_t byte) {
    return byte < 0x20 || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
           byte == 0x9D;
}

std::string BuildStripText(const uint8_t* buffer, int64_t size, int64_t filePointer) {
    std::string strip(STRIP_LENGTH, ' ');
    // Below this the whole window lies before the file, and filePointer - 32 would overflow.
    if (filePointer < INT64_MIN + STRIP_POINTER_CELL) {
        return strip;
    }
    const int64_t windowOffset = filePointer - STRIP_POINTER_CELL;
    const BufferSlice slice = ClipToBuffer(size, windowOffset, STRIP_LENGTH);
    for (int64_t i = 0; i < slice.count; ++i) {
        const int64_t offset = slice.firstOffset + i;
        const uint8_t byte = buffer[offset];
        strip[static_cast<size_t>(offset - windowOffset)] =
            IsHiddenInStrip(byte) ? '.' : static_cast<char>(byte);
    }
    return strip;
}

std::string BuildPreviewText(const uint8_t* buffer, int64_t size, int64_t filePointer) {
    if (filePointer < 1 || filePointer > size) {
        return {};
    }
    const BufferSlice slice = ClipToBuffer(size, filePointer - 1, PREVIEW_LENGTH);
    std::string preview(static_cast<size_t>(slice.count), '.');
    for (int64_t i = 0; i < slice.count; ++i) {
        const uint8_t byte = buffer[slice.firstOffset + i];
        if (byte != 0) {
            preview[static_cast<size_t>(i)] = static_cast<char>(byte);
        }
    }
    return preview;
}

namespace {

// The `width`-byte little-endian value at offset, when all of its bytes are inside the buffer.
bool ReadLittleEndian(const uint8_t* buffer, int64_t size, int64_t offset, int32_t width,
                      uint64_t& value) {
    const BufferSlice slice = ClipToBuffer(size, offset, width);
    if (slice.count != width || slice.firstOffset != offset) {
        return false;
    }
    value = 0;
    for (int32_t i = width - 1; i >= 0; --i) {
        value = (value << 8) | buffer[offset + i];
    }
    return true;
}

} // namespace

PanelTexts DecodePanelValues(const uint8_t* buffer, int64_t size, int64_t offset) {
    PanelTexts texts;
    uint64_t value = 0;
    if (ReadLittleEndian(buffer, size, offset, 1, value)) {
        const auto byte = static_cast<uint32_t>(value);
        texts.bits = BinaryText32(byte);
        texts.decimal = DecimalText32(static_cast<int32_t>(byte));
        texts.character = CharText(static_cast<int64_t>(byte));
        texts.hexadecimal = HexText32(byte);
    }
    if (ReadLittleEndian(buffer, size, offset, 2, value)) {
        texts.int16 = DecimalText32(static_cast<int16_t>(static_cast<uint16_t>(value)));
    }
    if (ReadLittleEndian(buffer, size, offset, 4, value)) {
        texts.int32 = DecimalText32(static_cast<int32_t>(static_cast<uint32_t>(value)));
    }
    if (ReadLittleEndian(buffer, size, offset, 8, value)) {
        texts.int64 = DecimalText64(static_cast<int64_t>(value));
    }
    return texts;
}

int32_t StoreLittleEndian(uint8_t* buffer, int64_t size, int64_t offset, uint64_t value,
                          int32_t width) {
    // A value has no bytes beyond its eighth, so a wider request stores those eight.
    const BufferSlice slice = ClipToBuffer(size, offset, std::min(width, 8));
    for (int64_t i = 0; i < slice.count; ++i) {
        const int64_t target = slice.firstOffset + i;
        const int64_t byteIndex = target - offset;
        buffer[target] = static_cast<uint8_t>(value >> (8 * byteIndex));
    }
    return static_cast<int32_t>(slice.count);
}

std::string PointerOutcomeText(const uint8_t* buffer, int64_t size, int64_t filePointer,
                               bool found) {
    const std::string place = DecimalText64(filePointer) + " of " + DecimalText64(size);
    if (!found) {
        return "Not found, pointer " + place;
    }
    std::string text = "Pointer " + place;
    if (filePointer >= 1 && filePointer <= size) {
        static const char digits[] = "0123456789ABCDEF";
        const uint8_t byte = buffer[filePointer - 1];
        text += ", byte ";
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}
