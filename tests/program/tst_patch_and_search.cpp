// Patching the memory copy with the Update buttons and moving the pointer with Find Next, driven
// through the real window offscreen as a user would: typing into the fields, pressing buttons.
// Every file is loaded into a buffer of exactly its size, so that the sanitizer build reports any
// byte read or written outside it.
#include "support/window_test.h"

#include "program/load_save.h"
#include "program/search.h"
#include "program/state/file_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "program/write_back.h"
#include "support/test_files.h"
#include "toolkit/toolkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Positions = QList<qint64>;

// Sixteen bytes that differ from each other and from every value written below.
QByteArray SixteenBytes() {
    return Bytes("A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF");
}

QString FieldText(const char* name) {
    return FindWidget<QLineEdit>(name)->text();
}

bool Press(const char* buttonName) {
    auto* button = FindWidget<QPushButton>(buttonName);
    if (button == nullptr || !button->isEnabled()) {
        return false;
    }
    QTest::mouseClick(button, Qt::LeftButton);
    RunPendingTurns();
    return true;
}

// Picks a search type with the keyboard, as a user who tabbed to the list would.
bool SelectSearchType(const QString& type) {
    auto* combo = FindWidget<QComboBox>("SearchTypeCombo");
    QTest::keyClick(combo, Qt::Key_Home);
    for (int index = combo->findText(type); index > 0; --index) {
        QTest::keyClick(combo, Qt::Key_Down);
    }
    RunPendingTurns();
    return GetControlText(Control::SearchTypeCombo) == type.toStdString();
}

void ClickFromStartCheck() {
    QTest::mouseClick(FindWidget<QCheckBox>("FromStartCheck"), Qt::LeftButton);
    RunPendingTurns();
}

bool FromStartChecked() {
    return FindWidget<QCheckBox>("FromStartCheck")->isChecked();
}

} // namespace

class TestPatchAndSearch : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY(folder_.isValid());
        QVERIFY(OpenTestWindow());
    }
    void cleanup() { CloseTestWindow(); }

    void updateButtons_data();
    void updateButtons() { CheckUpdateRow(); }
    void writesNearTheEndKeepTheBytesInside_data();
    void writesNearTheEndKeepTheBytesInside() { CheckUpdateRow(); }
    void handlersBeforeAnyLoadStayInsideTheBuffer();
    void saveWritesThePatchedCopy();

    void findNext_data();
    void findNext();
    void fromStartCheckIsClearedByEveryPressAndSetByLoad();

  private:
    [[nodiscard]] bool LoadBytes(const QByteArray& content);
    static void AddUpdateColumns();
    void CheckUpdateRow();

    QTemporaryDir folder_;
};

bool TestPatchAndSearch::LoadBytes(const QByteArray& content) {
    return WriteAndLoad(folder_.filePath("inspected.bin"), content);
}

void TestPatchAndSearch::AddUpdateColumns() {
    QTest::addColumn<qint64>("pointer");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QStringList>("shownAfter");
}

// Loads the sixteen bytes, types into one field at the pointer, presses one button, then checks
// the whole copy (only `written` at the pointer changed) and what the fields show.
void TestPatchAndSearch::CheckUpdateRow() {
    QFETCH(qint64, pointer);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(QByteArray, written);
    QFETCH(QStringList, shownAfter);

    QVERIFY(LoadBytes(SixteenBytes()));
    MovePointer(pointer);
    TypeInto(field.toLatin1().constData(), typed);
    QVERIFY(Press(button.toLatin1().constData()));

    QByteArray expected = SixteenBytes();
    expected.replace(static_cast<qsizetype>(pointer - 1), written.size(), written);
    QCOMPARE(CopyInMemory().toHex(' '), expected.toHex(' '));
    QCOMPARE(Pointer.FilePointer, pointer);
    for (const QString& shown : shownAfter) {
        const QString name = shown.section('=', 0, 0);
        QCOMPARE(name + "=" + FieldText(name.toLatin1().constData()), shown);
    }
}

void TestPatchAndSearch::updateButtons_data() {
    AddUpdateColumns();
    auto row = [](const char* name, qint64 pointer, const char* field, const char* typed,
                  const char* button, const char* written, const QStringList& shownAfter) {
        QTest::newRow(name) << pointer << QString(field) << QString(typed) << QString(button)
                            << Bytes(written) << shownAfter;
    };
    row("Int32 1 at pointer 1", 1, "Int32Field", "1", "UpdateInt32Button", "01 00 00 00",
        {"DecField=1", "Int16Field=1", "Int32Field=1"});
    row("Int32 at pointer 5 writes from the pointer's byte", 5, "Int32Field", "1",
        "UpdateInt32Button", "01 00 00 00", {"DecField=1", "Int32Field=1"});
    row("Int64 -2", 1, "Int64Field", "-2", "UpdateInt64Button", "FE FF FF FF FF FF FF FF",
        {"Int64Field=-2", "Int32Field=-2", "DecField=254"});
    row("Int64 largest value", 1, "Int64Field", "9223372036854775807", "UpdateInt64Button",
        "FF FF FF FF FF FF FF 7F", {"Int64Field=9223372036854775807"});
    row("Int32 4294967295 wraps to -1", 1, "Int32Field", "4294967295", "UpdateInt32Button",
        "FF FF FF FF", {"Int32Field=-1"});
    row("Int32 hexadecimal $DEADBEEF", 1, "Int32Field", "$DEADBEEF", "UpdateInt32Button",
        "EF BE AD DE", {"Int32Field=-559038737", "HexField=EF"});
    row("Int32 text without digits writes 0", 1, "Int32Field", "abc", "UpdateInt32Button",
        "00 00 00 00", {"Int32Field=0"});
    row("Bits eight ones", 1, "BitsField", "11111111", "UpdateBitsButton", "FF",
        {"BitsField=11111111", "DecField=255"});
    row("Bits nine digits keep the low 8", 1, "BitsField", "100000000", "UpdateBitsButton", "00",
        {"DecField=0"});
    row("Bits leading zeros read back without them", 1, "BitsField", "00000101", "UpdateBitsButton",
        "05", {"BitsField=101", "DecField=5"});
    row("Bits digits end at a 2", 1, "BitsField", "1012", "UpdateBitsButton", "05",
        {"BitsField=101"});
    row("Bits typed with its own % writes 0", 1, "BitsField", "%101", "UpdateBitsButton", "00",
        {"DecField=0"});
    row("Dec 300 keeps the low byte", 1, "DecField", "300", "UpdateByteButton", "2C",
        {"DecField=44", "CharField=,", "HexField=2C"});
    row("Dec -1", 1, "DecField", "-1", "UpdateByteButton", "FF", {"DecField=255"});
    row("Int16 70000 keeps the low 16 bits", 1, "Int16Field", "70000", "UpdateInt16Button", "70 11",
        {"Int16Field=4464"});
    row("Char A reaches the byte through Dec", 1, "CharField", "A", "UpdateByteButton", "41",
        {"DecField=65", "CharField=A", "HexField=41"});
    row("Hex FF reaches the byte through Dec", 1, "HexField", "FF", "UpdateByteButton", "FF",
        {"DecField=255", "HexField=FF"});
}

void TestPatchAndSearch::writesNearTheEndKeepTheBytesInside_data() {
    AddUpdateColumns();
    auto row = [](const char* name, qint64 pointer, const char* field, const char* typed,
                  const char* button, const char* written, const QStringList& shownAfter) {
        QTest::newRow(name) << pointer << QString(field) << QString(typed) << QString(button)
                            << Bytes(written) << shownAfter;
    };
    // The sixteen-byte file: position 16 is the last byte, 14 starts the last 3, 10 the last 7.
    row("Int16 at the last byte", 16, "Int16Field", "$1122", "UpdateInt16Button", "22",
        {"DecField=34", "Int16Field="});
    row("Int32 at the last byte", 16, "Int32Field", "$11223344", "UpdateInt32Button", "44",
        {"DecField=68", "Int32Field="});
    row("Int64 at the last byte", 16, "Int64Field", "$1122334455667788", "UpdateInt64Button", "88",
        {"DecField=136", "Int16Field=", "Int64Field="});
    row("Int16 in the last 3 bytes fits", 14, "Int16Field", "$1122", "UpdateInt16Button", "22 11",
        {"Int16Field=4386"});
    row("Int32 in the last 3 bytes", 14, "Int32Field", "$11223344", "UpdateInt32Button", "44 33 22",
        {"Int16Field=13124", "Int32Field="});
    row("Int64 in the last 3 bytes", 14, "Int64Field", "$1122334455667788", "UpdateInt64Button",
        "88 77 66", {"Int16Field=30600", "Int64Field="});
    row("Int32 in the last 7 bytes fits", 10, "Int32Field", "$11223344", "UpdateInt32Button",
        "44 33 22 11", {"Int32Field=287454020", "Int64Field="});
    row("Int64 in the last 7 bytes", 10, "Int64Field", "$1122334455667788", "UpdateInt64Button",
        "88 77 66 55 44 33 22", {"Int32Field=1432778632", "Int64Field="});
    row("Int64 in the last 8 bytes fits exactly", 9, "Int64Field", "$1122334455667788",
        "UpdateInt64Button", "88 77 66 55 44 33 22 11", {"Int64Field=1234605616436508552"});
}

void TestPatchAndSearch::handlersBeforeAnyLoadStayInsideTheBuffer() {
    // The buttons stay disabled until a load, but the handlers must stay inside the buffer even
    // when one runs with no file: pointer 0 would put the write one byte before the block.
    QVERIFY(!Press("UpdateInt64Button"));
    SetControlText(Control::Int64Field, "-1");
    SetControlText(Control::Int32Field, "-1");
    SetControlText(Control::Int16Field, "-1");
    SetControlText(Control::DecField, "-1");
    SetControlText(Control::BitsField, "1");
    for (const ValueRow& row : VALUE_ROWS) {
        UpdateValue(row);
    }
    SetControlText(Control::SearchTextField, "");
    FindNext();
    RunPendingTurns();
    QCOMPARE(FileState.FileSize, qint64(0));
    const QByteArray firstBlock(reinterpret_cast<const char*>(FileState.FileBuffer.data()),
                                static_cast<qsizetype>(FileState.FileBuffer.size()));
    QCOMPARE(firstBlock, QByteArray(4096, '\0'));
    QCOMPARE(FieldText("Int64Field"), QString());
}

void TestPatchAndSearch::saveWritesThePatchedCopy() {
    const QString path = folder_.filePath("inspected.bin");
    QVERIFY(LoadBytes(SixteenBytes()));
    MovePointer(3);
    TypeInto("Int32Field", "$DEADBEEF");
    QVERIFY(Press("UpdateInt32Button"));
    TypeInto("DecField", "300");
    QVERIFY(Press("UpdateByteButton"));
    QCOMPARE(ReadFromDisk(path), SixteenBytes()); // the disk changes only on Save

    ModalAnswers answers;
    QVERIFY(TriggerMenu("Save"));
    RunPendingTurns();
    QCOMPARE(answers.messages(), std::vector<std::string>());

    QCOMPARE(ReadFromDisk(path).toHex(' '),
             Bytes("A0 A1 2C BE AD DE A6 A7 A8 A9 AA AB AC AD AE AF").toHex(' '));
}

void TestPatchAndSearch::findNext_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fromStart");
    QTest::addColumn<qint64>("pointer");
    QTest::addColumn<Positions>("positions"); // after each press, in turn
    auto row = [](const char* name, const char* file, const char* type, const char* text,
                  bool fromStart, qint64 pointer, const Positions& positions) {
        QTest::newRow(name) << Bytes(file) << QString(type) << QString(text) << fromStart << pointer
                            << positions;
    };
    // 55 stands for bytes that belong to no pattern; decoys before the match catch patterns
    // built in the wrong width or byte order.
    row("from start: match at position 1", "41 42 55 41 42", "String", "AB", true, 1, {1});
    row("from start ignores the pointer", "41 42 55 41 42", "String", "AB", true, 4, {1});
    row("after the pointer: its own match is skipped", "41 42 55 41 42", "String", "AB", false, 1,
        {4});
    row("AA in 41 41 41 41 steps one byte, misses, starts over", "41 41 41 41", "String", "AA",
        true, 1, {1, 2, 3, 1, 2});
    row("match ending on the last byte", "55 55 55 41 42", "String", "AB", false, 1, {4});
    row("match cut off by the end is not found", "55 55 55 55 41", "String", "AB", false, 1, {1});
    row("pattern longer than the file", "41 42", "String", "ABC", true, 1, {1});
    row("String is case-sensitive", "55 41 42 43 55 61 62 63", "String", "abc", true, 1, {6});
    row("String keeps a leading blank", "41 55 20 41", "String", " A", true, 1, {3});
    row("String empty from start: first byte", "55 55 55 55 55", "String", "", true, 3, {1});
    row("String empty: one byte forward", "55 55 55 55 55", "String", "", false, 2, {3, 4, 5});
    row("String empty on the last byte stays there", "55 55 55 55 55", "String", "", false, 5, {5});
    row("second press after a miss starts at position 2", "41 42 55 55 41 42 55", "String", "AB",
        false, 5, {1, 5});
    row("Byte 300 seeks 2C", "55 01 55 2C 55", "Byte", "300", true, 1, {4});
    row("Byte -1 seeks FF", "55 55 FF 55", "Byte", "-1", true, 1, {3});
    row("Byte empty seeks 00", "55 55 55 00 55", "Byte", "", true, 1, {4});
    row("Word 1 seeks 01 00", "55 01 55 01 00 55", "Word", "1", true, 1, {4});
    row("Long $ABCDEF seeks EF CD AB 00", "55 EF CD AB 55 EF CD AB 00 55", "Long", "$ABCDEF", true,
        1, {6});
    row("Quad -1 seeks eight FF", "55 FF FF FF FF FF FF FF 55 FF FF FF FF FF FF FF FF", "Quad",
        "-1", true, 1, {10});
    row("IP 192.168.1.10 seeks 0A 01 A8 C0", "55 C0 A8 01 0A 55 0A 01 A8 C0 55", "IP",
        "192.168.1.10", true, 1, {7});
    row("IP with three fields seeks 00 00 00 0A", "55 0A 00 00 00 55 00 00 00 0A", "IP", "10.0.0",
        true, 1, {7});
    row("IP ignores a fifth field", "55 05 04 03 02 55 04 03 02 01 55", "IP", "1.2.3.4.5", true, 1,
        {7});
    row("Hex in either case", "55 0A 55 0A 0B 55", "Hex", "0a0B", true, 1, {4});
    row("Hex with a blank inside a pair", "55 41 42 55 41 00 42 55", "Hex", "41 042", true, 1, {5});
    row("Hex pair with a non-digit", "55 04 55 04 12 55", "Hex", "4G12", true, 1, {4});
    row("Hex odd length: last digit alone", "55 41 40 55 41 04 55", "Hex", "414", true, 1, {5});
    row("Hex empty finds nothing", "55 55 55 55", "Hex", "", false, 3, {1});
}

void TestPatchAndSearch::findNext() {
    QFETCH(QByteArray, file);
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(bool, fromStart);
    QFETCH(qint64, pointer);
    QFETCH(Positions, positions);

    QVERIFY(LoadBytes(file));
    QVERIFY(SelectSearchType(type));
    TypeInto("SearchTextField", text);
    if (!fromStart) {
        ClickFromStartCheck();
    }
    QCOMPARE(FromStartChecked(), fromStart);
    MovePointer(pointer);

    Positions seen;
    for (qsizetype press = 0; press < positions.size(); ++press) {
        QVERIFY(Press("FindNextButton"));
        seen << Pointer.FilePointer;
        QVERIFY(!FromStartChecked());
        QCOMPARE(FindWidget<QLabel>("PointerLabel")->text(),
                 PointerCaption(Pointer.FilePointer, file.size()));
    }
    QCOMPARE(seen, positions);
    QCOMPARE(CopyInMemory(), file);
}

void TestPatchAndSearch::fromStartCheckIsClearedByEveryPressAndSetByLoad() {
    const QByteArray file = Bytes("41 42 55 41 42");
    QVERIFY(LoadBytes(file));
    QVERIFY(FromStartChecked());
    TypeInto("SearchTextField", "AB");

    QVERIFY(Press("FindNextButton"));
    QCOMPARE(Pointer.FilePointer, qint64(1));
    QVERIFY(!FromStartChecked());

    ClickFromStartCheck();
    QVERIFY(FromStartChecked());
    TypeInto("SearchTextField", "XY");
    QVERIFY(Press("FindNextButton")); // nothing found clears it too
    QCOMPARE(Pointer.FilePointer, qint64(1));
    QVERIFY(!FromStartChecked());

    TypeInto("SearchTextField", "AB");
    QVERIFY(Press("FindNextButton"));
    QCOMPARE(Pointer.FilePointer, qint64(4));

    QVERIFY(LoadBytes(file));
    QVERIFY(FromStartChecked());
    QCOMPARE(Pointer.FilePointer, qint64(1));
    QCOMPARE(FieldText("SearchTextField"), QString("AB"));
    QVERIFY(Press("FindNextButton"));
    QCOMPARE(Pointer.FilePointer, qint64(1));
}

QTEST_MAIN(TestPatchAndSearch)
#include "tst_patch_and_search.moc"
