// Pure functions that turn the bytes around the file pointer into the texts the window shows,
// and that store edited values back. They are the only code that indexes the file buffer, and
// each one touches only bytes inside [0, size): no pointer value can make them read or write
// outside the buffer.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t STRIP_LENGTH = 64;       // characters in the byte strip
constexpr int32_t STRIP_POINTER_CELL = 32; // 1-based cell that shows the byte at the pointer
constexpr int32_t PREVIEW_LENGTH = 512;    // bytes shown at most in the preview

// The part of [offset, offset + length) that lies inside a buffer of `size` bytes.
// count is 0 when nothing does; then firstOffset is unspecified.
struct BufferSlice {
    int64_t firstOffset = 0;
    int64_t count = 0;
};
[[nodiscard]] BufferSlice ClipToBuffer(int64_t size, int64_t offset, int64_t length);

// True for the bytes the strip shows as ".": 0x00..0x1F and the five code points that
// Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D).
[[nodiscard]] bool IsHiddenInStrip(uint8_t byte);

// The 64 characters for positions filePointer-31 .. filePointer+32 (1-based); positions outside
// the file show a space.
[[nodiscard]] std::string BuildStripText(const uint8_t* buffer, int64_t size, int64_t filePointer);

// Up to 512 bytes from position filePointer to the end of the file, zero bytes shown as ".";
// every other byte unchanged. Empty when the pointer is outside the file.
[[nodiscard]] std::string BuildPreviewText(const uint8_t* buffer, int64_t size,
                                           int64_t filePointer);

// The seven texts of the value panel for the bytes at 0-based `offset`. A value that would need
// bytes past the end of the buffer (or an offset outside it) gives the empty text.
struct PanelTexts {
    std::string bits;
    std::string decimal;
    std::string character;
    std::string hexadecimal;
    std::string int16;
    std::string int32;
    std::string int64;
};
[[nodiscard]] PanelTexts DecodePanelValues(const uint8_t* buffer, int64_t size, int64_t offset);

// Stores the low `width` bytes of value at 0-based `offset`, least significant first. Bytes that
// would fall outside [0, size) are not written, so a write near the end keeps its low-order
// bytes that fit. A width above 8 stores the value's eight bytes; a width below 1 stores nothing.
// Returns how many bytes were written.
int32_t StoreLittleEndian(uint8_t* buffer, int64_t size, int64_t offset, uint64_t value,
                          int32_t width);

// What a screen reader is told after an action that moves the pointer or writes at it: the
// pointer, the file's size and the byte at the pointer in two upper-case hex digits ("Pointer 276
// of 434, byte 4E"); when the action looked for something and found nothing, that it did not and
// where the pointer is ("Not found, pointer 1 of 434"). A pointer outside the file names no byte.
[[nodiscard]] std::string PointerOutcomeText(const uint8_t* buffer, int64_t size,
                                             int64_t filePointer, bool found);
