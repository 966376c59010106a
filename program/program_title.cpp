#include "program/program_title.h"

#include "program/version.h"

std::string ProgramTitle() {
    return std::string("Tessary ") + PROGRAM_VERSION;
}
