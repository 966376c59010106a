#include "program/search.h"

#include "core/number_text.h"
#include "core/pattern_scan.h"
#include "program/controls.h"
#include "program/state/file_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "toolkit/toolkit.h"

void FindNext() {
    const std::string text = GetControlText(Control::SearchTextField);
    const SearchType type = SearchTypeNamed(GetControlText(Control::SearchTypeCombo));
    const int32_t fromStart = GetControlState(Control::FromStartCheck);
    // Every press continues after the pointer until a load or the user checks the box again.
    SetControlState(Control::FromStartCheck, 0);
    // The offset of the byte after the pointer's byte is the pointer's own value.
    const int32_t start = fromStart == 1 ? 0 : Low32(Pointer.FilePointer);
    const SearchPattern pattern = BuildSearchPattern(type, text);
    static const uint8_t emptyPattern = 0;
    const uint8_t* patternBytes = !pattern.present        ? nullptr
                                  : pattern.bytes.empty() ? &emptyPattern
                                                          : pattern.bytes.data();
    const int32_t position =
        ScanForPattern(start, FileState.FileBuffer.data(), Low32(FileState.FileSize), patternBytes,
                       static_cast<int32_t>(pattern.bytes.size()));
    // A miss gives 0, which the refresh's clamp turns into the first byte: only the scan's own
    // result tells it from a match there.
    Pointer.FilePointer = position;
    RefreshView();
    ReportOutcome(position > 0);
}
