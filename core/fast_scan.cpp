// Sunday's scan slows to one or two bytes a step whenever the byte after its window is common in
// the pattern: runs of zeros, numbers stored with zero high bytes, one- and two-byte patterns.
// This scan does not shift at all. It tests 64 alignments at once (8 on the portable path): a
// few bytes of the pattern, those rarest in a sample of the bytes to be searched, are compared at
// every alignment of the block with vector instructions. Two bytes are enough unless the sample
// shows them common together, as letters in text are; then up to four. Only where all of them
// agree are the pattern's bytes compared one after another, still a whole block at a time, until
// no alignment is left. What survives all m bytes is a match and the lowest survivor the first;
// blocks go in increasing order, so the answer is always the first match, the one Sunday's scan
// finds. A one-byte pattern goes to memchr, which already runs at memory speed.
//
// Every load stays inside the buffer: a block is tested only when its last alignment leaves room
// for the whole pattern, and the alignments after the last whole block are compared one by one.
#include "core/fast_scan.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define TESSARY_X86_64 1
#endif

namespace {

constexpr int64_t BLOCK_ALIGNMENTS = 64;
// The sample that ranks the pattern's bytes: slices spread evenly over the bytes to be searched.
constexpr int32_t SAMPLE_SLICES = 32;
constexpr int64_t SLICE_BYTES = 256;
// Filter bytes are added while more than one sampled alignment in this many passes the filter;
// below that, at most a few percent of the blocks need a closer look.
constexpr int64_t PASSING_ALIGNMENTS_LIMIT = 1024;
constexpr int32_t MOST_FILTER_BYTES = 4;

struct BlockScan {
    const uint8_t* buffer;
    const uint8_t* pattern;
    int64_t length;
    int32_t filterCount;                      // 2 up to MOST_FILTER_BYTES, never above length
    int64_t filterOffsets[MOST_FILTER_BYTES]; // into the pattern, rarest byte first
};

struct BlockResult {
    int64_t match; // offset of the first match, or -1
    int64_t next;  // the first alignment not yet tested when there was no match
};

// Alignments [begin, begin + length) of the buffer, spread over the range to be searched.
struct Sample {
    int64_t begin[SAMPLE_SLICES];
    int64_t length[SAMPLE_SLICES];
    int32_t slices;
};

Sample TakeSample(int64_t start, int64_t end) {
    Sample sample{};
    const int64_t range = end - start;
    if (range <= SAMPLE_SLICES * SLICE_BYTES) {
        sample.begin[0] = start;
        sample.length[0] = range;
        sample.slices = 1;
        return sample;
    }
    const int64_t spacing = (range - SLICE_BYTES) / (SAMPLE_SLICES - 1);
    for (int32_t slice = 0; slice < SAMPLE_SLICES; ++slice) {
        sample.begin[slice] = start + slice * spacing;
        sample.length[slice] = SLICE_BYTES;
    }
    sample.slices = SAMPLE_SLICES;
    return sample;
}

// How common a byte is in files in general, 0 (rare) to 255; only breaks ties of the sample.
uint32_t TypicalCommonness(uint8_t byte) {
    if (byte == 0x00) {
        return 255;
    }
    if (byte == 0xFF || byte == ' ') {
        return 240;
    }
    if (std::strchr("etaoinsrhl", byte) != nullptr) {
        return 220;
    }
    if ((byte >= 'a' && byte <= 'z') || byte == '\n' || byte == '.' || byte == ',') {
        return 180;
    }
    if ((byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || byte == '\r' ||
        byte == '\t' || byte == 0x01) {
        return 140;
    }
    return byte >= 0x20 && byte < 0x7F ? 100 : 60;
}

// Orders up to MOST_FILTER_BYTES pattern offsets by how rare their bytes are in the sample.
// At equal rarity a byte value not chosen yet goes first: a run of one value cannot pass two
// different values.
int32_t RankRareOffsets(BlockScan& scan, const uint8_t* buffer, const Sample& sample) {
    uint32_t counts[256] = {};
    for (int32_t slice = 0; slice < sample.slices; ++slice) {
        const uint8_t* from = buffer + sample.begin[slice];
        for (int64_t i = 0; i < sample.length[slice]; ++i) {
            ++counts[from[i]];
        }
    }
    const uint8_t* pattern = scan.pattern;
    int32_t ranked = 0;
    const auto key = [&](int64_t offset) {
        bool repeated = false;
        for (int32_t i = 0; i < ranked; ++i) {
            repeated = repeated || pattern[scan.filterOffsets[i]] == pattern[offset];
        }
        const uint8_t byte = pattern[offset];
        return (uint64_t{counts[byte]} << 9) | (repeated ? 256u : 0u) | TypicalCommonness(byte);
    };
    const int64_t wanted = scan.length < MOST_FILTER_BYTES ? scan.length : MOST_FILTER_BYTES;
    for (; ranked < wanted; ++ranked) {
        int64_t best = -1;
        uint64_t bestKey = 0;
        for (int64_t offset = scan.length - 1; offset >= 0; --offset) {
            bool taken = false;
            for (int32_t i = 0; i < ranked; ++i) {
                taken = taken || scan.filterOffsets[i] == offset;
            }
            if (!taken && (best < 0 || key(offset) < bestKey)) {
                best = offset;
                bestKey = key(offset);
            }
        }
        scan.filterOffsets[ranked] = best;
    }
    return ranked;
}

bool PassesFilter(const BlockScan& scan, int64_t alignment) {
    const uint8_t* at = scan.buffer + alignment;
    for (int32_t i = 0; i < scan.filterCount; ++i) {
        if (at[scan.filterOffsets[i]] != scan.pattern[scan.filterOffsets[i]]) {
            return false;
        }
    }
    return true;
}

// Starts with the two rarest bytes and adds the next rarest while too many sampled alignments
// pass: bytes that are rare alone can be common together, as letters are in text.
void ChooseFilter(BlockScan& scan, const Sample& sample, int64_t end) {
    const int32_t ranked = RankRareOffsets(scan, scan.buffer, sample);
    for (scan.filterCount = 2; scan.filterCount < ranked; ++scan.filterCount) {
        int64_t sampled = 0;
        int64_t passing = 0;
        for (int32_t slice = 0; slice < sample.slices; ++slice) {
            const int64_t first = sample.begin[slice];
            const int64_t last = std::min(first + sample.length[slice], end);
            for (int64_t alignment = first; alignment < last; ++alignment) {
                ++sampled;
                passing += PassesFilter(scan, alignment) ? 1 : 0;
            }
        }
        if (passing * PASSING_ALIGNMENTS_LIMIT <= sampled) {
            break;
        }
    }
}

bool MatchesAt(const BlockScan& scan, int64_t alignment) {
    return PassesFilter(scan, alignment) && std::memcmp(scan.buffer + alignment, scan.pattern,
                                                        static_cast<size_t>(scan.length)) == 0;
}

int64_t LowestBit(uint64_t mask) {
    return __builtin_ctzll(mask);
}

// The portable path works on 8 alignments per 64-bit word. A byte of the result has its high bit
// set exactly where the byte of `word` equals `byte` (no false positives from borrows).
uint64_t EqualBytes(uint64_t word, uint8_t byte) {
    constexpr uint64_t LOW_SEVEN_BITS = 0x7F7F7F7F7F7F7F7Fu;
    const uint64_t difference = word ^ (0x0101010101010101u * byte);
    return ~(((difference & LOW_SEVEN_BITS) + LOW_SEVEN_BITS) | difference | LOW_SEVEN_BITS);
}

// Byte j of the result is bytes[j] whatever the processor's byte order.
uint64_t LoadLittleEndian(const uint8_t* bytes) {
    uint64_t word = 0;
    for (int32_t j = 0; j < 8; ++j) {
        word |= uint64_t{bytes[j]} << (8 * j);
    }
    return word;
}

BlockResult ScanBlocksPortable(const BlockScan& scan, int64_t begin, int64_t end) {
    int64_t offset = begin;
    for (; offset + 8 <= end; offset += 8) {
        const uint8_t* at = scan.buffer + offset;
        uint64_t candidates = ~uint64_t{0};
        for (int32_t i = 0; i < scan.filterCount; ++i) {
            const int64_t k = scan.filterOffsets[i];
            candidates &= EqualBytes(LoadLittleEndian(at + k), scan.pattern[k]);
        }
        for (int64_t k = 0; candidates != 0 && k < scan.length; ++k) {
            candidates &= EqualBytes(LoadLittleEndian(at + k), scan.pattern[k]);
        }
        if (candidates != 0) {
            return {offset + LowestBit(candidates) / 8, offset};
        }
    }
    return {-1, offset};
}

#if defined(TESSARY_X86_64)

uint64_t EqualMaskSse2(const uint8_t* at, __m128i byte) {
    uint64_t mask = 0;
    for (int32_t part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * part));
        const auto bits = static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, byte)));
        mask |= uint64_t{bits} << (16 * part);
    }
    return mask;
}

template <int32_t FILTER_BYTES>
BlockResult ScanBlocksSse2(const BlockScan& scan, int64_t begin, int64_t end) {
    int64_t offsets[FILTER_BYTES];
    __m128i filter[FILTER_BYTES];
#pragma GCC unroll 4
    for (int32_t i = 0; i < FILTER_BYTES; ++i) {
        offsets[i] = scan.filterOffsets[i];
        filter[i] = _mm_set1_epi8(static_cast<char>(scan.pattern[offsets[i]]));
    }
    int64_t offset = begin;
    for (; offset + BLOCK_ALIGNMENTS <= end; offset += BLOCK_ALIGNMENTS) {
        const uint8_t* at = scan.buffer + offset;
        __m128i parts[4];
#pragma GCC unroll 4
        for (int32_t part = 0; part < 4; ++part) {
            parts[part] = _mm_set1_epi8(-1);
#pragma GCC unroll 4
            for (int32_t i = 0; i < FILTER_BYTES; ++i) {
                const __m128i bytes =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offsets[i] + 16 * part));
                parts[part] = _mm_and_si128(parts[part], _mm_cmpeq_epi8(bytes, filter[i]));
            }
        }
        const __m128i any =
            _mm_or_si128(_mm_or_si128(parts[0], parts[1]), _mm_or_si128(parts[2], parts[3]));
        if (_mm_movemask_epi8(any) == 0) {
            continue;
        }
        uint64_t candidates = 0;
        for (int32_t part = 0; part < 4; ++part) {
            const auto bits = static_cast<uint16_t>(_mm_movemask_epi8(parts[part]));
            candidates |= uint64_t{bits} << (16 * part);
        }
        for (int64_t k = 0; candidates != 0 && k < scan.length; ++k) {
            candidates &= EqualMaskSse2(at + k, _mm_set1_epi8(static_cast<char>(scan.pattern[k])));
        }
        if (candidates != 0) {
            return {offset + LowestBit(candidates), offset};
        }
    }
    return {-1, offset};
}

__attribute__((target("avx2"))) uint64_t EqualMaskAvx2(const uint8_t* at, __m256i byte) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32));
    const auto lowBits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, byte)));
    const auto highBits =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, byte)));
    return uint64_t{lowBits} | uint64_t{highBits} << 32;
}

template <int32_t FILTER_BYTES>
__attribute__((target("avx2"))) BlockResult ScanBlocksAvx2(const BlockScan& scan, int64_t begin,
                                                           int64_t end) {
    // Locals, so that the unrolled filter keeps its offsets and bytes in registers.
    int64_t offsets[FILTER_BYTES];
    __m256i filter[FILTER_BYTES];
#pragma GCC unroll 4
    for (int32_t i = 0; i < FILTER_BYTES; ++i) {
        offsets[i] = scan.filterOffsets[i];
        filter[i] = _mm256_set1_epi8(static_cast<char>(scan.pattern[offsets[i]]));
    }
    int64_t offset = begin;
    for (; offset + BLOCK_ALIGNMENTS <= end; offset += BLOCK_ALIGNMENTS) {
        const uint8_t* at = scan.buffer + offset;
        __m256i low = _mm256_set1_epi8(-1);
        __m256i high = low;
#pragma GCC unroll 4
        for (int32_t i = 0; i < FILTER_BYTES; ++i) {
            const uint8_t* from = at + offsets[i];
            const __m256i lowBytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
            const __m256i highBytes =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 32));
            low = _mm256_and_si256(low, _mm256_cmpeq_epi8(lowBytes, filter[i]));
            high = _mm256_and_si256(high, _mm256_cmpeq_epi8(highBytes, filter[i]));
        }
        const __m256i any = _mm256_or_si256(low, high);
        if (_mm256_testz_si256(any, any) != 0) {
            continue;
        }
        const auto lowBits = static_cast<uint32_t>(_mm256_movemask_epi8(low));
        const auto highBits = static_cast<uint32_t>(_mm256_movemask_epi8(high));
        uint64_t candidates = uint64_t{lowBits} | uint64_t{highBits} << 32;
        for (int64_t k = 0; candidates != 0 && k < scan.length; ++k) {
            candidates &=
                EqualMaskAvx2(at + k, _mm256_set1_epi8(static_cast<char>(scan.pattern[k])));
        }
        if (candidates != 0) {
            return {offset + LowestBit(candidates), offset};
        }
    }
    return {-1, offset};
}

template <template <int32_t> class Kernel>
BlockResult WithFilterBytes(const BlockScan& scan, int64_t begin, int64_t end) {
    switch (scan.filterCount) {
    case 2:
        return Kernel<2>::Run(scan, begin, end);
    case 3:
        return Kernel<3>::Run(scan, begin, end);
    default:
        return Kernel<4>::Run(scan, begin, end);
    }
}

template <int32_t FILTER_BYTES> struct Sse2Kernel {
    static BlockResult Run(const BlockScan& scan, int64_t begin, int64_t end) {
        return ScanBlocksSse2<FILTER_BYTES>(scan, begin, end);
    }
};

template <int32_t FILTER_BYTES> struct Avx2Kernel {
    static BlockResult Run(const BlockScan& scan, int64_t begin, int64_t end) {
        return ScanBlocksAvx2<FILTER_BYTES>(scan, begin, end);
    }
};

#endif

BlockResult ScanBlocks(ScanPath path, const BlockScan& scan, int64_t begin, int64_t end) {
#if defined(TESSARY_X86_64)
    if (path == ScanPath::Avx2) {
        return WithFilterBytes<Avx2Kernel>(scan, begin, end);
    }
    if (path == ScanPath::Sse2) {
        return WithFilterBytes<Sse2Kernel>(scan, begin, end);
    }
#endif
    static_cast<void>(path);
    return ScanBlocksPortable(scan, begin, end);
}

ScanPath ChooseFastestPath() {
#if defined(TESSARY_X86_64)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? ScanPath::Avx2 : ScanPath::Sse2;
#else
    return ScanPath::Portable;
#endif
}

} // namespace

bool ScanPathAvailable(ScanPath path) {
    switch (path) {
    case ScanPath::Portable:
        return true;
    case ScanPath::Sse2:
#if defined(TESSARY_X86_64)
        return true;
#else
        return false;
#endif
    case ScanPath::Avx2:
        return FastestScanPath() == ScanPath::Avx2;
    }
    return false;
}

ScanPath FastestScanPath() {
    static const ScanPath fastest = ChooseFastestPath();
    return fastest;
}

int32_t ScanForPatternOn(ScanPath path, int32_t start, const uint8_t* buffer, int32_t size,
                         const uint8_t* pattern, int32_t patternLength) {
    if (pattern == nullptr || start < 0 || size < 0 || patternLength < 0) {
        return 0;
    }
    if (patternLength == 0) {
        return start <= size && start < INT32_MAX ? start + 1 : 0;
    }
    const int64_t lastStart = int64_t{size} - patternLength;
    if (start > lastStart) {
        return 0;
    }
    if (patternLength == 1) {
        // The C library's search for one byte already runs at memory speed.
        const void* found =
            std::memchr(buffer + start, pattern[0], static_cast<size_t>(size - start));
        return found == nullptr
                   ? 0
                   : static_cast<int32_t>(static_cast<const uint8_t*>(found) - buffer + 1);
    }
    const int64_t end = lastStart + 1; // one past the last alignment
    BlockScan scan{buffer, pattern, patternLength, 2, {}};
    ChooseFilter(scan, TakeSample(start, end), end);
    const BlockResult blocks = ScanBlocks(path, scan, start, end);
    if (blocks.match >= 0) {
        return static_cast<int32_t>(blocks.match + 1);
    }
    for (int64_t alignment = blocks.next; alignment < end; ++alignment) {
        if (MatchesAt(scan, alignment)) {
            return static_cast<int32_t>(alignment + 1);
        }
    }
    return 0;
}
