// Sunday's scan slows to one or two bytes a step whenever the byte after its window is common in
// the pattern: runs of zeros, numbers stored with zero high bytes, one- and two-byte patterns.
// This scan does not shift at all. It tests 64 alignments at once (8 on the portable path): a
// few bytes of the pattern, the filter, are compared at every alignment of the block with vector
// instructions. The filter is chosen on a sample of the bytes to be searched: first the pattern's
// byte rarest there, then, one at a time, the byte that the fewest sampled alignments passing the
// filter so far agree with. So its bytes are rare together at their distances even where each is
// common alone: in "abab...", where a pattern breaks the alternation at one place, the byte there
// and any other byte of the pattern never agree at the same alignment. Two bytes are enough unless
// the sample shows them common together, as letters in text can be; then up to four. Only where
// all of them agree are the pattern's bytes compared one after another, still a whole block at a
// time, until no alignment is left. What survives all m bytes is a match and the lowest survivor
// the first; blocks go in increasing order, so the answer is always the first match, the one
// Sunday's scan finds. A one-byte pattern goes to memchr, which already runs at memory speed.
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
// The sample that chooses the filter: slices of SLICE_BYTES alignments spread evenly over the
// range to be searched, one for each SAMPLED_RANGE_BYTES of it, but at least FEWEST_SLICES and at
// most MOST_SLICES. Up to 32 MiB that is 8 KiB, from 256 MiB on 64 KiB: beyond 32 MiB about 1/4096
// of the bytes scanned, and at the largest sizes enough to see a filter that passes one alignment
// in PASSING_ALIGNMENTS_LIMIT. A smaller sample sees none of those, and takes more filter bytes.
constexpr int64_t SLICE_BYTES = 256;
constexpr int64_t SAMPLED_RANGE_BYTES = int64_t{1} << 20;
constexpr int32_t FEWEST_SLICES = 32;
constexpr int32_t MOST_SLICES = 256;
// Filter bytes are added while more than one sampled alignment in this many passes the filter.
// Below that, about one block in 256 needs a closer look; each costs a mispredicted branch and a
// few comparisons, which would show beside blocks that take a few cycles each at memory speed.
constexpr int64_t PASSING_ALIGNMENTS_LIMIT = 16384;
constexpr int32_t MOST_FILTER_BYTES = 4;
// At most this many sampled alignments that pass the filter so far are kept (on the stack).
constexpr int64_t KEPT_SURVIVORS = 8192;
// A candidate for the next filter byte is judged on at most this many of the kept alignments, and
// on fewer for patterns longer than 256 bytes, so that judging takes at most about
// JUDGING_COMPARISONS byte comparisons per filter byte (and one pass over the pattern). Judging
// on four times as many chose no better filters for text.
constexpr int64_t JUDGED_SURVIVORS = 64;
constexpr int64_t JUDGING_COMPARISONS = JUDGED_SURVIVORS * 256;
// Pattern offsets counted at once while judging, so that the counters stay on the stack.
constexpr int64_t COUNTED_OFFSETS = 256;

struct BlockScan {
    const uint8_t* buffer;
    const uint8_t* pattern;
    int64_t length;
    int32_t filterCount;                      // 2 up to MOST_FILTER_BYTES, never above length
    int64_t filterOffsets[MOST_FILTER_BYTES]; // into the pattern, in the order chosen
};

struct BlockResult {
    int64_t match; // offset of the first match, or -1
    int64_t next;  // the first alignment not yet tested when there was no match
};

// Alignments [begin, begin + length) of the buffer, spread over the range to be searched.
struct Sample {
    int64_t begin[MOST_SLICES];
    int64_t length[MOST_SLICES];
    int32_t slices;
};

Sample TakeSample(int64_t start, int64_t end) {
    Sample sample;
    const int64_t range = end - start;
    const int64_t slices =
        std::clamp(range / SAMPLED_RANGE_BYTES, int64_t{FEWEST_SLICES}, int64_t{MOST_SLICES});
    if (range <= slices * SLICE_BYTES) {
        sample.begin[0] = start;
        sample.length[0] = range;
        sample.slices = 1;
        return sample;
    }
    const int64_t spacing = (range - SLICE_BYTES) / (slices - 1);
    for (int64_t slice = 0; slice < slices; ++slice) {
        sample.begin[slice] = start + slice * spacing;
        sample.length[slice] = SLICE_BYTES;
    }
    sample.slices = static_cast<int32_t>(slices);
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

// How rare the byte at `offset` is on its own: its count in the sample, then whether its value
// is among the filter bytes already chosen (a run of one value cannot pass two different values),
// then how common it is in files in general. Lower is rarer.
uint64_t RarityAlone(const BlockScan& scan, const uint32_t* counts, int64_t offset) {
    const uint8_t byte = scan.pattern[offset];
    bool repeated = false;
    for (int32_t i = 0; i < scan.filterCount; ++i) {
        repeated = repeated || scan.pattern[scan.filterOffsets[i]] == byte;
    }
    return (uint64_t{counts[byte]} << 9) | (repeated ? 256u : 0u) | TypicalCommonness(byte);
}

bool IsFilterOffset(const BlockScan& scan, int64_t offset) {
    for (int32_t i = 0; i < scan.filterCount; ++i) {
        if (scan.filterOffsets[i] == offset) {
            return true;
        }
    }
    return false;
}

// The alignments of some of the sample's slices that pass the filter bytes chosen so far: those
// of every slice where the rarest byte is rare, of evenly spread slices where it is common.
struct Survivors {
    int32_t kept[KEPT_SURVIVORS];
    int64_t keptCount;
    int64_t from; // how many alignments those slices have
};

// Adds the alignments [first, first + count) that have `byte` at `offset` to the survivors, or,
// where they do not all fit, none of them. The sample's alignments leave room for the whole
// pattern, so every byte read is inside the buffer.
bool KeepAgreeing(const uint8_t* buffer, int64_t first, int64_t count, int64_t offset, uint8_t byte,
                  Survivors& survivors) {
    const int64_t before = survivors.keptCount;
    bool fits = true;
    const auto keep = [&survivors, &fits](int64_t alignment) {
        fits = fits && survivors.keptCount < KEPT_SURVIVORS;
        if (fits) {
            survivors.kept[survivors.keptCount++] = static_cast<int32_t>(alignment);
        }
    };
    const uint8_t* at = buffer + first + offset;
    int64_t i = 0;
#if defined(TESSARY_X86_64)
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(byte));
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + i));
        auto mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
        for (; mask != 0; mask &= mask - 1) {
            keep(first + i + __builtin_ctz(mask));
        }
    }
#endif
    for (; i < count; ++i) {
        if (at[i] == byte) {
            keep(first + i);
        }
    }
    if (!fits) {
        survivors.keptCount = before;
    }
    return fits;
}

// agreeing[j] = how many of the rows have wanted[j] at j, for j < width; at most 255 rows, so
// that a byte counts them.
void CountAgreements(const uint8_t* const* rows, int64_t rowCount, const uint8_t* wanted,
                     int64_t width, uint8_t* agreeing) {
    int64_t j = 0;
#if defined(TESSARY_X86_64)
    for (; j + 16 <= width; j += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(wanted + j));
        __m128i sums = _mm_setzero_si128();
        for (int64_t row = 0; row < rowCount; ++row) {
            const __m128i found = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[row] + j));
            sums = _mm_sub_epi8(sums, _mm_cmpeq_epi8(found, bytes));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(agreeing + j), sums);
    }
#endif
    for (; j < width; ++j) {
        uint8_t sum = 0;
        for (int64_t row = 0; row < rowCount; ++row) {
            sum = static_cast<uint8_t>(sum + (rows[row][j] == wanted[j] ? 1 : 0));
        }
        agreeing[j] = sum;
    }
}

// The pattern offset whose byte the fewest survivors agree with, judged on up to
// JUDGED_SURVIVORS of them spread over the sample: a pair of bytes can be rare at its distance
// although each byte is common, as in "abab..." where an "a" two bytes before another never
// follows a "b" one byte before. Where the survivors cannot tell (none are left, or candidates
// agree as often), the byte rarest on its own goes first; at equal rarity the last offset.
int64_t RarestGivenSurvivors(const BlockScan& scan, const uint32_t* counts,
                             const Survivors& survivors) {
    const int64_t most =
        std::min(JUDGED_SURVIVORS, std::max(int64_t{1}, JUDGING_COMPARISONS / scan.length));
    const int64_t step = std::max(int64_t{1}, (survivors.keptCount + most - 1) / most);
    const uint8_t* rows[JUDGED_SURVIVORS];
    int64_t rowCount = 0;
    for (int64_t i = 0; i < survivors.keptCount; i += step) {
        rows[rowCount++] = scan.buffer + survivors.kept[i];
    }
    int64_t best = -1;
    uint32_t bestAgreeing = 0;
    uint64_t bestAlone = 0;
    for (int64_t first = 0; first < scan.length; first += COUNTED_OFFSETS) {
        const int64_t width = std::min(COUNTED_OFFSETS, scan.length - first);
        uint8_t agreeing[COUNTED_OFFSETS];
        CountAgreements(rows, rowCount, scan.pattern + first, width, agreeing);
        for (int64_t row = 0; row < rowCount; ++row) {
            rows[row] += width;
        }
        for (int64_t j = 0; j < width; ++j) {
            const int64_t offset = first + j;
            if ((best >= 0 && agreeing[j] > bestAgreeing) || IsFilterOffset(scan, offset)) {
                continue;
            }
            const uint64_t alone = RarityAlone(scan, counts, offset);
            if (best < 0 || agreeing[j] < bestAgreeing || alone <= bestAlone) {
                best = offset;
                bestAgreeing = agreeing[j];
                bestAlone = alone;
            }
        }
    }
    return best;
}

// Starts with the byte rarest in the sample, then adds, one at a time, the byte that the fewest
// sampled alignments passing the filter so far agree with, until at most one sampled alignment in
// PASSING_ALIGNMENTS_LIMIT passes two or more filter bytes, or MOST_FILTER_BYTES are chosen.
// How often each byte value occurs in the sample. The counts only rank single bytes, so
// FEWEST_SLICES evenly spread slices tell enough; `countedEvery` is the step between them.
struct ByteCounts {
    uint32_t of[256] = {};
    int32_t countedEvery = 1;
};

ByteCounts CountSampleBytes(const BlockScan& scan, const Sample& sample) {
    ByteCounts counts;
    counts.countedEvery = (sample.slices + FEWEST_SLICES - 1) / FEWEST_SLICES;
    for (int32_t slice = 0; slice < sample.slices; slice += counts.countedEvery) {
        const uint8_t* from = scan.buffer + sample.begin[slice];
        for (int64_t i = 0; i < sample.length[slice]; ++i) {
            ++counts.of[from[i]];
        }
    }
    return counts;
}

// The offset of the pattern byte rarest in the sample; the last one among equals.
int64_t RarestOffset(const BlockScan& scan, const ByteCounts& counts) {
    int64_t rarest = scan.length - 1;
    uint64_t rarestAlone = RarityAlone(scan, counts.of, rarest);
    for (int64_t offset = scan.length - 2; offset >= 0; --offset) {
        const uint64_t alone = RarityAlone(scan, counts.of, offset);
        if (alone < rarestAlone) {
            rarest = offset;
            rarestAlone = alone;
        }
    }
    return rarest;
}

// The sampled alignments that agree with the pattern at `rarest`. Where that byte is common, as
// in periodic data, the survivors of every slice would not fit: only evenly spread slices are
// looked at, enough to fill about half the room.
Survivors SurvivorsOfRarest(const BlockScan& scan, const Sample& sample, const ByteCounts& counts,
                            int64_t rarest) {
    const uint8_t rarestByte = scan.pattern[rarest];
    const int64_t expected = int64_t{counts.of[rarestByte]} * counts.countedEvery;
    const auto sliceStep = static_cast<int32_t>(1 + 2 * expected / KEPT_SURVIVORS);
    Survivors survivors;
    survivors.keptCount = 0;
    survivors.from = 0;
    for (int32_t slice = 0; slice < sample.slices; slice += sliceStep) {
        if (!KeepAgreeing(scan.buffer, sample.begin[slice], sample.length[slice], rarest,
                          rarestByte, survivors)) {
            break;
        }
        survivors.from += sample.length[slice];
    }
    return survivors;
}

// Keeps of the survivors only those that also agree with the pattern at `offset`.
void KeepAgreeingAt(const BlockScan& scan, int64_t offset, Survivors& survivors) {
    int64_t kept = 0;
    for (int64_t i = 0; i < survivors.keptCount; ++i) {
        const int32_t alignment = survivors.kept[i];
        if (scan.buffer[alignment + offset] == scan.pattern[offset]) {
            survivors.kept[kept++] = alignment;
        }
    }
    survivors.keptCount = kept;
}

// The filter: the rarest byte first, then, one at a time, the byte that the fewest surviving
// alignments also match, while too many alignments still pass.
void ChooseFilter(BlockScan& scan, const Sample& sample) {
    if (scan.length == 2) {
        // The whole pattern is the filter: there is nothing to choose.
        scan.filterOffsets[0] = 0;
        scan.filterOffsets[1] = 1;
        scan.filterCount = 2;
        return;
    }
    const ByteCounts counts = CountSampleBytes(scan, sample);
    const int64_t rarest = RarestOffset(scan, counts);
    scan.filterCount = 0;
    scan.filterOffsets[scan.filterCount++] = rarest;
    Survivors survivors = SurvivorsOfRarest(scan, sample, counts, rarest);
    const int64_t most = std::min(scan.length, int64_t{MOST_FILTER_BYTES});
    while (
        scan.filterCount < most &&
        (scan.filterCount < 2 || survivors.keptCount * PASSING_ALIGNMENTS_LIMIT > survivors.from)) {
        const int64_t next = RarestGivenSurvivors(scan, counts.of, survivors);
        scan.filterOffsets[scan.filterCount++] = next;
        KeepAgreeingAt(scan, next, survivors);
    }
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
    ChooseFilter(scan, TakeSample(start, end));
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
