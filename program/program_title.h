// The program's name and version, as the title bar, the About box and --version show them.
#pragma once

#include <string>

// "Tessary 1.20".
[[nodiscard]] std::string ProgramTitle();
