// The clock of a long load or save, read between its chunks: the design has no timers.
#pragma once

#include <cstdint>

struct LongWorkTiming {
    // Steady-clock milliseconds at which the work began and at which the window was last served.
    int64_t startedAt = 0;
    int64_t servedAt = 0;
    // How long work runs before its progress window shows: shorter work looks as it always did.
    int64_t showAfterMilliseconds = 500;
    // The longest the window goes unserved while chunks arrive faster than this.
    int64_t serveEveryMilliseconds = 10;
    bool windowShown = false;
};
extern LongWorkTiming LongWork;
