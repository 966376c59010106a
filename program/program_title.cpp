#include "program/program_title.h"

#include "core/number_text.h"
#include "program/version.h"

std::string ProgramTitle() {
    return "Tessary " + FixedText(PROGRAM_VERSION_NUMBER, PROGRAM_VERSION_DECIMALS);
}
