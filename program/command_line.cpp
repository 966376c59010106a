#include "program/command_line.h"

#include "core/text_ops.h"
#include "program/program_title.h"
#include "program/state/file_state.h"
#include "toolkit/toolkit.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* USAGE =
    "Usage: tessary [FILE]\n"
    "       tessary -- FILE\n"
    "       tessary -h | --help | -V | --version\n"
    "\n"
    "Inspect and patch FILE byte by byte. The whole file is held in memory; nothing is\n"
    "written back until File > Save or Save As.\n"
    "\n"
    "FILE is loaded at start-up when its name is longer than 3 characters; double quotes\n"
    "in it are removed. Further arguments are ignored.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             end the options: the next argument is FILE, even if it begins with -\n";

bool Is(const char* argument, const char* text) {
    return std::strcmp(argument, text) == 0;
}

} // namespace

std::optional<std::string> CommandLineAnswer(int argc, const char* const* argv) {
    if (argc < 2 || argv == nullptr || argv[1] == nullptr) {
        return std::nullopt;
    }
    if (Is(argv[1], "-h") || Is(argv[1], "--help")) {
        return std::string(USAGE);
    }
    if (Is(argv[1], "-V") || Is(argv[1], "--version")) {
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

bool TakeCommandLineName() {
    const int32_t index = CommandArgument(0) == END_OF_OPTIONS ? 1 : 0;
    const std::string argument = CommandArgument(index);
    if (TextLength(argument) <= 3) {
        return false;
    }
    FileState.FileName = RemoveAll(argument, "\"");
    return true;
}
