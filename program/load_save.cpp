#include "program/load_save.h"

#include "core/file_io.h"
#include "core/file_save.h"
#include "program/controls.h"
#include "program/long_work.h"
#include "program/messages.h"
#include "program/state/file_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "toolkit/toolkit.h"

namespace {

constexpr int64_t FIRST_BLOCK_SIZE = 4096;
constexpr int32_t SLIDER_PAGE = 30;

// Shows the file just read: the controls it enables, the slider's range, its name, position 1.
void ShowLoadedFile() {
    SetControlState(Control::FromStartCheck, 1);
    for (const int32_t id : FILE_CONTROLS) {
        SetControlDisabled(id, 0);
    }
    SetScrollAttribute(Control::PointerSlider, SCROLL_MINIMUM, 1);
    SetScrollAttribute(Control::PointerSlider, SCROLL_MAXIMUM,
                       static_cast<int32_t>(FileState.FileSize));
    SetScrollAttribute(Control::PointerSlider, SCROLL_PAGE, SLIDER_PAGE);
    SetControlTextWithPath(Control::FileNameLabel, "Inspected File: ", FileState.FileName);
    Pointer.FilePointer = 1;
    RefreshView();
}

} // namespace

void ResetFileBuffer() {
    FileState = FileBufferState{};
    if (std::optional<ByteBlock> block = ByteBlock::AllocateZeroed(FIRST_BLOCK_SIZE)) {
        FileState.FileBuffer = std::move(*block);
    }
}

void LoadFile() {
    LoadNamedFile(FileState.FileName);
}

void LoadNamedFile(const std::string& name) {
    // Until a file is loaded, the name tried is remembered so that Save can create it; once one
    // is, a load that fails must not send later saves somewhere other than the file shown. A
    // cancelled load changes nothing.
    const std::string previousName = FileState.FileName;
    if (!FileState.loaded) {
        FileState.FileName = name;
    }
    if (QueryFileSize(name) <= 0) {
        ShowProgramMessage(MESSAGE_EMPTY_OR_INVALID);
        return;
    }
    // The previous file stays in FileBuffer, and on show, until the new one is complete.
    ReadResult read = ReadWholeFile(name, BeginReportedWork("Loading"));
    EndReportedWork();
    switch (read.outcome) {
    case ReadOutcome::Loaded:
        break;
    case ReadOutcome::Cancelled:
        FileState.FileName = previousName;
        return;
    case ReadOutcome::Empty:
        ShowProgramMessage(MESSAGE_EMPTY_OR_INVALID);
        return;
    case ReadOutcome::TooLarge:
    case ReadOutcome::NoMemory:
        ShowProgramMessage(AllocationFailedMessage(read.size));
        return;
    case ReadOutcome::OpenFailed:
    case ReadOutcome::ReadFailed:
        ShowProgramMessage(MESSAGE_OPEN_FAILED);
        return;
    }
    FileState.FileBuffer = std::move(read.bytes);
    FileState.FileSize = read.size;
    FileState.FileName = name;
    FileState.loaded = true;
    FileState.LoadedIdentity = read.identity;
    FileState.LoadedName = name;
    ShowLoadedFile();
}

void LoadFileHandler() {
    LoadNamedFile(AskOpenFile("Load File", "", "*.*", 0));
}

void LoadDroppedFile() {
    LoadNamedFile(CurrentEventFile());
}

void SaveFile() {
    // Before any load there are no bytes to write: Save then only creates a missing file, and
    // an existing one keeps its content.
    const WriteMode mode = FileState.loaded ? WriteMode::Replace : WriteMode::CreateIfMissing;
    // Only the name that was loaded is held to what the load found there; Save As to another name
    // follows the rule for links alone.
    const std::optional<FileIdentity> loaded =
        FileState.FileName == FileState.LoadedName ? FileState.LoadedIdentity : std::nullopt;
    const SaveResult saved =
        WriteWholeFile(FileState.FileName, FileState.FileBuffer.data(), FileState.FileSize, mode,
                       loaded, BeginReportedWork("Saving"));
    EndReportedWork();
    // A save the user cancelled failed by choice: nothing to tell.
    if (!saved.saved() && saved.outcome != SaveOutcome::Cancelled) {
        ShowProgramMessage(MESSAGE_SAVE_FAILED);
    }
}

void SaveFileAs() {
    const std::string name = AskSaveFile("Save As", "", "*.*", 0);
    if (name.empty()) {
        ShowProgramMessage(MESSAGE_INVALID_NAME);
        return;
    }
    FileState.FileName = name;
    SaveFile();
}

void ReleaseFileBuffer() {
    FileState.FileBuffer = ByteBlock();
}
