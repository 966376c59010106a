// What tests and benchmarks need of the toolkit layer beyond what the program uses. Lives in its
// own library, tessary_toolkit_testing, which the program never links.
#pragma once

// True when WaitEvent would return at once. Handles the window system's pending messages first,
// without waiting. Lets a test run the program's loop one turn at a time.
[[nodiscard]] bool EventPending();
