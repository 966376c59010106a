#include "program/messages.h"

#include "core/number_text.h"
#include "toolkit/toolkit.h"

std::string AllocationFailedMessage(int64_t size) {
    return "Failed to allocate " + DecimalText64(size) + " bytes of memory";
}

void ShowProgramMessage(std::string_view text) {
    ShowMessage(PROGRAM_CAPTION, std::string(text));
}
