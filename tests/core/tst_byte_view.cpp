#include "core/byte_view.h"
#include "support/reference.h"

#include <QtTest>

#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr qint64 kMin64 = std::numeric_limits<qint64>::min();
constexpr qint64 kMax64 = std::numeric_limits<qint64>::max();

// The bytes of an exact block.
QByteArray Contents(const ExactBlock& block) {
    return QByteArray(reinterpret_cast<const char*>(block.data()),
                      static_cast<qsizetype>(block.size()));
}

QByteArray Text(const std::string& text) {
    return QByteArray(text.data(), static_cast<int>(text.size()));
}

} // namespace

class TestByteView : public QObject {
    Q_OBJECT

  private slots:
    void clipToBuffer_data();
    void clipToBuffer();

    void stripWindow_data();
    void stripWindow();
    void stripCharacter_data();
    void stripCharacter();
    void stripHidesExactlyThirtySevenByteValues();

    void previewRange_data();
    void previewRange();
    void previewChangesOnlyZeroBytes();

    void panelValues_data();
    void panelValues();

    void storeLittleEndian_data();
    void storeLittleEndian();
    void storedValueDecodesBack_data();
    void storedValueDecodesBack();

    void pointerOutcome_data();
    void pointerOutcome();
};

void TestByteView::clipToBuffer_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("expectedFirst");
    QTest::addColumn<qint64>("expectedCount");

    QTest::newRow("range inside 100-byte buffer")
        << qint64{100} << qint64{10} << qint64{20} << qint64{10} << qint64{20};
    QTest::newRow("range ending on last byte")
        << qint64{100} << qint64{90} << qint64{10} << qint64{90} << qint64{10};
    QTest::newRow("range running past the end")
        << qint64{100} << qint64{95} << qint64{10} << qint64{95} << qint64{5};
    QTest::newRow("range starting before the buffer")
        << qint64{100} << qint64{-5} << qint64{10} << qint64{0} << qint64{5};
    QTest::newRow("range covering the buffer on both sides")
        << qint64{100} << qint64{-5} << qint64{200} << qint64{0} << qint64{100};
    QTest::newRow("range ending just before the buffer")
        << qint64{100} << qint64{-10} << qint64{10} << qint64{0} << qint64{0};
    QTest::newRow("range starting at size")
        << qint64{100} << qint64{100} << qint64{1} << qint64{0} << qint64{0};
    QTest::newRow("zero length") << qint64{100} << qint64{10} << qint64{0} << qint64{0}
                                 << qint64{0};
    QTest::newRow("negative length")
        << qint64{100} << qint64{10} << qint64{-5} << qint64{0} << qint64{0};
    QTest::newRow("empty buffer") << qint64{0} << qint64{0} << qint64{10} << qint64{0} << qint64{0};
    QTest::newRow("negative size")
        << qint64{-1} << qint64{0} << qint64{10} << qint64{0} << qint64{0};
    QTest::newRow("offset -1 with largest length")
        << qint64{100} << qint64{-1} << kMax64 << qint64{0} << qint64{100};
    QTest::newRow("smallest offset with largest length ends at -1")
        << qint64{100} << kMin64 << kMax64 << qint64{0} << qint64{0};
    QTest::newRow("smallest offset + 2 with largest length reaches one byte")
        << qint64{100} << kMin64 + 2 << kMax64 << qint64{0} << qint64{1};
    QTest::newRow("largest offset") << qint64{100} << kMax64 << kMax64 << qint64{0} << qint64{0};
    QTest::newRow("offset 1 with largest length in largest buffer")
        << kMax64 << qint64{1} << kMax64 << qint64{1} << kMax64 - 1;
    QTest::newRow("smallest offset in largest buffer")
        << kMax64 << kMin64 << kMax64 << qint64{0} << qint64{0};
}

void TestByteView::clipToBuffer() {
    QFETCH(qint64, size);
    QFETCH(qint64, offset);
    QFETCH(qint64, length);
    QFETCH(qint64, expectedFirst);
    QFETCH(qint64, expectedCount);

    const BufferSlice slice = ClipToBuffer(size, offset, length);
    QCOMPARE(slice.count, expectedCount);
    if (expectedCount > 0) {
        QCOMPARE(slice.firstOffset, expectedFirst);
    }
}

void TestByteView::stripWindow_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("filePointer");
    QTest::addColumn<int>("leadingSpaces");
    QTest::addColumn<qint64>("firstPosition");
    QTest::addColumn<qint64>("lastPosition");
    QTest::addColumn<int>("trailingSpaces");

    QTest::newRow("pointer 1 in 100-byte file")
        << qint64{100} << qint64{1} << 31 << qint64{1} << qint64{33} << 0;
    QTest::newRow("pointer 32 in 100-byte file")
        << qint64{100} << qint64{32} << 0 << qint64{1} << qint64{64} << 0;
    QTest::newRow("pointer 33 in 100-byte file")
        << qint64{100} << qint64{33} << 0 << qint64{2} << qint64{65} << 0;
    QTest::newRow("pointer 5 in 10-byte file")
        << qint64{10} << qint64{5} << 27 << qint64{1} << qint64{10} << 27;
    QTest::newRow("pointer 1 in 1-byte file")
        << qint64{1} << qint64{1} << 31 << qint64{1} << qint64{1} << 32;
    QTest::newRow("pointer 968 in 1000-byte file")
        << qint64{1000} << qint64{968} << 0 << qint64{937} << qint64{1000} << 0;
    QTest::newRow("pointer 969 in 1000-byte file")
        << qint64{1000} << qint64{969} << 0 << qint64{938} << qint64{1000} << 1;
    QTest::newRow("pointer on last byte of 1000-byte file")
        << qint64{1000} << qint64{1000} << 0 << qint64{969} << qint64{1000} << 32;
    QTest::newRow("pointer one past the end of 1000-byte file")
        << qint64{1000} << qint64{1001} << 0 << qint64{970} << qint64{1000} << 33;
    QTest::newRow("pointer 31 past the last byte shows only it")
        << qint64{1000} << qint64{1031} << 0 << qint64{1000} << qint64{1000} << 63;
    QTest::newRow("pointer 32 past the last byte shows nothing")
        << qint64{1000} << qint64{1032} << 64 << qint64{1} << qint64{0} << 0;
    QTest::newRow("pointer 0") << qint64{100} << qint64{0} << 32 << qint64{1} << qint64{32} << 0;
    QTest::newRow("pointer -31 shows only the first byte")
        << qint64{100} << qint64{-31} << 63 << qint64{1} << qint64{1} << 0;
    QTest::newRow("pointer -32 shows nothing")
        << qint64{100} << qint64{-32} << 64 << qint64{1} << qint64{0} << 0;
    QTest::newRow("smallest pointer") << qint64{100} << kMin64 << 64 << qint64{1} << qint64{0} << 0;
    QTest::newRow("smallest pointer + 31")
        << qint64{100} << kMin64 + 31 << 64 << qint64{1} << qint64{0} << 0;
    QTest::newRow("smallest pointer + 32")
        << qint64{100} << kMin64 + 32 << 64 << qint64{1} << qint64{0} << 0;
    QTest::newRow("largest pointer") << qint64{100} << kMax64 << 64 << qint64{1} << qint64{0} << 0;
    QTest::newRow("largest pointer - 32")
        << qint64{100} << kMax64 - 32 << 64 << qint64{1} << qint64{0} << 0;
    QTest::newRow("pointer 1 in empty file")
        << qint64{0} << qint64{1} << 64 << qint64{1} << qint64{0} << 0;
}

void TestByteView::stripWindow() {
    QFETCH(qint64, size);
    QFETCH(qint64, filePointer);
    QFETCH(int, leadingSpaces);
    QFETCH(qint64, firstPosition);
    QFETCH(qint64, lastPosition);
    QFETCH(int, trailingSpaces);

    ExactBlock buffer(size);
    for (int64_t position = 1; position <= size; ++position) {
        buffer.data()[position - 1] = PrintableByteAt(position);
    }
    QByteArray expected(leadingSpaces, ' ');
    for (int64_t position = firstPosition; position <= lastPosition; ++position) {
        expected.append(static_cast<char>(PrintableByteAt(position)));
    }
    expected.append(QByteArray(trailingSpaces, ' '));
    QCOMPARE(expected.size(), STRIP_LENGTH);

    QCOMPARE(Text(BuildStripText(buffer.data(), size, filePointer)), expected);
}

void TestByteView::stripCharacter_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<bool>("hidden");

    QTest::newRow("NUL") << 0x00 << true;
    QTest::newRow("tab") << 0x09 << true;
    QTest::newRow("last control 0x1F") << 0x1F << true;
    QTest::newRow("blank") << 0x20 << false;
    QTest::newRow("full stop itself") << 0x2E << false;
    QTest::newRow("tilde") << 0x7E << false;
    QTest::newRow("DEL 0x7F") << 0x7F << false;
    QTest::newRow("euro sign 0x80") << 0x80 << false;
    QTest::newRow("unassigned 0x81") << 0x81 << true;
    QTest::newRow("0x82") << 0x82 << false;
    QTest::newRow("0x8C") << 0x8C << false;
    QTest::newRow("unassigned 0x8D") << 0x8D << true;
    QTest::newRow("0x8E") << 0x8E << false;
    QTest::newRow("unassigned 0x8F") << 0x8F << true;
    QTest::newRow("unassigned 0x90") << 0x90 << true;
    QTest::newRow("0x91") << 0x91 << false;
    QTest::newRow("0x9C") << 0x9C << false;
    QTest::newRow("unassigned 0x9D") << 0x9D << true;
    QTest::newRow("0x9E") << 0x9E << false;
    QTest::newRow("no-break space 0xA0") << 0xA0 << false;
    QTest::newRow("0xFF") << 0xFF << false;
}

void TestByteView::stripCharacter() {
    QFETCH(int, byte);
    QFETCH(bool, hidden);

    QCOMPARE(IsHiddenInStrip(static_cast<uint8_t>(byte)), hidden);
    ExactBlock buffer(1);
    buffer.data()[0] = static_cast<uint8_t>(byte);
    const std::string strip = BuildStripText(buffer.data(), 1, 1);
    QCOMPARE(strip.size(), size_t{STRIP_LENGTH});
    QCOMPARE(static_cast<uint8_t>(strip[STRIP_POINTER_CELL - 1]),
             hidden ? uint8_t{'.'} : static_cast<uint8_t>(byte));
}

void TestByteView::stripHidesExactlyThirtySevenByteValues() {
    // 32 control bytes and five unassigned code points; nothing else may turn into a dot.
    int hidden = 0;
    for (int byte = 0; byte < 256; ++byte) {
        hidden += IsHiddenInStrip(static_cast<uint8_t>(byte)) ? 1 : 0;
    }
    QCOMPARE(hidden, 37);
}

void TestByteView::previewRange_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("filePointer");
    QTest::addColumn<int>("expectedLength");

    QTest::newRow("pointer 1 in 10-byte file") << qint64{10} << qint64{1} << 10;
    QTest::newRow("pointer on last byte of 10-byte file") << qint64{10} << qint64{10} << 1;
    QTest::newRow("pointer 1 in 1000-byte file") << qint64{1000} << qint64{1} << 512;
    QTest::newRow("pointer 489 in 1000-byte file has exactly 512 left")
        << qint64{1000} << qint64{489} << 512;
    QTest::newRow("pointer 490 in 1000-byte file") << qint64{1000} << qint64{490} << 511;
    QTest::newRow("pointer 0") << qint64{10} << qint64{0} << 0;
    QTest::newRow("pointer -1") << qint64{10} << qint64{-1} << 0;
    QTest::newRow("pointer one past the end") << qint64{10} << qint64{11} << 0;
    QTest::newRow("smallest pointer") << qint64{10} << kMin64 << 0;
    QTest::newRow("largest pointer") << qint64{10} << kMax64 << 0;
    QTest::newRow("pointer 1 in empty file") << qint64{0} << qint64{1} << 0;
}

void TestByteView::previewRange() {
    QFETCH(qint64, size);
    QFETCH(qint64, filePointer);
    QFETCH(int, expectedLength);

    ExactBlock buffer(size);
    for (int64_t offset = 0; offset < size; ++offset) {
        buffer.data()[offset] = static_cast<uint8_t>(0x20 + offset % 0x5F);
    }
    QByteArray expected;
    if (expectedLength > 0) {
        expected = Contents(buffer).mid(static_cast<int>(filePointer - 1), expectedLength);
    }
    QCOMPARE(Text(BuildPreviewText(buffer.data(), size, filePointer)), expected);
}

void TestByteView::previewChangesOnlyZeroBytes() {
    ExactBlock buffer(256);
    QByteArray expected(".");
    for (int byte = 0; byte < 256; ++byte) {
        buffer.data()[byte] = static_cast<uint8_t>(byte);
        if (byte > 0) {
            expected.append(static_cast<char>(byte));
        }
    }
    QCOMPARE(Text(BuildPreviewText(buffer.data(), 256, 1)), expected);
}

void TestByteView::panelValues_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QByteArray>("bits");
    QTest::addColumn<QByteArray>("decimal");
    QTest::addColumn<QByteArray>("character");
    QTest::addColumn<QByteArray>("hexadecimal");
    QTest::addColumn<QByteArray>("int16");
    QTest::addColumn<QByteArray>("int32");
    QTest::addColumn<QByteArray>("int64");

    const QByteArray none;
    const QByteArray oneToEight = QByteArray::fromHex("0102030405060708");
    const QByteArray allOnes = QByteArray::fromHex("FFFFFFFFFFFFFFFF");

    QTest::newRow("0x41 alone") << QByteArray("A") << qint64{0} << QByteArray("1000001")
                                << QByteArray("65") << QByteArray("A") << QByteArray("41") << none
                                << none << none;
    QTest::newRow("zero byte alone has no character")
        << QByteArray(1, '\0') << qint64{0} << QByteArray("0") << QByteArray("0") << none
        << QByteArray("0") << none << none << none;
    QTest::newRow("0xFF alone") << QByteArray("\xFF") << qint64{0} << QByteArray("11111111")
                                << QByteArray("255") << QByteArray("\xFF") << QByteArray("FF")
                                << none << none << none;
    QTest::newRow("bytes 01..08 read little-endian")
        << oneToEight << qint64{0} << QByteArray("1") << QByteArray("1") << QByteArray("\x01")
        << QByteArray("1") << QByteArray("513") << QByteArray("67305985")
        << QByteArray("578437695752307201");
    QTest::newRow("eight 0xFF are -1 in every width")
        << allOnes << qint64{0} << QByteArray("11111111") << QByteArray("255") << QByteArray("\xFF")
        << QByteArray("FF") << QByteArray("-1") << QByteArray("-1") << QByteArray("-1");
    QTest::newRow("sign bit in byte 2 and byte 8")
        << QByteArray::fromHex("0080000000000080") << qint64{0} << QByteArray("0")
        << QByteArray("0") << none << QByteArray("0") << QByteArray("-32768") << QByteArray("32768")
        << QByteArray("-9223372036854743040");
    QTest::newRow("offset 1 of 10 bytes")
        << QByteArray::fromHex("00112233445566778899") << qint64{1} << QByteArray("10001")
        << QByteArray("17") << QByteArray("\x11") << QByteArray("11") << QByteArray("8721")
        << QByteArray("1144201745") << QByteArray("-8613303245920329199");
    QTest::newRow("seven bytes left: no int64")
        << oneToEight << qint64{1} << QByteArray("10") << QByteArray("2") << QByteArray("\x02")
        << QByteArray("2") << QByteArray("770") << QByteArray("84148994") << none;
    QTest::newRow("four bytes left: int32 but no int64")
        << oneToEight << qint64{4} << QByteArray("101") << QByteArray("5") << QByteArray("\x05")
        << QByteArray("5") << QByteArray("1541") << QByteArray("134678021") << none;
    QTest::newRow("three bytes left: int16 but no int32")
        << oneToEight << qint64{5} << QByteArray("110") << QByteArray("6") << QByteArray("\x06")
        << QByteArray("6") << QByteArray("1798") << none << none;
    QTest::newRow("two bytes left: int16 only")
        << oneToEight << qint64{6} << QByteArray("111") << QByteArray("7") << QByteArray("\x07")
        << QByteArray("7") << QByteArray("2055") << none << none;
    QTest::newRow("last byte: one-byte fields only")
        << oneToEight << qint64{7} << QByteArray("1000") << QByteArray("8") << QByteArray("\x08")
        << QByteArray("8") << none << none << none;
    QTest::newRow("offset -1") << oneToEight << qint64{-1} << none << none << none << none << none
                               << none << none;
    QTest::newRow("offset at size")
        << oneToEight << qint64{8} << none << none << none << none << none << none << none;
    QTest::newRow("smallest offset")
        << oneToEight << kMin64 << none << none << none << none << none << none << none;
    QTest::newRow("largest offset")
        << oneToEight << kMax64 << none << none << none << none << none << none << none;
    QTest::newRow("offset 0 of empty buffer")
        << QByteArray() << qint64{0} << none << none << none << none << none << none << none;
}

void TestByteView::panelValues() {
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, offset);

    ExactBlock buffer(bytes.toStdString());
    const PanelTexts texts = DecodePanelValues(buffer.data(), buffer.size(), offset);
    QTEST(Text(texts.bits), "bits");
    QTEST(Text(texts.decimal), "decimal");
    QTEST(Text(texts.character), "character");
    QTEST(Text(texts.hexadecimal), "hexadecimal");
    QTEST(Text(texts.int16), "int16");
    QTEST(Text(texts.int32), "int32");
    QTEST(Text(texts.int64), "int64");
}

void TestByteView::storeLittleEndian_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<quint64>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("expectedHex");
    QTest::addColumn<int>("expectedCount");

    QTest::newRow("4 bytes in the middle of 8")
        << 8 << qint64{2} << quint64{0x11223344} << 4 << QByteArray("EEEE44332211EEEE") << 4;
    QTest::newRow("8 bytes filling the buffer") << 8 << qint64{0} << quint64{0x0102030405060708}
                                                << 8 << QByteArray("0807060504030201") << 8;
    QTest::newRow("1 byte keeps only the low byte")
        << 4 << qint64{1} << quint64{0x1234} << 1 << QByteArray("EE34EEEE") << 1;
    QTest::newRow("2 bytes ending on last byte")
        << 4 << qint64{2} << quint64{0xABCD} << 2 << QByteArray("EEEECDAB") << 2;
    QTest::newRow("4 bytes at last byte store the lowest")
        << 4 << qint64{3} << quint64{0x11223344} << 4 << QByteArray("EEEEEE44") << 1;
    QTest::newRow("8 bytes at last 3 bytes store the lowest 3")
        << 4 << qint64{1} << quint64{0x0807060504030201} << 8 << QByteArray("EE010203") << 3;
    QTest::newRow("8 bytes at offset -1 skip the lowest")
        << 4 << qint64{-1} << quint64{0x0807060504030201} << 8 << QByteArray("02030405") << 4;
    QTest::newRow("4 bytes at offset -3 store the highest")
        << 4 << qint64{-3} << quint64{0x11223344} << 4 << QByteArray("11EEEEEE") << 1;
    QTest::newRow("4 bytes at offset -4 write nothing")
        << 4 << qint64{-4} << quint64{0x11223344} << 4 << QByteArray("EEEEEEEE") << 0;
    QTest::newRow("offset at size writes nothing")
        << 4 << qint64{4} << quint64{0x11223344} << 4 << QByteArray("EEEEEEEE") << 0;
    QTest::newRow("smallest offset writes nothing")
        << 4 << kMin64 << ~quint64{0} << 8 << QByteArray("EEEEEEEE") << 0;
    QTest::newRow("largest offset writes nothing")
        << 4 << kMax64 << ~quint64{0} << 8 << QByteArray("EEEEEEEE") << 0;
    QTest::newRow("width 0 writes nothing")
        << 4 << qint64{0} << ~quint64{0} << 0 << QByteArray("EEEEEEEE") << 0;
    QTest::newRow("negative width writes nothing")
        << 4 << qint64{0} << ~quint64{0} << -1 << QByteArray("EEEEEEEE") << 0;
    QTest::newRow("width 16 stores the value's 8 bytes")
        << 10 << qint64{0} << quint64{0x0102030405060708} << 16
        << QByteArray("0807060504030201EEEE") << 8;
    QTest::newRow("empty buffer") << 0 << qint64{0} << ~quint64{0} << 8 << QByteArray() << 0;
}

void TestByteView::storeLittleEndian() {
    QFETCH(int, size);
    QFETCH(qint64, offset);
    QFETCH(quint64, value);
    QFETCH(int, width);
    QFETCH(QByteArray, expectedHex);
    QFETCH(int, expectedCount);

    ExactBlock buffer(size);
    std::memset(buffer.data(), 0xEE, static_cast<size_t>(size));
    QCOMPARE(StoreLittleEndian(buffer.data(), size, offset, value, width), expectedCount);
    QCOMPARE(Contents(buffer).toHex().toUpper(), expectedHex);
}

void TestByteView::storedValueDecodesBack_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("byte 200") << 1 << qint64{200} << QByteArray("200");
    QTest::newRow("int16 -32768") << 2 << qint64{-32768} << QByteArray("-32768");
    QTest::newRow("int16 32767") << 2 << qint64{32767} << QByteArray("32767");
    QTest::newRow("int16 -2") << 2 << qint64{-2} << QByteArray("-2");
    QTest::newRow("int32 smallest") << 4 << qint64{-2147483647 - 1} << QByteArray("-2147483648");
    QTest::newRow("int32 largest") << 4 << qint64{2147483647} << QByteArray("2147483647");
    QTest::newRow("int64 smallest") << 8 << kMin64 << QByteArray("-9223372036854775808");
    QTest::newRow("int64 largest") << 8 << kMax64 << QByteArray("9223372036854775807");
}

void TestByteView::storedValueDecodesBack() {
    QFETCH(int, width);
    QFETCH(qint64, value);
    QFETCH(QByteArray, expected);

    // The value sits between two filled neighbours that must survive the store.
    constexpr int64_t offset = 5;
    ExactBlock buffer(16);
    std::memset(buffer.data(), 0xA5, 16);
    QCOMPARE(StoreLittleEndian(buffer.data(), 16, offset, static_cast<uint64_t>(value), width),
             width);
    QCOMPARE(buffer.data()[offset - 1], uint8_t{0xA5});
    QCOMPARE(buffer.data()[offset + width], uint8_t{0xA5});

    const PanelTexts texts = DecodePanelValues(buffer.data(), 16, offset);
    const std::string& decoded = width == 1   ? texts.decimal
                                 : width == 2 ? texts.int16
                                 : width == 4 ? texts.int32
                                              : texts.int64;
    QCOMPARE(Text(decoded), expected);
}

void TestByteView::pointerOutcome_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("pointer");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray bytes = QByteArray::fromHex("05AB4EFF");
    QTest::newRow("hit keeps the leading zero digit")
        << bytes << qint64{1} << true << QByteArray("Pointer 1 of 4, byte 05");
    QTest::newRow("hit in upper case")
        << bytes << qint64{2} << true << QByteArray("Pointer 2 of 4, byte AB");
    QTest::newRow("last byte") << bytes << qint64{4} << true
                               << QByteArray("Pointer 4 of 4, byte FF");
    QTest::newRow("miss at position 1 is not a hit there")
        << bytes << qint64{1} << false << QByteArray("Not found, pointer 1 of 4");
    QTest::newRow("one past the end names no byte")
        << bytes << qint64{5} << true << QByteArray("Pointer 5 of 4");
    QTest::newRow("no file") << QByteArray() << qint64{0} << true << QByteArray("Pointer 0 of 0");
}

void TestByteView::pointerOutcome() {
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, pointer);
    QFETCH(bool, found);

    ExactBlock buffer(bytes.toStdString());
    QTEST(Text(PointerOutcomeText(buffer.data(), buffer.size(), pointer, found)), "expected");
}

QTEST_GUILESS_MAIN(TestByteView)
#include "tst_byte_view.moc"
