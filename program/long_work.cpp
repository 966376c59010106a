#include "program/long_work.h"

#include "core/number_text.h"
#include "program/state/long_work_state.h"
#include "toolkit/toolkit.h"

#include <chrono>

namespace {

int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string ProgressText(const std::string& verb, int64_t done, int64_t total) {
    return verb + " " + DecimalText64(done) + " of " + DecimalText64(total) + " bytes";
}

// What the core calls after each chunk. Serving the window costs a little, so chunks that come
// fast are served every few milliseconds, not each time.
bool ReportProgress(const std::string& verb, int64_t done, int64_t total, bool cancellable) {
    if (!cancellable) {
        DisableProgressCancel();
    }
    const int64_t now = NowMilliseconds();
    if (now - LongWork.servedAt < LongWork.serveEveryMilliseconds) {
        return true;
    }
    if (LongWork.windowShown || now - LongWork.startedAt >= LongWork.showAfterMilliseconds) {
        ShowProgressWindow(ProgressText(verb, done, total));
        LongWork.windowShown = true;
    }
    const bool goOn = ServeLongWork();
    LongWork.servedAt = NowMilliseconds();
    return goOn;
}

} // namespace

ProgressCallback BeginReportedWork(const std::string& verb) {
    BeginLongWork();
    LongWork.startedAt = NowMilliseconds();
    LongWork.servedAt = LongWork.startedAt;
    LongWork.windowShown = false;
    return [verb](int64_t done, int64_t total, bool cancellable) {
        return ReportProgress(verb, done, total, cancellable);
    };
}

void EndReportedWork() {
    EndLongWork();
    LongWork.windowShown = false;
}
