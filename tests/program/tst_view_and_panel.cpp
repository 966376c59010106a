// What the window shows of the bytes at the pointer, and how the user moves the pointer and uses
// the converter of the byte row, driven through the real widgets offscreen. Texts are compared
// as the program's bytes (GetControlText), not as the Unicode the widgets hold.
#include "support/window_test.h"

#include "program/converter.h"
#include "program/load_save.h"
#include "program/state/file_state.h"
#include "program/state/panel_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "support/reference.h"
#include "support/test_files.h"
#include "toolkit/toolkit.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <limits>

namespace {

// Printable and distinct within any 94 consecutive positions, so that a strip shifted by a few
// cells cannot pass for the expected one.
QByteArray PrintableFile(qint64 size) {
    QByteArray file;
    for (qint64 position = 1; position <= size; ++position) {
        file += static_cast<char>(PrintableByteAt(position));
    }
    return file;
}

// Random bytes with the strip's hidden values and the zero byte sprinkled in. Line breaks and
// 0xA0 are left out: the text area shows those as line breaks and a blank, not as their bytes.
QByteArray MixedFile(qint64 size, quint32 seed) {
    static const char special[] = {'\x00', '\x1F', '\x81', '\x8D', '\x8F', '\x90',
                                   '\x9D', '\x20', '\x7F', '\x80', '\xFF', '\x09'};
    QRandomGenerator random(seed);
    QByteArray file;
    for (qint64 index = 0; index < size; ++index) {
        char byte = static_cast<char>(random.bounded(256));
        if (index % 5 == 2) {
            byte = special[(index / 5) % static_cast<qint64>(sizeof special)];
        }
        if (byte == '\n' || byte == '\r' || byte == '\xA0') {
            byte = '.';
        }
        file += byte;
    }
    return file;
}

QByteArray ExpectedStrip(const QByteArray& file, qint64 pointer) {
    const ExactBlock bytes(file.toStdString());
    return QByteArray::fromStdString(ReferenceStrip(bytes.data(), bytes.size(), pointer));
}

QByteArray ExpectedPreview(const QByteArray& file, qint64 pointer) {
    const ExactBlock bytes(file.toStdString());
    return QByteArray::fromStdString(ReferencePreview(bytes.data(), bytes.size(), pointer));
}

QString CaptionShown() {
    return FindWidget<QLabel>("PointerLabel")->text();
}

void DragMouseTo(QWidget* widget, QPoint position) {
    QMouseEvent move(QEvent::MouseMove, position, widget->mapToGlobal(position), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

class TestViewAndPanel : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup() { CloseTestWindow(); }

    void valuePanel_data();
    void valuePanel();
    void refreshRaisesNoControlEvent();

    void converter_data();
    void converter();
    void focusRunsTheDecFieldHandler();
    void updateRightAfterTypingIsNotSwallowed_data();
    void updateRightAfterTypingIsNotSwallowed();

    void viewAtEveryPointer_data();
    void viewAtEveryPointer();
    void viewExamples_data();
    void viewExamples();
    void hiddenBytesAndLineBreaks();

    void scrollBarClicks_data();
    void scrollBarClicks();
    void nudgeBarKeys_data();
    void nudgeBarKeys();
    void nudgeBarDragBackToRest();

  private:
    [[nodiscard]] bool LoadBytes(const QByteArray& content);

    QTemporaryDir folder_;
};

void TestViewAndPanel::init() {
    QVERIFY(folder_.isValid());
    QVERIFY(OpenTestWindow());
    // Focus events only come to an active window.
    MainWindowWidget()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainWindowWidget()));
    RunPendingTurns();
}

bool TestViewAndPanel::LoadBytes(const QByteArray& content) {
    return WriteAndLoad(folder_.filePath("inspected.bin"), content);
}

void TestViewAndPanel::valuePanel_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("pointer");
    QTest::addColumn<QByteArrayList>("fields"); // bits, dec, char, hex, int16, int32, int64
    const QByteArray counting = Bytes("0102030405060708090A0B0C0D0E0F10");
    auto row = [](const char* name, const QByteArray& file, qint64 pointer,
                  const QByteArrayList& fields) {
        QTest::newRow(name) << file << pointer << fields;
    };
    row("byte 41", Bytes("4100000000000000"), 1, {"1000001", "65", "A", "41", "65", "65", "65"});
    row("byte 00 gives an empty character", Bytes("0000000000000000"), 1,
        {"0", "0", "", "0", "0", "0", "0"});
    row("byte FF", Bytes("FF00000000000000"), 1,
        {"11111111", "255", "\xFF", "FF", "255", "255", "255"});
    row("bytes 01 to 08 little-endian", Bytes("0102030405060708"), 1,
        {"1", "1", "\x01", "1", "513", "67305985", "578437695752307201"});
    row("eight FF are -1 in every width", Bytes("FFFFFFFFFFFFFFFF"), 1,
        {"11111111", "255", "\xFF", "FF", "-1", "-1", "-1"});
    row("sign bits of 16 and 64 bits", Bytes("0080000000000080"), 1,
        {"0", "0", "", "0", "-32768", "32768", "-9223372036854743040"});
    row("pointer moved into the file", counting, 3,
        {"11", "3", "\x03", "3", "1027", "100992003", "723118041428460547"});
    row("last byte: no integer fits", counting, 16, {"10000", "16", "\x10", "10", "", "", ""});
    row("last 2 bytes: Int16 only", counting, 15, {"1111", "15", "\x0F", "F", "4111", "", ""});
    row("last 3 bytes: Int16 only", counting, 14, {"1110", "14", "\x0E", "E", "3854", "", ""});
    row("last 4 bytes: no Int64", counting, 13,
        {"1101", "13", "\x0D", "D", "3597", "269422093", ""});
    row("last 7 bytes: no Int64", counting, 10,
        {"1010", "10", "\x0A", "A", "2826", "218893066", ""});
    row("last 8 bytes: all fit", counting, 9,
        {"1001", "9", "\x09", "9", "2569", "202050057", "1157159078456920585"});
    row("one-byte file", Bytes("7F"), 1, {"1111111", "127", "\x7F", "7F", "", "", ""});
}

void TestViewAndPanel::valuePanel() {
    QFETCH(QByteArray, file);
    QFETCH(qint64, pointer);
    QFETCH(QByteArrayList, fields);
    QVERIFY(LoadBytes(file));
    MovePointer(pointer);
    const QByteArrayList shown = {Shown(Control::BitsField),  Shown(Control::DecField),
                                  Shown(Control::CharField),  Shown(Control::HexField),
                                  Shown(Control::Int16Field), Shown(Control::Int32Field),
                                  Shown(Control::Int64Field)};
    QCOMPARE(shown, fields);
}

void TestViewAndPanel::refreshRaisesNoControlEvent() {
    // A write by the program that raised a control event would start a conversion handler.
    QVERIFY(LoadBytes(Bytes("41424344")));
    auto countControlEvents = [](const std::vector<int32_t>& codes) {
        return std::count(codes.begin(), codes.end(), EVENT_CONTROL);
    };
    Pointer.FilePointer = 2;
    RefreshView();
    QCOMPARE(countControlEvents(RunPendingTurns()), 0);
    ShowValues(3);
    QCOMPARE(countControlEvents(RunPendingTurns()), 0);
    QCOMPARE(Shown(Control::CharField), QByteArray("D"));
    QCOMPARE(ValuePanel.BusyFlag, 0);
}

void TestViewAndPanel::converter_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed"); // empty: the field's text is deleted
    QTest::addColumn<QByteArray>("decimal");
    QTest::addColumn<QByteArray>("character");
    QTest::addColumn<QByteArray>("hexadecimal");
    auto row = [](const char* name, const char* field, const char* typed, const char* decimal,
                  const char* character, const char* hexadecimal) {
        QTest::newRow(name) << QString(field) << QString(typed) << QByteArray(decimal)
                            << QByteArray(character) << QByteArray(hexadecimal);
    };
    // The column of the field typed into holds the text typed: that field is never rewritten.
    row("Dec 300 shows its low byte and all its hex", "DecField", "300", "300", ",", "12C");
    row("Dec -1", "DecField", "-1", "-1", "\xFF", "FFFFFFFF");
    row("Dec keeps leading zeros as typed", "DecField", "0300", "0300", ",", "12C");
    row("Dec without digits", "DecField", "abc", "abc", "", "0");
    row("Dec reads a $ prefix", "DecField", "$41", "$41", "A", "41");
    row("Dec reads a % prefix", "DecField", "%1000001", "%1000001", "A", "41");
    row("Hex lower case", "HexField", "ff", "255", "\xFF", "ff");
    row("Hex with its own $", "HexField", "$ff", "0", "", "$ff");
    row("Hex with a sign", "HexField", "-1", "0", "", "-1");
    row("Hex with a leading blank", "HexField", " ff", "0", "", " ff");
    row("Char uses its first character", "CharField", "AB", "65", "AB", "41");
    row("Char emptied", "CharField", "", "0", "", "0");
}

void TestViewAndPanel::converter() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    const QByteArray file = Bytes("7E7E7E");
    QVERIFY(LoadBytes(file));
    auto* edit = FindWidget<QLineEdit>(field.toLatin1().constData());
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (typed.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
        QTest::keyClicks(edit, typed);
    }
    RunPendingTurns();
    QTEST(Shown(Control::DecField), "decimal");
    QTEST(Shown(Control::CharField), "character");
    QTEST(Shown(Control::HexField), "hexadecimal");
    QCOMPARE(ValuePanel.BusyFlag, 0);
    QCOMPARE(CopyInMemory(), file); // converting writes nothing into the copy
}

void TestViewAndPanel::focusRunsTheDecFieldHandler() {
    QVERIFY(LoadBytes(Bytes("41")));
    auto* decimal = FindWidget<QLineEdit>("DecField");
    auto scribble = [] {
        FindWidget<QLineEdit>("CharField")->setText("x");
        FindWidget<QLineEdit>("HexField")->setText("y");
    };

    scribble();
    QTest::mouseClick(decimal, Qt::LeftButton);
    QVERIFY(decimal->hasFocus());
    RunPendingTurns();
    QCOMPARE(Shown(Control::CharField), QByteArray("A"));
    QCOMPARE(Shown(Control::HexField), QByteArray("41"));

    scribble();
    QTest::mouseClick(FindWidget<QLineEdit>("SearchTextField"), Qt::LeftButton);
    QVERIFY(!decimal->hasFocus());
    RunPendingTurns();
    QCOMPARE(Shown(Control::CharField), QByteArray("A"));
    QCOMPARE(Shown(Control::HexField), QByteArray("41"));
}

void TestViewAndPanel::updateRightAfterTypingIsNotSwallowed_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("turnsBeforeClick");
    QTest::addColumn<QByteArray>("byte");
    QTest::newRow("Dec, click after the loop caught up") << "DecField"
                                                         << "300" << true << Bytes("2C");
    QTest::newRow("Dec, click queued right behind the keys") << "DecField"
                                                             << "300" << false << Bytes("2C");
    QTest::newRow("Hex, click queued right behind the keys") << "HexField"
                                                             << "FF" << false << Bytes("FF");
    QTest::newRow("Char, click queued right behind the keys") << "CharField"
                                                              << "A" << false << Bytes("41");
}

void TestViewAndPanel::updateRightAfterTypingIsNotSwallowed() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(bool, turnsBeforeClick);
    QFETCH(QByteArray, byte);
    const QByteArray file = Bytes("5051525354");
    QVERIFY(LoadBytes(file));
    MovePointer(3);

    // Everything the user does below is queued before the loop takes a single turn, so a drain
    // that took more than its own handler's events would eat the click.
    auto* edit = FindWidget<QLineEdit>(field.toLatin1().constData());
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, typed);
    if (turnsBeforeClick) {
        RunPendingTurns();
    }
    QTest::mouseClick(FindWidget<QPushButton>("UpdateByteButton"), Qt::LeftButton);
    RunPendingTurns();

    QByteArray expected = file;
    expected.replace(2, 1, byte);
    QCOMPARE(CopyInMemory().toHex(' '), expected.toHex(' '));
    QCOMPARE(Pointer.FilePointer, qint64(3));
    QCOMPARE(Shown(Control::ByteStrip), ExpectedStrip(expected, 3));
    QCOMPARE(ValuePanel.BusyFlag, 0);
}

void TestViewAndPanel::viewAtEveryPointer_data() {
    QTest::addColumn<QByteArray>("file");
    for (const qint64 size : {1, 10, 31, 32, 100, 600}) {
        QTest::addRow("%lld-byte file", size) << MixedFile(size, static_cast<quint32>(size));
    }
}

void TestViewAndPanel::viewAtEveryPointer() {
    QFETCH(QByteArray, file);
    QVERIFY(LoadBytes(file));
    const qint64 size = file.size();
    const qint64 lastThumb = std::max<qint64>(1, size - 30);
    for (qint64 asked = -1; asked <= size + 2; ++asked) {
        Pointer.FilePointer = asked;
        RefreshView();
        const qint64 pointer = std::clamp<qint64>(asked, 1, size);
        const QByteArray where = "pointer set to " + QByteArray::number(asked);
        QVERIFY2(Pointer.FilePointer == pointer, where.constData());
        QVERIFY2(CaptionShown() == PointerCaption(pointer, size), where.constData());
        QVERIFY2(GetControlState(Control::PointerSlider) == std::min(pointer, lastThumb),
                 where.constData());
        QVERIFY2(Shown(Control::ByteStrip) == ExpectedStrip(file, pointer), where.constData());
        QVERIFY2(Shown(Control::PreviewText) == ExpectedPreview(file, pointer), where.constData());
        QVERIFY2(Shown(Control::DecField) ==
                     QByteArray::number(static_cast<uint8_t>(file[pointer - 1])),
                 where.constData());
    }
    RunPendingTurns();
}

void TestViewAndPanel::viewExamples_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("asked");
    QTest::addColumn<qint64>("pointer");
    QTest::addColumn<QByteArray>("strip");
    QTest::addColumn<int>("previewLength");
    QTest::addColumn<int>("thumb");
    const QByteArray hundred = PrintableFile(100);
    const QByteArray thousand = PrintableFile(1000);
    const QByteArray ten = PrintableFile(10);
    QTest::newRow("pointer 1 of 100 bytes: 31 blanks, bytes 1 to 33")
        << qint64(100) << qint64(1) << qint64(1) << QByteArray(31, ' ') + hundred.left(33) << 100
        << 1;
    QTest::newRow("pointer 32 of 100 bytes: bytes 1 to 64")
        << qint64(100) << qint64(32) << qint64(32) << hundred.left(64) << 69 << 32;
    QTest::newRow("pointer 5 of 10 bytes: 27 blanks, the file, 27 blanks")
        << qint64(10) << qint64(5) << qint64(5) << QByteArray(27, ' ') + ten + QByteArray(27, ' ')
        << 6 << 1;
    QTest::newRow("last byte of 1000: bytes 969 to 1000, 32 blanks")
        << qint64(1000) << qint64(1000) << qint64(1000) << thousand.mid(968) + QByteArray(32, ' ')
        << 1 << 970;
    QTest::newRow("pointer 971 of 1000: thumb at its end")
        << qint64(1000) << qint64(971) << qint64(971) << thousand.mid(939) + QByteArray(3, ' ')
        << 30 << 970;
    QTest::newRow("pointer 970 of 1000: thumb follows")
        << qint64(1000) << qint64(970) << qint64(970) << thousand.mid(938) + QByteArray(2, ' ')
        << 31 << 970;
    QTest::newRow("pointer 600 of 1000: preview of 512 bytes")
        << qint64(1000) << qint64(600) << qint64(600) << thousand.mid(568, 64) << 512 << 600;
    QTest::newRow("pointer 0 becomes 1") << qint64(100) << qint64(0) << qint64(1)
                                         << QByteArray(31, ' ') + hundred.left(33) << 100 << 1;
    QTest::newRow("negative pointer becomes 1")
        << qint64(100) << qint64(-7) << qint64(1) << QByteArray(31, ' ') + hundred.left(33) << 100
        << 1;
    QTest::newRow("smallest pointer becomes 1")
        << qint64(100) << std::numeric_limits<qint64>::min() << qint64(1)
        << QByteArray(31, ' ') + hundred.left(33) << 100 << 1;
    QTest::newRow("size + 1 becomes the size") << qint64(100) << qint64(101) << qint64(100)
                                               << hundred.mid(68) + QByteArray(32, ' ') << 1 << 70;
    QTest::newRow("largest pointer becomes the size")
        << qint64(100) << std::numeric_limits<qint64>::max() << qint64(100)
        << hundred.mid(68) + QByteArray(32, ' ') << 1 << 70;
    QTest::newRow("31-byte file: the thumb cannot move")
        << qint64(31) << qint64(31) << qint64(31)
        << QByteArray(1, ' ') + PrintableFile(31) + QByteArray(32, ' ') << 1 << 1;
}

void TestViewAndPanel::viewExamples() {
    QFETCH(qint64, size);
    QFETCH(qint64, asked);
    QFETCH(qint64, pointer);
    QFETCH(QByteArray, strip);
    QFETCH(int, previewLength);
    QFETCH(int, thumb);
    const QByteArray file = PrintableFile(size);
    QVERIFY(LoadBytes(file));
    MovePointer(asked);
    QCOMPARE(Pointer.FilePointer, pointer);
    QCOMPARE(CaptionShown(), PointerCaption(pointer, size));
    QCOMPARE(Shown(Control::ByteStrip), strip);
    QCOMPARE(Shown(Control::PreviewText), file.mid(pointer - 1, previewLength));
    QCOMPARE(GetControlState(Control::PointerSlider), thumb);
    QCOMPARE(FindWidget<QScrollBar>("PointerSlider")->value(), thumb);
}

void TestViewAndPanel::hiddenBytesAndLineBreaks() {
    const QByteArray file = Bytes("410A1F818D8F909D207F80A0FF00420D43");
    QVERIFY(LoadBytes(file));
    QCOMPARE(Shown(Control::ByteStrip),
             QByteArray(31, ' ') + "A......." + Bytes("207F80A0FF") + ".B.C" + QByteArray(16, ' '));
    // In the preview only the zero byte is replaced; line breaks break the lines.
    const QTextDocument* preview = FindWidget<QPlainTextEdit>("PreviewText")->document();
    QStringList lines;
    for (QTextBlock line = preview->begin(); line.isValid(); line = line.next()) {
        lines << line.text();
    }
    const QString middle = QString::fromUtf16(u"\x1F\u0081\u008D\u008F\u0090\u009D \x7F\u20AC"
                                              u"\u00A0\u00FF.B");
    QCOMPARE(lines, QStringList({"A", middle, "C"}));
}

void TestViewAndPanel::scrollBarClicks_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<int>("part");
    QTest::addColumn<qint64>("whilePressed");
    QTest::addColumn<qint64>("afterRelease");
    auto row = [](const char* name, qint64 size, qint64 start, QStyle::SubControl part,
                  qint64 whilePressed, qint64 afterRelease) {
        QTest::newRow(name) << size << start << static_cast<int>(part) << whilePressed
                            << afterRelease;
    };
    // The hook sees the bar before it moves: the pointer lags one step until the release.
    row("left arrow at the last of 1000 bytes", 1000, 1000, QStyle::SC_ScrollBarSubLine, 970, 969);
    row("right arrow at pointer 1", 1000, 1, QStyle::SC_ScrollBarAddLine, 1, 2);
    row("left arrow at pointer 1 stays", 1000, 1, QStyle::SC_ScrollBarSubLine, 1, 1);
    row("channel right of the thumb", 1000, 1, QStyle::SC_ScrollBarAddPage, 1, 31);
    row("channel left of the thumb", 1000, 500, QStyle::SC_ScrollBarSubPage, 500, 470);
    // A file of 31 bytes or fewer leaves the thumb no room: the arrow does not step, and the
    // end of the action puts the pointer on the thumb's only position, 1.
    row("right arrow in a 31-byte file", 31, 20, QStyle::SC_ScrollBarAddLine, 20, 1);
    row("left arrow in a 31-byte file", 31, 31, QStyle::SC_ScrollBarSubLine, 31, 1);
}

void TestViewAndPanel::scrollBarClicks() {
    QFETCH(qint64, size);
    QFETCH(qint64, start);
    QFETCH(int, part);
    QFETCH(qint64, whilePressed);
    QFETCH(qint64, afterRelease);
    QVERIFY(LoadBytes(PrintableFile(size)));
    MovePointer(start);
    auto* bar = FindWidget<QScrollBar>("PointerSlider");
    const QPoint where = ScrollBarPartCentre(bar, static_cast<QStyle::SubControl>(part));

    QTest::mousePress(bar, Qt::LeftButton, {}, where);
    QCOMPARE(Pointer.FilePointer, whilePressed);
    QCOMPARE(CaptionShown(), PointerCaption(whilePressed, size));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, where);
    QCOMPARE(Pointer.FilePointer, afterRelease);
    RunPendingTurns();
    QCOMPARE(Pointer.FilePointer, afterRelease);
    QCOMPARE(CaptionShown(), PointerCaption(afterRelease, size));
    QCOMPARE(Shown(Control::ByteStrip), ExpectedStrip(PrintableFile(size), afterRelease));
}

void TestViewAndPanel::nudgeBarKeys_data() {
    QTest::addColumn<qint64>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("barWhilePressed");
    QTest::addColumn<qint64>("pointer");
    // The 100-byte file; the thumb steps by 1 for an arrow and by 12 for a page.
    QTest::newRow("step right lowers the pointer by 1")
        << qint64(50) << int(Qt::Key_Right) << 32 << qint64(49);
    QTest::newRow("step left raises it by 1")
        << qint64(50) << int(Qt::Key_Left) << 30 << qint64(51);
    QTest::newRow("page right lowers it by 12")
        << qint64(50) << int(Qt::Key_PageDown) << 43 << qint64(38);
    QTest::newRow("page left raises it by 12")
        << qint64(50) << int(Qt::Key_PageUp) << 19 << qint64(62);
    QTest::newRow("below the first byte stays on it")
        << qint64(1) << int(Qt::Key_Right) << 32 << qint64(1);
    QTest::newRow("past the last byte stays on it")
        << qint64(100) << int(Qt::Key_Left) << 30 << qint64(100);
    QTest::newRow("a page past the end stays on the last byte")
        << qint64(95) << int(Qt::Key_PageUp) << 19 << qint64(100);
}

void TestViewAndPanel::nudgeBarKeys() {
    QFETCH(qint64, start);
    QFETCH(int, key);
    QFETCH(int, barWhilePressed);
    QFETCH(qint64, pointer);
    QVERIFY(LoadBytes(PrintableFile(100)));
    MovePointer(start);
    auto* bar = FindWidget<QSlider>("NudgeBar");
    bar->setFocus();
    QVERIFY(bar->hasFocus());

    QTest::keyPress(bar, static_cast<Qt::Key>(key));
    QCOMPARE(bar->value(), barWhilePressed); // the bar stays out while the key is held
    QCOMPARE(Pointer.FilePointer, pointer);  // and the pointer has moved at once
    QCOMPARE(CaptionShown(), PointerCaption(pointer, 100));
    QTest::keyRelease(bar, static_cast<Qt::Key>(key));
    QCOMPARE(bar->value(), 31);
    QCOMPARE(Pointer.FilePointer, pointer);
    QCOMPARE(Pointer.NudgeLast, 31);
    RunPendingTurns();
    QCOMPARE(Pointer.FilePointer, pointer);
    QCOMPARE(Shown(Control::ByteStrip), ExpectedStrip(PrintableFile(100), pointer));
}

void TestViewAndPanel::nudgeBarDragBackToRest() {
    // Dragged to 32, 33 and back to 31, released at 31: the steps away count, the step back onto
    // the rest position does not.
    QVERIFY(LoadBytes(PrintableFile(100)));
    MovePointer(50);
    auto* bar = FindWidget<QSlider>("NudgeBar");
    QTest::mousePress(bar, Qt::LeftButton, {}, TrackBarThumbCentre(bar, 31));
    QVERIFY(bar->isSliderDown());
    const QList<QPair<int, qint64>> drag = {{32, 49}, {33, 48}, {31, 48}};
    for (const auto& [position, pointer] : drag) {
        DragMouseTo(bar, TrackBarThumbCentre(bar, position));
        QCOMPARE(bar->sliderPosition(), position);
        QCOMPARE(Pointer.FilePointer, pointer);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, TrackBarThumbCentre(bar, 31));
    RunPendingTurns();
    QCOMPARE(Pointer.FilePointer, qint64(48));
    QCOMPARE(bar->value(), 31);
    QCOMPARE(Pointer.NudgeLast, 31);
    QCOMPARE(CaptionShown(), PointerCaption(48, 100));
}

QTEST_MAIN(TestViewAndPanel)
#include "tst_view_and_panel.moc"
