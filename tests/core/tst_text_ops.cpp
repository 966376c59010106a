#include "core/text_ops.h"
#include "support/reference.h"

#include <QtTest>

namespace {

QByteArray Bytes(const std::string& text) {
    return QByteArray::fromStdString(text);
}

} // namespace

class TestTextOps : public QObject {
    Q_OBJECT

  private slots:
    void textLength_data();
    void textLength();
    void substring_data();
    void substring();
    void textField_data();
    void textField();
    void removeAll_data();
    void removeAll();
    void textEquals_data();
    void textEquals();
    void blanks_data();
    void blanks();
};

void TestTextOps::textLength_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty text") << QByteArray() << 0;
    QTest::newRow("no NUL") << QByteArray("ABC") << 3;
    QTest::newRow("stops at NUL") << QByteArray("AB\0CD", 5) << 2;
    QTest::newRow("NUL first") << QByteArray("\0A", 2) << 0;
}

void TestTextOps::textLength() {
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    QCOMPARE(TextLength(text.toStdString()), expected);
}

void TestTextOps::substring_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("middle") << QByteArray("ABCDE") << 2 << 3 << QByteArray("BCD");
    QTest::newRow("cut short at the end") << QByteArray("ABCDE") << 5 << 2 << QByteArray("E");
    QTest::newRow("whole text") << QByteArray("ABCDE") << 1 << 5 << QByteArray("ABCDE");
    QTest::newRow("start just beyond the end") << QByteArray("ABCDE") << 6 << 1 << QByteArray();
    QTest::newRow("start zero means first") << QByteArray("ABCDE") << 0 << 2 << QByteArray("AB");
    QTest::newRow("smallest start means first")
        << QByteArray("ABCDE") << INT32_MIN << 1 << QByteArray("A");
    QTest::newRow("zero length") << QByteArray("ABCDE") << 2 << 0 << QByteArray();
    QTest::newRow("negative length") << QByteArray("ABCDE") << 2 << -1 << QByteArray();
    QTest::newRow("largest length") << QByteArray("ABCDE") << 2 << INT32_MAX << QByteArray("BCDE");
    QTest::newRow("largest start and length")
        << QByteArray("ABCDE") << INT32_MAX << INT32_MAX << QByteArray();
    QTest::newRow("empty text") << QByteArray() << 1 << 1 << QByteArray();
    QTest::newRow("nothing after NUL") << QByteArray("AB\0CD", 5) << 2 << 3 << QByteArray("B");
    QTest::newRow("start after NUL") << QByteArray("AB\0CD", 5) << 4 << 1 << QByteArray();
}

void TestTextOps::substring() {
    QFETCH(QByteArray, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(Substring(text.toStdString(), start, length)), expected);
}

void TestTextOps::textField_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray address("192.168.0.1");
    QTest::newRow("first field") << address << 1 << QByteArray(".") << QByteArray("192");
    QTest::newRow("inner field") << address << 3 << QByteArray(".") << QByteArray("0");
    QTest::newRow("last field") << address << 4 << QByteArray(".") << QByteArray("1");
    QTest::newRow("beyond the last field") << address << 5 << QByteArray(".") << QByteArray();
    QTest::newRow("largest index") << address << INT32_MAX << QByteArray(".") << QByteArray();
    QTest::newRow("index zero means first") << address << 0 << QByteArray(".") << QByteArray("192");
    QTest::newRow("negative index means first")
        << address << -4 << QByteArray(".") << QByteArray("192");
    QTest::newRow("empty field between separators")
        << QByteArray("a..b") << 2 << QByteArray(".") << QByteArray();
    QTest::newRow("field after empty field")
        << QByteArray("a..b") << 3 << QByteArray(".") << QByteArray("b");
    QTest::newRow("empty field before leading separator")
        << QByteArray(".a") << 1 << QByteArray(".") << QByteArray();
    QTest::newRow("empty field after trailing separator")
        << QByteArray("a.") << 2 << QByteArray(".") << QByteArray();
    QTest::newRow("empty text") << QByteArray() << 1 << QByteArray(".") << QByteArray();
    QTest::newRow("only the separator's first character cuts")
        << QByteArray("a.b-c") << 2 << QByteArray(".-") << QByteArray("b-c");
    QTest::newRow("empty separator keeps the text whole")
        << QByteArray("a.b") << 1 << QByteArray() << QByteArray("a.b");
    QTest::newRow("empty separator has no second field")
        << QByteArray("a.b") << 2 << QByteArray() << QByteArray();
    QTest::newRow("fields after NUL do not exist")
        << QByteArray("a.b\0.c", 6) << 3 << QByteArray(".") << QByteArray();
}

void TestTextOps::textField() {
    QFETCH(QByteArray, text);
    QFETCH(int, index);
    QFETCH(QByteArray, separator);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(TextField(text.toStdString(), index, separator.toStdString())), expected);
}

void TestTextOps::removeAll_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("quotes") << QByteArray("\"a b\"") << QByteArray("\"") << QByteArray("a b");
    QTest::newRow("no overlap") << QByteArray("aaa") << QByteArray("aa") << QByteArray("a");
    QTest::newRow("back to back") << QByteArray("aaaa") << QByteArray("aa") << QByteArray();
    QTest::newRow("several parts") << QByteArray("abcabc") << QByteArray("bc") << QByteArray("aa");
    QTest::newRow("no new match from the joined remains")
        << QByteArray("aabb") << QByteArray("ab") << QByteArray("ab");
    QTest::newRow("case-sensitive") << QByteArray("AbA") << QByteArray("a") << QByteArray("AbA");
    QTest::newRow("part longer than text")
        << QByteArray("ab") << QByteArray("abc") << QByteArray("ab");
    QTest::newRow("empty part") << QByteArray("abc") << QByteArray() << QByteArray("abc");
}

void TestTextOps::removeAll() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, part);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(RemoveAll(text.toStdString(), part.toStdString())), expected);
}

void TestTextOps::textEquals_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("expected");
    QTest::newRow("same text") << QByteArray("Abc") << QByteArray("Abc") << true;
    QTest::newRow("both empty") << QByteArray() << QByteArray() << true;
    QTest::newRow("case differs") << QByteArray("Abc") << QByteArray("abc") << false;
    QTest::newRow("prefix") << QByteArray("Ab") << QByteArray("Abc") << false;
    QTest::newRow("high bytes") << QByteArray("\xE9") << QByteArray("\xC9") << false;
    QTest::newRow("bytes after NUL do not count")
        << QByteArray("Ab\0x", 4) << QByteArray("Ab") << true;
}

void TestTextOps::textEquals() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, expected);
    QCOMPARE(TextEquals(first.toStdString(), second.toStdString()), expected);
    QCOMPARE(TextEquals(second.toStdString(), first.toStdString()), expected);
}

void TestTextOps::blanks_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("three") << 3 << QByteArray("   ");
    QTest::newRow("zero") << 0 << QByteArray();
    QTest::newRow("negative") << -1 << QByteArray();
    QTest::newRow("smallest 32-bit value") << INT32_MIN << QByteArray();
}

void TestTextOps::blanks() {
    QFETCH(int, count);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(Blanks(count)), expected);
}

QTEST_GUILESS_MAIN(TestTextOps)
#include "tst_text_ops.moc"
