#include "program/write_back.h"

#include "core/byte_view.h"
#include "core/number_text.h"
#include "program/file_buffer.h"
#include "program/main_window.h"
#include "program/pointer_view.h"

namespace {

enum class Parser { Number32, Number64 };

// No range check and no message: a value that does not fit is cut to its low bytes, and a value
// that would run past the end of the file keeps only the bytes that lie inside it.
void StoreFieldValue(int32_t field, const char* prefix, Parser parser, int32_t width) {
    const int64_t offset = Pointer.FilePointer - 1;
    const std::string text = prefix + GetControlText(field);
    const uint64_t value = parser == Parser::Number64 ? static_cast<uint64_t>(ParseNumber64(text))
                                                      : static_cast<uint32_t>(ParseNumber32(text));
    StoreLittleEndian(FileState.FileBuffer.data(), FileState.FileSize, offset, value, width);
    RefreshView();
}

} // namespace

void UpdateBitsHandler() {
    StoreFieldValue(Control::BitsField, "%", Parser::Number32, 1);
}
void UpdateByteHandler() {
    StoreFieldValue(Control::DecField, "", Parser::Number32, 1);
}
void UpdateInt16Handler() {
    StoreFieldValue(Control::Int16Field, "", Parser::Number32, 2);
}
void UpdateInt32Handler() {
    StoreFieldValue(Control::Int32Field, "", Parser::Number32, 4);
}
void UpdateInt64Handler() {
    StoreFieldValue(Control::Int64Field, "", Parser::Number64, 8);
}
