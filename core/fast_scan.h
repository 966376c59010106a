// The search's scan at memory speed: the same answers as Sunday's scan, on whichever vector
// instructions the processor has.
#pragma once

#include <cstdint>

// The instruction sets the scan can run on. Portable runs anywhere; the others only where
// ScanPathAvailable says so.
enum class ScanPath { Portable, Sse2, Avx2 };

[[nodiscard]] bool ScanPathAvailable(ScanPath path);
// The path ScanForPattern takes, chosen once from what the processor reports.
[[nodiscard]] ScanPath FastestScanPath();

// ScanForPattern on the given path, which must be available: the 1-based position of the first
// match at or after the 0-based offset `start`, or 0, exactly as Sunday's Quick Search answers.
[[nodiscard]] int32_t ScanForPatternOn(ScanPath path, int32_t start, const uint8_t* buffer,
                                       int32_t size, const uint8_t* pattern, int32_t patternLength);
