// How a long read or write tells its caller how far it has come, and hears that the user wants it
// stopped. The work moves in chunks and reports after each one, so that the caller can let the
// window answer between them.
#pragma once

#include <cstdint>
#include <functional>

// The bytes of one step of a reported read or write: at a slow disk's 50 MB/s one step takes
// about 20 ms, which leaves room below the 100 ms that the window may go unanswered for a disk
// that stalls now and then; at the page cache's pace the steps cost nothing next to the copying.
constexpr int64_t PROGRESS_CHUNK_SIZE = int64_t{1} << 20;

// Told after each chunk that `done` of `total` bytes have moved. Returns false to cancel the work,
// which then fails with ECANCELED. `cancellable` is false once the work can no longer be undone (a
// save in place whose first byte reached the target): the work then ignores the answer. An empty
// callback asks for no reports, and the work moves in the largest steps the system allows.
using ProgressCallback = std::function<bool(int64_t done, int64_t total, bool cancellable)>;
