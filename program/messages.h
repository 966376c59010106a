// Every message the user can see, word for word, and the one way they are shown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr const char* PROGRAM_CAPTION = "Tessary";
constexpr const char* MESSAGE_EMPTY_OR_INVALID = "Empty or invalid file";
constexpr const char* MESSAGE_OPEN_FAILED = "Failed to Open File";
constexpr const char* MESSAGE_SAVE_FAILED = "Unable to Save File";
constexpr const char* MESSAGE_INVALID_NAME = "Invalid File Name";

// "Failed to allocate N bytes of memory".
[[nodiscard]] std::string AllocationFailedMessage(int64_t size);

// A modal box with the program's caption, the text and one OK button. It takes a view so that
// each message stays whole in the read-only data: a std::string built at the call site copies
// it in 16-byte pieces, and a piece such as "Invalid File Nam" reads to lintian as a misspelling.
void ShowProgramMessage(std::string_view text);
