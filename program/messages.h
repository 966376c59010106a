// Every message the user can see, word for word, and the one way they are shown.
#pragma once

#include <cstdint>
#include <string>

constexpr const char* PROGRAM_CAPTION = "Tessary";
constexpr const char* MESSAGE_EMPTY_OR_INVALID = "Empty or invalid file";
constexpr const char* MESSAGE_OPEN_FAILED = "Failed to Open File";
constexpr const char* MESSAGE_SAVE_FAILED = "Unable to Save File";
constexpr const char* MESSAGE_INVALID_NAME = "Invalid File Name";

// "Failed to allocate N bytes of memory".
[[nodiscard]] std::string AllocationFailedMessage(int64_t size);

// A modal box with the program's caption, the text and one OK button.
void ShowProgramMessage(const std::string& text);
