#include "core/number_text.h"

#include <QtTest>

#include <cfloat>
#include <limits>

namespace {

QByteArray Bytes(const std::string& text) {
    return QByteArray::fromStdString(text);
}

} // namespace

class TestNumberText : public QObject {
    Q_OBJECT

  private slots:
    void decimalText_data();
    void decimalText();
    void hexAndBinaryText_data();
    void hexAndBinaryText();
    void charText_data();
    void charText();
    void fixedText_data();
    void fixedText();
    void charCode_data();
    void charCode();
    void parseNumber_data();
    void parseNumber();
    void extremesRoundTrip_data();
    void extremesRoundTrip();
    void everyByteRoundTrip_data();
    void everyByteRoundTrip();
};

void TestNumberText::decimalText_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("zero") << qint64(0) << QByteArray("0");
    QTest::newRow("minus one") << qint64(-1) << QByteArray("-1");
    QTest::newRow("round number keeps inner zeros") << qint64(1000) << QByteArray("1000");
    QTest::newRow("largest 32-bit value") << qint64(INT32_MAX) << QByteArray("2147483647");
    QTest::newRow("smallest 32-bit value") << qint64(INT32_MIN) << QByteArray("-2147483648");
    QTest::newRow("beyond 32 bits") << qint64(-4294967296) << QByteArray("-4294967296");
    QTest::newRow("largest 64-bit value") << qint64(INT64_MAX) << QByteArray("9223372036854775807");
    QTest::newRow("smallest 64-bit value")
        << qint64(INT64_MIN) << QByteArray("-9223372036854775808");
}

void TestNumberText::decimalText() {
    QFETCH(qint64, value);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(DecimalText64(value)), expected);
    if (value >= INT32_MIN && value <= INT32_MAX) {
        QCOMPARE(Bytes(DecimalText32(static_cast<int32_t>(value))), expected);
    }
}

void TestNumberText::hexAndBinaryText_data() {
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<QByteArray>("binary");
    QTest::newRow("zero") << 0u << QByteArray("0") << QByteArray("0");
    QTest::newRow("two") << 2u << QByteArray("2") << QByteArray("10");
    QTest::newRow("sixteen") << 16u << QByteArray("10") << QByteArray("10000");
    QTest::newRow("full byte") << 255u << QByteArray("FF") << QByteArray("11111111");
    QTest::newRow("three hex digits") << 300u << QByteArray("12C") << QByteArray("100101100");
    QTest::newRow("top bit only") << 0x80000000u << QByteArray("80000000")
                                  << QByteArray("1" + QByteArray(31, '0'));
    QTest::newRow("minus one as unsigned")
        << static_cast<quint32>(-1) << QByteArray("FFFFFFFF") << QByteArray(32, '1');
}

void TestNumberText::hexAndBinaryText() {
    QFETCH(quint32, value);
    QFETCH(QByteArray, hex);
    QFETCH(QByteArray, binary);
    QCOMPARE(Bytes(HexText32(value)), hex);
    QCOMPARE(Bytes(BinaryText32(value)), binary);
}

void TestNumberText::charText_data() {
    QTest::addColumn<qint64>("code");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("letter") << qint64(65) << QByteArray("A");
    QTest::newRow("only the low byte counts") << qint64(321) << QByteArray("A");
    QTest::newRow("highest byte") << qint64(255) << QByteArray("\xFF");
    QTest::newRow("negative code keeps its low byte") << qint64(-1) << QByteArray("\xFF");
    QTest::newRow("zero gives the empty text") << qint64(0) << QByteArray();
    QTest::newRow("low byte zero gives the empty text") << qint64(256) << QByteArray();
    QTest::newRow("negative with low byte zero") << qint64(-256) << QByteArray();
}

void TestNumberText::charText() {
    QFETCH(qint64, code);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(CharText(code)), expected);
}

void TestNumberText::fixedText_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("two decimals") << 1.2f << 2 << QByteArray("1.20");
    QTest::newRow("minus one means six") << 1.2f << -1 << QByteArray("1.200000");
    QTest::newRow("other negatives mean six") << -3.5f << -7 << QByteArray("-3.500000");
    QTest::newRow("no decimals rounds") << 1.75f << 0 << QByteArray("2");
    QTest::newRow("exact tie rounds to even") << 0.125f << 2 << QByteArray("0.12");
    QTest::newRow("float is widened, not reparsed") << 0.1f << 10 << QByteArray("0.1000000015");
    QTest::newRow("largest float in full")
        << FLT_MAX << 0 << QByteArray("340282346638528859811704183484516925440");
    QTest::newRow("above 512 decimals counts as 512")
        << 1.0f << 100000 << QByteArray("1." + QByteArray(512, '0'));
    QTest::newRow("widest possible text")
        << -FLT_MAX << 512
        << QByteArray("-340282346638528859811704183484516925440." + QByteArray(512, '0'));
}

void TestNumberText::fixedText() {
    QFETCH(float, value);
    QFETCH(int, decimals);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(FixedText(value, decimals)), expected);
}

void TestNumberText::charCode_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty text") << QByteArray() << 0;
    QTest::newRow("first character only") << QByteArray("AB") << 65;
    QTest::newRow("high byte is unsigned") << QByteArray("\xE9") << 0xE9;
    QTest::newRow("leading NUL") << QByteArray("\0A", 2) << 0;
}

void TestNumberText::charCode() {
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    QCOMPARE(CharCode(text.toStdString()), expected);
}

void TestNumberText::parseNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint32>("expected32");
    QTest::addColumn<qint64>("expected64");
    QTest::newRow("empty text") << QByteArray() << 0 << qint64(0);
    QTest::newRow("trailing letters ignored") << QByteArray("12abc") << 12 << qint64(12);
    QTest::newRow("leading zero is decimal") << QByteArray("0300") << 300 << qint64(300);
    QTest::newRow("blank then plus") << QByteArray(" +7") << 7 << qint64(7);
    QTest::newRow("tab then minus") << QByteArray("\t-12") << -12 << qint64(-12);
    QTest::newRow("newline is not a blank") << QByteArray("\n12") << 0 << qint64(0);
    QTest::newRow("blank after sign") << QByteArray("- 7") << 0 << qint64(0);
    QTest::newRow("two signs") << QByteArray("+-7") << 0 << qint64(0);
    QTest::newRow("negative hexadecimal") << QByteArray("-$FF") << -255 << qint64(-255);
    QTest::newRow("lower-case hexadecimal") << QByteArray("-$ff") << -255 << qint64(-255);
    QTest::newRow("sign after dollar") << QByteArray("$-FF") << 0 << qint64(0);
    QTest::newRow("dollar alone") << QByteArray("$") << 0 << qint64(0);
    QTest::newRow("hexadecimal stops at G") << QByteArray("$1G") << 1 << qint64(1);
    QTest::newRow("binary stops at 2") << QByteArray("%102") << 2 << qint64(2);
    QTest::newRow("negative binary") << QByteArray("-%101") << -5 << qint64(-5);
    QTest::newRow("percent alone") << QByteArray("%") << 0 << qint64(0);
    QTest::newRow("NUL ends the text") << QByteArray("12\0"
                                                     "34",
                                                     5)
                                       << 12 << qint64(12);
    QTest::newRow("largest 32-bit value")
        << QByteArray("2147483647") << INT32_MAX << qint64(2147483647);
    QTest::newRow("one past largest 32-bit value")
        << QByteArray("2147483648") << INT32_MIN << qint64(2147483648);
    QTest::newRow("all 32 bits set") << QByteArray("4294967295") << -1 << qint64(4294967295);
    QTest::newRow("2^32 wraps to zero in 32 bits")
        << QByteArray("4294967296") << 0 << qint64(4294967296);
    QTest::newRow("hexadecimal with top bit set")
        << QByteArray("$DEADBEEF") << -559038737 << qint64(3735928559);
    QTest::newRow("largest 64-bit value")
        << QByteArray("9223372036854775807") << -1 << qint64(INT64_MAX);
    QTest::newRow("smallest 64-bit value")
        << QByteArray("-9223372036854775808") << 0 << qint64(INT64_MIN);
    QTest::newRow("all 64 bits set") << QByteArray("18446744073709551615") << -1 << qint64(-1);
    QTest::newRow("2^64 wraps to zero") << QByteArray("18446744073709551616") << 0 << qint64(0);
    QTest::newRow("64 binary ones") << QByteArray("%" + QByteArray(64, '1')) << -1 << qint64(-1);
}

void TestNumberText::parseNumber() {
    QFETCH(QByteArray, text);
    QFETCH(qint32, expected32);
    QFETCH(qint64, expected64);
    QCOMPARE(ParseNumber32(text.toStdString()), expected32);
    QCOMPARE(qint64(ParseNumber64(text.toStdString())), expected64);
}

void TestNumberText::extremesRoundTrip_data() {
    QTest::addColumn<qint64>("value");
    QTest::newRow("smallest 32-bit value") << qint64(INT32_MIN);
    QTest::newRow("largest 32-bit value") << qint64(INT32_MAX);
    QTest::newRow("minus one") << qint64(-1);
    QTest::newRow("smallest 64-bit value") << qint64(INT64_MIN);
    QTest::newRow("largest 64-bit value") << qint64(INT64_MAX);
}

void TestNumberText::extremesRoundTrip() {
    QFETCH(qint64, value);
    QCOMPARE(qint64(ParseNumber64(DecimalText64(value))), value);
    if (value >= INT32_MIN && value <= INT32_MAX) {
        const auto value32 = static_cast<int32_t>(value);
        const auto bits = static_cast<uint32_t>(value32);
        QCOMPARE(ParseNumber32(DecimalText32(value32)), value32);
        QCOMPARE(ParseNumber32("$" + HexText32(bits)), value32);
        QCOMPARE(ParseNumber32("%" + BinaryText32(bits)), value32);
    }
}

void TestNumberText::everyByteRoundTrip_data() {
    QTest::addColumn<int>("byte");
    for (int byte = 0; byte < 256; ++byte) {
        QTest::addRow("byte %d", byte) << byte;
    }
}

void TestNumberText::everyByteRoundTrip() {
    QFETCH(int, byte);
    const std::string character = CharText(byte);
    QCOMPARE(character.size(), size_t(byte == 0 ? 0 : 1));
    QCOMPARE(CharCode(character), byte);

    QCOMPARE(ParseNumber32(DecimalText32(byte)), byte);
    QCOMPARE(ParseNumber32("-" + DecimalText32(byte)), -byte);

    const std::string hex = HexText32(static_cast<uint32_t>(byte));
    QVERIFY(hex.size() <= 2);
    QCOMPARE(ParseNumber32("$" + hex), byte);
    QCOMPARE(ParseNumber32("$" + Bytes(hex).toLower().toStdString()), byte);

    const std::string binary = BinaryText32(static_cast<uint32_t>(byte));
    QVERIFY(binary.size() <= 8);
    QVERIFY(byte == 0 || binary.front() == '1');
    QCOMPARE(ParseNumber32("%" + binary), byte);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
