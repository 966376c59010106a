#include "program/write_back.h"

#include "core/byte_view.h"
#include "core/number_text.h"
#include "program/state/file_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "toolkit/toolkit.h"

void UpdateValue(const ValueRow& row) {
    const int64_t offset = Pointer.FilePointer - 1;
    const std::string text = row.prefix + GetControlText(row.field);
    const uint64_t value = row.parser == ValueParser::Number64
                               ? static_cast<uint64_t>(ParseNumber64(text))
                               : static_cast<uint32_t>(ParseNumber32(text));
    StoreLittleEndian(FileState.FileBuffer.data(), FileState.FileSize, offset, value, row.width);
    RefreshView();
    ReportOutcome(true);
}
