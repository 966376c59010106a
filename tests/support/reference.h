// Plain references that the tests, the fuzz targets and the benchmarks hold the program's code
// against. Written for clarity, not speed, and kept out of the program. No Qt.
#pragma once

#include "core/fast_scan.h"

#include <cstdint>
#include <string>
#include <vector>

// Sunday's Quick Search, step by step: the answers every faster scan must give. The same
// contract as ScanForPattern.
[[nodiscard]] int32_t ScanForPatternSunday(int32_t start, const uint8_t* buffer, int32_t size,
                                           const uint8_t* pattern, int32_t patternLength);

// Every scan path this processor can run, the fastest last, and a name for each.
[[nodiscard]] std::vector<ScanPath> AvailableScanPaths();
[[nodiscard]] const char* ScanPathName(ScanPath path);

// `count` spaces; negative gives the empty text.
[[nodiscard]] std::string Blanks(int32_t count);
