#include "core/pattern_scan.h"

#include "core/fast_scan.h"
#include "support/reference.h"

#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

namespace {

// The length of an exact block, as the scans take it.
int32_t Length(const ExactBlock& block) {
    return static_cast<int32_t>(block.size());
}

QByteArray Hex(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()))
        .toHex(' ')
        .toUpper();
}

std::string StdText(const QByteArray& text) {
    return std::string(text.constData(), static_cast<size_t>(text.size()));
}

// Runs every scan path the processor has from each start and compares it with Sunday's scan.
// Returns the first disagreement, or an empty text.
QString FirstDisagreement(const std::vector<uint8_t>& buffer, const std::vector<uint8_t>& pattern,
                          const std::vector<int32_t>& starts) {
    const ExactBlock exactBuffer(buffer);
    const ExactBlock exactPattern(pattern);
    for (const int32_t start : starts) {
        const int32_t expected =
            ScanForPatternSunday(start, exactBuffer.data(), Length(exactBuffer),
                                 exactPattern.data(), Length(exactPattern));
        for (const ScanPath path : AvailableScanPaths()) {
            const int32_t found =
                ScanForPatternOn(path, start, exactBuffer.data(), Length(exactBuffer),
                                 exactPattern.data(), Length(exactPattern));
            if (found != expected) {
                return QStringLiteral("%1 path, %2-byte buffer, pattern [%3], start %4: %5, "
                                      "Sunday %6")
                    .arg(QString::fromLatin1(ScanPathName(path)))
                    .arg(buffer.size())
                    .arg(QString::fromLatin1(Hex(pattern)))
                    .arg(start)
                    .arg(found)
                    .arg(expected);
            }
        }
    }
    return {};
}

QList<int> Range(int first, int last) {
    QList<int> values;
    for (int value = first; value <= last; ++value) {
        values.append(value);
    }
    return values;
}

} // namespace

class TestPatternScan : public QObject {
    Q_OBJECT

  private slots:
    void hexTextToBytes_data();
    void hexTextToBytes();

    void searchPattern_data();
    void searchPattern();

    void scanExamples_data();
    void scanExamples();
    void nullPatternFindsNothing();

    void scansAgreeWithBruteForce_data();
    void scansAgreeWithBruteForce();

    void everyPathAgreesAtBlockEdges_data();
    void everyPathAgreesAtBlockEdges();
    void everyPathAgreesOnLongBuffers();
};

void TestPatternScan::hexTextToBytes_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expectedHex");

    QTest::newRow("two pairs") << QByteArray("4142") << QByteArray("41 42");
    QTest::newRow("odd length: last digit alone") << QByteArray("414") << QByteArray("41 04");
    QTest::newRow("single digit") << QByteArray("4") << QByteArray("04");
    QTest::newRow("single non-hex character") << QByteArray("G") << QByteArray("00");
    QTest::newRow("blank starts a pair") << QByteArray("41 042") << QByteArray("41 00 42");
    QTest::newRow("non-hex second character ends the digits")
        << QByteArray("4G12") << QByteArray("04 12");
    QTest::newRow("either case") << QByteArray("0a0B") << QByteArray("0A 0B");
    QTest::newRow("highest and lowest byte") << QByteArray("FF00") << QByteArray("FF 00");
    QTest::newRow("minus sign is no digit") << QByteArray("-1") << QByteArray("00");
    QTest::newRow("empty text") << QByteArray("") << QByteArray("");
    QTest::newRow("text ends at NUL") << QByteArray("41\0"
                                                    "42",
                                                    5)
                                      << QByteArray("41");
}

void TestPatternScan::hexTextToBytes() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expectedHex);

    QCOMPARE(Hex(HexTextToBytes(StdText(text))), expectedHex);
}

void TestPatternScan::searchPattern_data() {
    QTest::addColumn<QByteArray>("typeName");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("expectedHex");

    QTest::newRow("String: its bytes")
        << QByteArray("String") << QByteArray("abc") << true << QByteArray("61 62 63");
    QTest::newRow("String: blanks kept")
        << QByteArray("String") << QByteArray(" a ") << true << QByteArray("20 61 20");
    QTest::newRow("String: high byte unchanged")
        << QByteArray("String") << QByteArray("\xE9") << true << QByteArray("E9");
    QTest::newRow("String: empty is present")
        << QByteArray("String") << QByteArray("") << true << QByteArray("");
    QTest::newRow("String: ends at NUL")
        << QByteArray("String") << QByteArray("ab\0c", 4) << true << QByteArray("61 62");

    QTest::newRow("Byte: 300 keeps low byte")
        << QByteArray("Byte") << QByteArray("300") << true << QByteArray("2C");
    QTest::newRow("Byte: -1") << QByteArray("Byte") << QByteArray("-1") << true << QByteArray("FF");
    QTest::newRow("Byte: empty is 0")
        << QByteArray("Byte") << QByteArray("") << true << QByteArray("00");
    QTest::newRow("Byte: hexadecimal")
        << QByteArray("Byte") << QByteArray("$7f") << true << QByteArray("7F");

    QTest::newRow("Word: 1") << QByteArray("Word") << QByteArray("1") << true
                             << QByteArray("01 00");
    QTest::newRow("Word: 65538 keeps low 16 bits")
        << QByteArray("Word") << QByteArray("65538") << true << QByteArray("02 00");
    QTest::newRow("Word: -2") << QByteArray("Word") << QByteArray("-2") << true
                              << QByteArray("FE FF");

    QTest::newRow("Long: $ABCDEF")
        << QByteArray("Long") << QByteArray("$ABCDEF") << true << QByteArray("EF CD AB 00");
    QTest::newRow("Long: binary") << QByteArray("Long") << QByteArray("%101") << true
                                  << QByteArray("05 00 00 00");
    QTest::newRow("Long: -1") << QByteArray("Long") << QByteArray("-1") << true
                              << QByteArray("FF FF FF FF");

    QTest::newRow("Quad: -1") << QByteArray("Quad") << QByteArray("-1") << true
                              << QByteArray("FF FF FF FF FF FF FF FF");
    QTest::newRow("Quad: 2^32 needs 64-bit parsing")
        << QByteArray("Quad") << QByteArray("4294967296") << true
        << QByteArray("00 00 00 00 01 00 00 00");
    QTest::newRow("Quad: hexadecimal") << QByteArray("Quad") << QByteArray("$0102030405060708")
                                       << true << QByteArray("08 07 06 05 04 03 02 01");

    QTest::newRow("IP: four fields, last first")
        << QByteArray("IP") << QByteArray("192.168.1.10") << true << QByteArray("0A 01 A8 C0");
    QTest::newRow("IP: three fields")
        << QByteArray("IP") << QByteArray("10.0.0") << true << QByteArray("00 00 00 0A");
    QTest::newRow("IP: fifth field ignored")
        << QByteArray("IP") << QByteArray("1.2.3.4.5") << true << QByteArray("04 03 02 01");
    QTest::newRow("IP: 256 keeps low byte")
        << QByteArray("IP") << QByteArray("256.1.2.3") << true << QByteArray("03 02 01 00");
    QTest::newRow("IP: empty") << QByteArray("IP") << QByteArray("") << true
                               << QByteArray("00 00 00 00");

    QTest::newRow("Hex: pairs") << QByteArray("Hex") << QByteArray("4142") << true
                                << QByteArray("41 42");
    QTest::newRow("Hex: odd length")
        << QByteArray("Hex") << QByteArray("414") << true << QByteArray("41 04");
    QTest::newRow("Hex: single blank is a zero byte")
        << QByteArray("Hex") << QByteArray(" ") << true << QByteArray("00");
    QTest::newRow("Hex: empty has no pattern")
        << QByteArray("Hex") << QByteArray("") << false << QByteArray("");

    QTest::newRow("type names are case-sensitive")
        << QByteArray("string") << QByteArray("abc") << true << QByteArray("");
    QTest::newRow("type name not trimmed")
        << QByteArray("Hex ") << QByteArray("41") << true << QByteArray("");
    QTest::newRow("unknown type name")
        << QByteArray("Float") << QByteArray("1.5") << true << QByteArray("");
}

void TestPatternScan::searchPattern() {
    QFETCH(QByteArray, typeName);
    QFETCH(QByteArray, text);
    QFETCH(bool, present);
    QFETCH(QByteArray, expectedHex);

    const SearchPattern pattern =
        BuildSearchPattern(SearchTypeNamed(StdText(typeName)), StdText(text));
    QCOMPARE(pattern.present, present);
    QCOMPARE(Hex(pattern.bytes), expectedHex);
}

void TestPatternScan::scanExamples_data() {
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected");

    const QByteArray fourA("AAAA");
    QTest::newRow("AA in AAAA from 0") << fourA << QByteArray("AA") << 0 << 1;
    QTest::newRow("AA in AAAA from 1") << fourA << QByteArray("AA") << 1 << 2;
    QTest::newRow("AA in AAAA from 2 ends on last byte") << fourA << QByteArray("AA") << 2 << 3;
    QTest::newRow("AA in AAAA from 3 runs past the end") << fourA << QByteArray("AA") << 3 << 0;
    QTest::newRow("AA in AAAA from the end") << fourA << QByteArray("AA") << 4 << 0;
    QTest::newRow("AA in AAAA beyond the end") << fourA << QByteArray("AA") << 5 << 0;

    QTest::newRow("match ending on last byte")
        << QByteArray("xxxxabc") << QByteArray("abc") << 0 << 5;
    QTest::newRow("match ending on last byte from its own offset")
        << QByteArray("xxxxabc") << QByteArray("abc") << 4 << 5;
    QTest::newRow("nothing after the last match")
        << QByteArray("xxxxabc") << QByteArray("abc") << 5 << 0;
    QTest::newRow("pattern cut off by the end")
        << QByteArray("xxxxab") << QByteArray("abc") << 0 << 0;
    QTest::newRow("single byte at the end") << QByteArray("abcd") << QByteArray("d") << 0 << 4;
    QTest::newRow("pattern equal to buffer") << QByteArray("abcd") << QByteArray("abcd") << 0 << 1;
    QTest::newRow("pattern longer than buffer")
        << QByteArray("abc") << QByteArray("abcd") << 0 << 0;
    QTest::newRow("pattern in empty buffer") << QByteArray() << QByteArray("a") << 0 << 0;
    QTest::newRow("second occurrence after start")
        << QByteArray("abXabX") << QByteArray("ab") << 1 << 4;
    QTest::newRow("near miss before match")
        << QByteArray("abcabdabe") << QByteArray("abd") << 0 << 4;
    QTest::newRow("overlapping candidates") << QByteArray("aaab") << QByteArray("aab") << 0 << 2;
    QTest::newRow("bytes above 0x7F")
        << QByteArray("\x80\xFF\x01\xFF\xFE\x00", 6) << QByteArray("\xFF\xFE") << 0 << 4;
    QTest::newRow("zero bytes in pattern")
        << QByteArray("\x00\x01\x00\x00\x02", 5) << QByteArray("\x00\x00", 2) << 0 << 3;

    QTest::newRow("case matters: abc not in ABC")
        << QByteArray("xxABCxx") << QByteArray("abc") << 0 << 0;
    QTest::newRow("case matters: ABC in ABC")
        << QByteArray("xxABCxx") << QByteArray("ABC") << 0 << 3;

    QTest::newRow("empty pattern at start 0") << QByteArray("abcd") << QByteArray() << 0 << 1;
    QTest::newRow("empty pattern at end of buffer") << QByteArray("abcd") << QByteArray() << 4 << 5;
    QTest::newRow("empty pattern beyond the end") << QByteArray("abcd") << QByteArray() << 5 << 0;
    QTest::newRow("empty pattern in empty buffer") << QByteArray() << QByteArray() << 0 << 1;

    QTest::newRow("negative start finds nothing")
        << QByteArray("abcd") << QByteArray("a") << -1 << 0;
    QTest::newRow("negative start with empty pattern")
        << QByteArray("abcd") << QByteArray() << -1 << 0;

    QByteArray large(1 << 20, 'a');
    large.append("ab");
    QTest::newRow("match in last bytes of 1 MiB of near misses")
        << large << QByteArray("ab") << 0 << (1 << 20) + 1;

    // Periodic bytes, all of them common, where the only match is the one place that breaks the
    // period: the filter is chosen by pairs of bytes that occur together nowhere else.
    const auto periodic = [](const QByteArray& period, int size) {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i) {
            bytes[i] = period[i % period.size()];
        }
        return bytes;
    };
    const auto breakAt = [&](const QByteArray& period, int size, int at, int length, int broken,
                             char to, const char* name) {
        QByteArray buffer = periodic(period, size);
        buffer[at + broken] = to;
        QTest::newRow(name) << buffer << buffer.mid(at, length) << 0 << at + 1;
        QTest::newRow(qPrintable(QString::fromLatin1(name) + QStringLiteral(", from just after")))
            << buffer << buffer.mid(at, length) << at + 1 << 0;
    };
    const int mib = 1 << 20;
    breakAt("ab", mib, mib - 33, 33, 16, 'a',
            "broken alternation ending on the last byte of 1 MiB");
    breakAt("ab", mib, mib - 64 * 5 - 3, 16, 8, 'a', "broken alternation across a late block edge");
    breakAt("ab", mib, mib - 605, 600, 300, 'a', "600-byte broken alternation near the end");
    const QByteArray record("\x01\0\0\0\x10\0\0\0name    \0\0\0\0\xFF\xFF\xFF\xFF", 24);
    breakAt(record, 1 << 18, (1 << 18) - 40, 40, 29, 'n',
            "changed byte of repeated records at the end");
}

void TestPatternScan::scanExamples() {
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArray, pattern);
    QFETCH(int, start);
    QFETCH(int, expected);

    const ExactBlock exactBuffer(buffer.toStdString());
    const ExactBlock exactPattern(pattern.toStdString());
    QCOMPARE(ScanForPatternSunday(start, exactBuffer.data(), Length(exactBuffer),
                                  exactPattern.data(), Length(exactPattern)),
             expected);
    QCOMPARE(ScanForPattern(start, exactBuffer.data(), Length(exactBuffer), exactPattern.data(),
                            Length(exactPattern)),
             expected);
    for (const ScanPath path : AvailableScanPaths()) {
        QCOMPARE(ScanForPatternOn(path, start, exactBuffer.data(), Length(exactBuffer),
                                  exactPattern.data(), Length(exactPattern)),
                 expected);
    }
}

void TestPatternScan::nullPatternFindsNothing() {
    const ExactBlock buffer(std::string("abcd"));
    QCOMPARE(ScanForPatternSunday(0, buffer.data(), Length(buffer), nullptr, 0), 0);
    QCOMPARE(ScanForPattern(0, buffer.data(), Length(buffer), nullptr, 0), 0);
    QCOMPARE(ScanForPattern(0, buffer.data(), Length(buffer), nullptr, 2), 0);
    for (const ScanPath path : AvailableScanPaths()) {
        QCOMPARE(ScanForPatternOn(path, 0, buffer.data(), Length(buffer), nullptr, 2), 0);
    }
}

void TestPatternScan::scansAgreeWithBruteForce_data() {
    QTest::addColumn<int>("byteValues");
    QTest::addColumn<int>("maxBufferLength");
    QTest::addColumn<int>("maxPatternLength");
    QTest::addColumn<QByteArray>("patternSource");
    QTest::addColumn<int>("cases");
    QTest::addColumn<int>("minimumMatches");
    QTest::addColumn<int>("minimumMisses");

    // patternSource: "random" bytes, "inside" = cut from anywhere in the buffer, "tail" = the
    // buffer's last bytes. The minimum counts of non-empty matches and of misses make sure each row
    // keeps exercising both outcomes should the generator change.
    QTest::newRow("two byte values, short random patterns")
        << 2 << 40 << 6 << QByteArray("random") << 1500 << 7000 << 7000;
    QTest::newRow("two byte values, patterns cut from the buffer")
        << 2 << 64 << 16 << QByteArray("inside") << 1000 << 8000 << 8000;
    QTest::newRow("four byte values, patterns at the very end")
        << 4 << 64 << 12 << QByteArray("tail") << 1000 << 10000 << 3000;
    QTest::newRow("full byte range, patterns cut from the buffer")
        << 256 << 64 << 8 << QByteArray("inside") << 1000 << 6000 << 8000;
    QTest::newRow("full byte range, random patterns")
        << 256 << 48 << 3 << QByteArray("random") << 1000 << 100 << 10000;
    QTest::newRow("patterns often longer than the buffer")
        << 2 << 8 << 12 << QByteArray("random") << 1500 << 300 << 4000;
    QTest::newRow("long buffers, patterns cut from the buffer")
        << 3 << 2000 << 40 << QByteArray("inside") << 100 << 250 << 350;
}

void TestPatternScan::scansAgreeWithBruteForce() {
    QFETCH(int, byteValues);
    QFETCH(int, maxBufferLength);
    QFETCH(int, maxPatternLength);
    QFETCH(QByteArray, patternSource);
    QFETCH(int, cases);
    QFETCH(int, minimumMatches);
    QFETCH(int, minimumMisses);

    std::mt19937 random(20240611u);
    const auto upTo = [&random](int highest) {
        return std::uniform_int_distribution<int>(0, highest)(random);
    };
    const auto randomBytes = [&](int count) {
        std::vector<uint8_t> bytes(static_cast<size_t>(count));
        for (uint8_t& byte : bytes) {
            // The two-value alphabet uses 0x00 and 0xFF so shifts indexed by high bytes are hit.
            byte = static_cast<uint8_t>(byteValues == 2 ? 0xFF * upTo(1) : upTo(byteValues - 1));
        }
        return bytes;
    };

    int matches = 0;
    int misses = 0;
    for (int round = 0; round < cases; ++round) {
        const std::vector<uint8_t> buffer = randomBytes(upTo(maxBufferLength));
        const int bufferLength = static_cast<int>(buffer.size());
        std::vector<uint8_t> pattern;
        if (patternSource == "random") {
            pattern = randomBytes(upTo(maxPatternLength));
        } else {
            const int length = std::min(upTo(maxPatternLength), bufferLength);
            const int first =
                patternSource == "tail" ? bufferLength - length : upTo(bufferLength - length);
            pattern.assign(buffer.begin() + first, buffer.begin() + first + length);
        }

        // Every start of a small buffer, one past its end included; a sample of the long ones.
        std::vector<int32_t> starts;
        if (bufferLength <= 64) {
            for (int32_t start = 0; start <= bufferLength + 1; ++start) {
                starts.push_back(start);
            }
        } else {
            const int length = static_cast<int>(pattern.size());
            starts = {0, std::max(0, bufferLength - length), bufferLength - length + 1,
                      bufferLength};
            for (int i = 0; i < 8; ++i) {
                starts.push_back(upTo(bufferLength));
            }
        }

        const ExactBlock exactBuffer(buffer);
        const ExactBlock exactPattern(pattern);
        for (const int32_t start : starts) {
            const int32_t expected =
                ScanForPatternSunday(start, exactBuffer.data(), Length(exactBuffer),
                                     exactPattern.data(), Length(exactPattern));
            int32_t fast = ScanForPattern(start, exactBuffer.data(), Length(exactBuffer),
                                          exactPattern.data(), Length(exactPattern));
            for (const ScanPath path : AvailableScanPaths()) {
                const int32_t onPath =
                    ScanForPatternOn(path, start, exactBuffer.data(), Length(exactBuffer),
                                     exactPattern.data(), Length(exactPattern));
                fast = onPath != expected ? onPath : fast;
            }
            if (fast != expected) {
                QFAIL(qPrintable(
                    QStringLiteral("buffer [%1] pattern [%2] start %3: Sunday %4, fast scan %5")
                        .arg(QString::fromLatin1(Hex(buffer)), QString::fromLatin1(Hex(pattern)))
                        .arg(start)
                        .arg(expected)
                        .arg(fast)));
            }
            if (expected == 0) {
                ++misses;
            } else if (!pattern.empty()) {
                ++matches;
            }
        }
    }
    QVERIFY2(matches >= minimumMatches && misses >= minimumMisses,
             qPrintable(QStringLiteral("%1 matches, %2 misses").arg(matches).arg(misses)));
}

// The places where a scan that tests 16, 32 or 64 alignments at once can go wrong: matches that
// straddle those blocks, matches in the alignments after the last whole block, ending on the very
// last byte, patterns as long as a block or longer, and filters that many alignments pass.
void TestPatternScan::everyPathAgreesAtBlockEdges_data() {
    QTest::addColumn<QList<int>>("bufferLengths");
    QTest::addColumn<QList<int>>("patternLengths");
    QTest::addColumn<QList<int>>("plantOffsets"); // where a copy goes: -1 nowhere, -2 at the end
    QTest::addColumn<int>("byteValues");

    QTest::newRow("matches straddling 16-, 32- and 64-byte blocks")
        << QList<int>{200} << QList<int>{2, 3, 5, 8, 17} << Range(0, 70) << 256;
    QTest::newRow("matches straddling blocks among near misses of two byte values")
        << QList<int>{200} << QList<int>{2, 4, 9, 16} << Range(0, 70) << 2;
    QTest::newRow("matches ending on the last byte of buffers around block multiples")
        << QList<int>{8,  15, 16, 17,  31,  32,  33,  63,  64,  65, 66,
                      95, 96, 97, 127, 128, 129, 130, 191, 192, 193}
        << QList<int>{2, 4, 7, 8, 16, 32} << QList<int>{-2} << 256;
    QTest::newRow("patterns of a block and longer")
        << QList<int>{150, 300} << QList<int>{31, 32, 33, 63, 64, 65, 100}
        << QList<int>{-1, 0, 1, 33, 63, 64, 100, -2} << 4;
    QTest::newRow("no planted match, every start, two byte values")
        << QList<int>{64, 128, 129, 250} << QList<int>{2, 3, 4, 6} << QList<int>{-1} << 2;
}

void TestPatternScan::everyPathAgreesAtBlockEdges() {
    QFETCH(QList<int>, bufferLengths);
    QFETCH(QList<int>, patternLengths);
    QFETCH(QList<int>, plantOffsets);
    QFETCH(int, byteValues);

    std::mt19937 random(20240612u);
    for (const int bufferLength : bufferLengths) {
        for (const int patternLength : patternLengths) {
            if (patternLength > bufferLength) {
                continue;
            }
            for (const int plantOffset : plantOffsets) {
                std::vector<uint8_t> buffer = RandomBytes(random, bufferLength, byteValues);
                const std::vector<uint8_t> pattern = RandomBytes(random, patternLength, byteValues);
                const int plant = plantOffset == -2 ? bufferLength - patternLength : plantOffset;
                if (plant + patternLength > bufferLength) {
                    continue;
                }
                if (plant >= 0) {
                    std::copy(pattern.begin(), pattern.end(), buffer.begin() + plant);
                }
                // Every start within the first block, and the ones around the match and the end.
                std::vector<int32_t> starts;
                for (int32_t start = 0; start < 64; ++start) {
                    starts.push_back(start);
                }
                for (const int start :
                     {plant - 1, plant, plant + 1, bufferLength - patternLength - 1,
                      bufferLength - patternLength, bufferLength - patternLength + 1, bufferLength,
                      bufferLength + 1}) {
                    if (start >= 64) {
                        starts.push_back(start);
                    }
                }
                const QString disagreement = FirstDisagreement(buffer, pattern, starts);
                QVERIFY2(disagreement.isEmpty(), qPrintable(disagreement));
            }
        }
    }
}

// Buffers long enough that the filter bytes are chosen from a sample of slices rather than from
// every byte, with patterns cut from them so that the matches are real.
void TestPatternScan::everyPathAgreesOnLongBuffers() {
    std::mt19937 random(20240613u);
    int matches = 0;
    for (const int byteValues : {2, 3, 256}) {
        for (const int bufferLength : {100000, 100063}) {
            const std::vector<uint8_t> buffer = RandomBytes(random, bufferLength, byteValues);
            for (const int patternLength : {2, 4, 8, 16, 40}) {
                for (const int from : {0, 777, 65536 - 3, bufferLength - patternLength}) {
                    const std::vector<uint8_t> pattern(buffer.begin() + from,
                                                       buffer.begin() + from + patternLength);
                    const std::vector<int32_t> starts{0, from - 1, from, from + 1,
                                                      bufferLength - patternLength};
                    const QString disagreement = FirstDisagreement(buffer, pattern, starts);
                    QVERIFY2(disagreement.isEmpty(), qPrintable(disagreement));
                    matches += ScanForPattern(from, buffer.data(), bufferLength, pattern.data(),
                                              patternLength) == from + 1;
                }
            }
        }
    }
    QCOMPARE(matches, 3 * 2 * 5 * 4);
}

QTEST_GUILESS_MAIN(TestPatternScan)
#include "tst_pattern_scan.moc"
