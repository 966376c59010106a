#include "program/command_line.h"

#include "program/program_title.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* USAGE =
    "Usage: tessary [FILE]\n"
    "Inspect and patch FILE byte by byte. The whole file is held in memory; nothing is\n"
    "written back until File > Save or Save As.\n"
    "\n"
    "FILE is loaded at start-up when its name is longer than 3 characters; double quotes\n"
    "in it are removed. Further arguments are ignored.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

} // namespace

std::optional<std::string> CommandLineAnswer(int argc, const char* const* argv) {
    if (argc < 2 || argv == nullptr || argv[1] == nullptr) {
        return std::nullopt;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        return std::string(USAGE);
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        return ProgramTitle() + "\n";
    }
    return std::nullopt;
}

std::optional<int> AnswerCommandLine(int argc, const char* const* argv) {
    const std::optional<std::string> answer = CommandLineAnswer(argc, argv);
    if (!answer) {
        return std::nullopt;
    }
    // A full disk or a closed pipe must not pass for a printed answer.
    const bool written = std::fwrite(answer->data(), 1, answer->size(), stdout) == answer->size();
    if (std::fflush(stdout) != 0 || !written) {
        std::fprintf(stderr, "tessary: cannot write to standard output\n");
        return 1;
    }
    return 0;
}
