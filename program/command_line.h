// The command line: the arguments that the program answers on standard output without opening
// its window, and the name of the file to load. Every first argument other than those answered
// keeps its meaning: the name of the file to load, or END_OF_OPTIONS before that name.
#pragma once

#include <optional>
#include <string>

// Ends the options: the argument after it is the file name, whatever it looks like.
constexpr const char* END_OF_OPTIONS = "--";

// The text that the first argument asks for ("-h" or "--help", "-V" or "--version"), or nothing
// when the program should start as usual. Only the first argument counts, as for the file name.
[[nodiscard]] std::optional<std::string> CommandLineAnswer(int argc, const char* const* argv);

// Prints the answer, if any, to standard output. Returns the exit code when the process must end
// here (0, or 1 when the answer could not be written), or nothing to go on to the window.
[[nodiscard]] std::optional<int> AnswerCommandLine(int argc, const char* const* argv);

// Takes the file name from the first command-line argument, or from the second when the first
// ends the options, into FileName; true when a load is due.
[[nodiscard]] bool TakeCommandLineName();
