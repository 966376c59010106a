#include "program/program_title.h"

#include "core/number_text.h"

namespace {

// Shown with two decimals.
constexpr float PROGRAM_VERSION = 1.2f;

} // namespace

std::string ProgramTitle() {
    return "Tessary " + FixedText(PROGRAM_VERSION, 2);
}
