// Ten thousand seeded random user actions on the real window: typing into every field, every
// button, the scroll bar, the nudge bar, Find Next with every type, loads and saves of random
// files through the requesters. After every action the program must be in a sound state: the
// pointer inside the file, the strip 64 characters that show the bytes at the pointer, the nudge
// bar back at rest, the copy changed only by an Update button and only at the pointer, its size
// changed only by a load, exactly the messages the action calls for, and after every save the
// bytes on disk equal to the copy. TESSARY_SOAK_SEED and TESSARY_SOAK_ACTIONS change the run.
#include "support/window_test.h"

#include "core/byte_view.h"
#include "core/number_text.h"
#include "program/load_save.h"
#include "program/state/file_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "support/test_files.h"
#include "toolkit/toolkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <sys/stat.h>

namespace {

constexpr int FILE_POOL_SIZE = 10;
const char* const EDIT_FIELDS[] = {"ByteStrip",  "BitsField",  "DecField",
                                   "CharField",  "HexField",   "Int16Field",
                                   "Int32Field", "Int64Field", "SearchTextField"};

struct UpdateRow {
    const char* button;
    int32_t field;
    const char* prefix;
    int32_t width;
};
const UpdateRow UPDATE_ROWS[] = {{"UpdateBitsButton", Control::BitsField, "%", 1},
                                 {"UpdateByteButton", Control::DecField, "", 1},
                                 {"UpdateInt16Button", Control::Int16Field, "", 2},
                                 {"UpdateInt32Button", Control::Int32Field, "", 4},
                                 {"UpdateInt64Button", Control::Int64Field, "", 8}};

// A load of this name succeeds: a regular file with at least one byte.
bool Loadable(const std::string& path) {
    struct stat status {};
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_size > 0;
}

// Types single-byte text as key presses; letters beyond ASCII come as the text of a key event,
// the way a keyboard layout delivers them.
void TypeText(QWidget* widget, const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            QTest::keyClick(widget, c);
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown,
                                QString(QChar(char16_t{byte})), Qt::NoModifier);
        }
    }
}

void Wheel(QWidget* widget, int steps) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, steps * 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestSoak : public QObject {
    Q_OBJECT

  private slots:
    void randomActionsKeepTheProgramSound();
    void cleanupTestCase() { CloseTestWindow(); }

  private:
    // One random action; returns its description for the failure message.
    QString Act();
    QString TypeIntoField();
    QString PressUpdate();
    QString SearchNext();
    QString UseScrollBar();
    QString UseNudgeBar();
    QString Load();
    QString Save(bool saveAs);
    void Check(const QString& where);

    std::string RandomText(int length);
    std::string RandomPoolFile();
    bool Chance(int percent) { return random_.bounded(100) < percent; }

    QRandomGenerator random_;
    QTemporaryDir folder_;
    ModalAnswers* answers_ = nullptr;
    std::vector<std::string> expectedMessages_;
    // The model the window must agree with.
    std::string copy_;
    bool loaded_ = false;
    bool stripTypedInto_ = false;
    QString saveMismatch_;
    int loads_ = 0;
    int saves_ = 0;
    int updates_ = 0;
    int searches_ = 0;
};

void TestSoak::randomActionsKeepTheProgramSound() {
    const quint32 seed = qEnvironmentVariableIsSet("TESSARY_SOAK_SEED")
                             ? qEnvironmentVariable("TESSARY_SOAK_SEED").toUInt()
                             : 20240611u;
    const int actions = qEnvironmentVariableIsSet("TESSARY_SOAK_ACTIONS")
                            ? qEnvironmentVariableIntValue("TESSARY_SOAK_ACTIONS")
                            : 10000;
    random_.seed(seed);
    QVERIFY(folder_.isValid());
    for (int index = 0; index < FILE_POOL_SIZE; ++index) {
        // Two names start missing and one empty, which Save As fills in as the run goes; the
        // smallest files are those whose scroll bar cannot move.
        static const int sizes[FILE_POOL_SIZE] = {-1, -1, 0, 1, 31, 32, 0, 0, 0, 0};
        const int size = index < 6 ? sizes[index] : random_.bounded(33, 5000);
        if (size >= 0) {
            QFile file(folder_.filePath(QString("file-%1.bin").arg(index)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QByteArray bytes(size, '\0');
            for (char& byte : bytes) {
                byte = static_cast<char>(Chance(30) ? 0 : random_.bounded(256));
            }
            file.write(bytes);
        }
    }
    QVERIFY(OpenTestWindow());
    MainWindowWidget()->activateWindow();

    for (int step = 0; step < actions; ++step) {
        ModalAnswers answers;
        answers_ = &answers;
        expectedMessages_.clear();
        const QString action = Act();
        RunPendingTurns();
        answers_ = nullptr;
        const QString where = QString("seed %1, action %2: %3").arg(seed).arg(step).arg(action);
        QVERIFY2(answers.pending() == 0, qPrintable(where + ": a requester never came"));
        QVERIFY2(answers.messages() == expectedMessages_,
                 qPrintable(where + ": saw " +
                            QString::fromStdString(answers.messages().empty()
                                                       ? "nothing"
                                                       : answers.messages().front())));
        Check(where);
        if (QTest::currentTestFailed()) {
            return;
        }
    }
    qInfo("seed %u: %d actions, %d loads, %d saves, %d updates, %d searches", seed, actions, loads_,
          saves_, updates_, searches_);
}

QString TestSoak::Act() {
    const int roll = random_.bounded(1000);
    if (roll < 300) {
        return TypeIntoField();
    }
    if (roll < 450) {
        return PressUpdate();
    }
    if (roll < 560) {
        return SearchNext();
    }
    if (roll < 700) {
        return UseScrollBar();
    }
    if (roll < 840) {
        return UseNudgeBar();
    }
    if (roll < 880) {
        QTest::mouseClick(FindWidget<QCheckBox>("FromStartCheck"), Qt::LeftButton);
        return "click Search from start";
    }
    if (roll < 930) {
        QWidget* field = FindWidget(EDIT_FIELDS[random_.bounded(int(std::size(EDIT_FIELDS)))]);
        QTest::mouseClick(field, Qt::LeftButton);
        return "click into " + field->objectName();
    }
    if (roll < 950) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused != nullptr ? focused : MainWindowWidget(),
                        Chance(50) ? Qt::Key_Tab : Qt::Key_Backtab);
        return "Tab";
    }
    if (roll < 960) {
        const int height = random_.bounded(300, 700);
        MainWindowWidget()->resize(random_.bounded(500, 800), height);
        return QString("resize to height %1").arg(height);
    }
    if (roll < 977) {
        return Load();
    }
    return Save(roll >= 990);
}

std::string TestSoak::RandomText(int length) {
    static const char typical[] = "0123456789abcdefABCDEF$%-+ .xyzG";
    std::string text;
    for (int i = 0; i < length; ++i) {
        text.push_back(Chance(90) ? typical[random_.bounded(int(sizeof typical) - 1)]
                                  : static_cast<char>(random_.bounded(0xA0, 0x100)));
    }
    return text;
}

QString TestSoak::TypeIntoField() {
    auto* field = FindWidget<QLineEdit>(EDIT_FIELDS[random_.bounded(int(std::size(EDIT_FIELDS)))]);
    const std::string text = RandomText(random_.bounded(0, 12));
    if (Chance(60)) {
        field->selectAll();
    }
    if (Chance(20)) {
        QTest::keyClick(field, Qt::Key_Backspace);
    }
    TypeText(field, text);
    stripTypedInto_ = stripTypedInto_ || field->objectName() == "ByteStrip";
    return "type \"" + QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())) +
           "\" into " + field->objectName();
}

QString TestSoak::PressUpdate() {
    const UpdateRow& row = UPDATE_ROWS[random_.bounded(int(std::size(UPDATE_ROWS)))];
    auto* button = FindWidget<QPushButton>(row.button);
    const std::string text = row.prefix + GetControlText(row.field);
    QTest::mouseClick(button, Qt::LeftButton);
    if (loaded_) {
        ++updates_;
        const uint64_t value = row.width == 8 ? static_cast<uint64_t>(ParseNumber64(text))
                                              : static_cast<uint32_t>(ParseNumber32(text));
        StoreLittleEndian(reinterpret_cast<uint8_t*>(copy_.data()),
                          static_cast<int64_t>(copy_.size()), Pointer.FilePointer - 1, value,
                          row.width);
        stripTypedInto_ = false;
    }
    return QString("press %1 with \"%2\"").arg(row.button, QString::fromStdString(text));
}

QString TestSoak::SearchNext() {
    auto* combo = FindWidget<QComboBox>("SearchTypeCombo");
    combo->setCurrentIndex(random_.bounded(combo->count()));
    if (Chance(50)) {
        auto* text = FindWidget<QLineEdit>("SearchTextField");
        text->selectAll();
        std::string wanted = RandomText(random_.bounded(0, 5));
        if (loaded_ && Chance(50) && !copy_.empty()) {
            // Text that occurs in the file, so that searches also find something.
            const int from = random_.bounded(int(copy_.size()));
            wanted = copy_.substr(static_cast<std::size_t>(from), 3);
            wanted.erase(std::find(wanted.begin(), wanted.end(), '\0'), wanted.end());
        }
        TypeText(text, wanted);
    }
    QTest::mouseClick(FindWidget<QPushButton>("FindNextButton"), Qt::LeftButton);
    if (loaded_) {
        ++searches_;
        stripTypedInto_ = false;
    }
    return "Find Next, " + combo->currentText() + " \"" +
           FindWidget<QLineEdit>("SearchTextField")->text() + "\"";
}

QString TestSoak::UseScrollBar() {
    auto* bar = FindWidget<QScrollBar>("PointerSlider");
    static const QStyle::SubControl parts[] = {
        QStyle::SC_ScrollBarSubLine, QStyle::SC_ScrollBarAddLine, QStyle::SC_ScrollBarSubPage,
        QStyle::SC_ScrollBarAddPage};
    const int choice = random_.bounded(6);
    if (choice < 4) {
        const QPoint at = ScrollBarPartCentre(bar, parts[choice]);
        QTest::mousePress(bar, Qt::LeftButton, {}, at);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
        return QString("scroll bar part %1").arg(choice);
    }
    if (choice == 4) {
        const int steps = random_.bounded(-3, 4);
        Wheel(bar, steps);
        return QString("scroll bar wheel %1").arg(steps);
    }
    const QPoint thumb = ScrollBarPartCentre(bar, QStyle::SC_ScrollBarSlider);
    const QPoint to(random_.bounded(-20, bar->width() + 20), thumb.y());
    QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(bar, (thumb + to) / 2);
    QTest::mouseMove(bar, to);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
    return QString("drag scroll bar thumb to x %1").arg(to.x());
}

QString TestSoak::UseNudgeBar() {
    auto* nudge = FindWidget<QSlider>("NudgeBar");
    static const Qt::Key keys[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                   Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
    const int choice = random_.bounded(int(std::size(keys)) + 3);
    if (choice < int(std::size(keys))) {
        QTest::keyClick(nudge, keys[choice]);
        return QString("nudge bar key %1").arg(choice);
    }
    if (choice == int(std::size(keys))) {
        const int steps = random_.bounded(-2, 3);
        Wheel(nudge, steps);
        return QString("nudge bar wheel %1").arg(steps);
    }
    // A drag through a few positions, sometimes back over the rest position, then a release.
    const QPoint handle = TrackBarThumbCentre(nudge, nudge->sliderPosition());
    QTest::mousePress(nudge, Qt::LeftButton, {}, handle);
    QPoint at = handle;
    QString path;
    for (int move = random_.bounded(1, 5); move > 0; --move) {
        at.setX(random_.bounded(-10, nudge->width() + 10));
        QTest::mouseMove(nudge, at);
        path += QString(" %1").arg(at.x());
    }
    QTest::mouseRelease(nudge, Qt::LeftButton, {}, at);
    return "drag nudge bar through x" + path;
}

std::string TestSoak::RandomPoolFile() {
    return Native(folder_.filePath(QString("file-%1.bin").arg(random_.bounded(FILE_POOL_SIZE))));
}

QString TestSoak::Load() {
    const std::string path = Chance(10) ? std::string() : RandomPoolFile();
    answers_->ChooseFile(path);
    if (Loadable(path)) {
        ++loads_;
        copy_ = ReadFromDisk(path).toStdString();
        loaded_ = true;
        stripTypedInto_ = false;
    } else {
        answers_->Acknowledge();
        expectedMessages_.push_back("Tessary|Empty or invalid file");
    }
    TriggerMenu("Load");
    return "load " + QString::fromStdString(path.empty() ? "(cancelled)" : path);
}

QString TestSoak::Save(bool saveAs) {
    std::string target = FileState.FileName;
    if (saveAs) {
        target = Chance(10) ? std::string() : RandomPoolFile();
        answers_->ChooseFile(target);
        if (target.empty()) {
            answers_->Acknowledge();
            expectedMessages_.push_back("Tessary|Invalid File Name");
        }
    }
    // Before any load only a missing file is created, and an empty name cannot be written.
    if (!target.empty() || !saveAs) {
        if (target.empty()) {
            answers_->Acknowledge();
            expectedMessages_.push_back("Tessary|Unable to Save File");
        } else {
            ++saves_;
        }
    }
    TriggerMenu(saveAs ? "Save As" : "Save");
    RunPendingTurns();
    if (loaded_ && !target.empty()) {
        const std::string onDisk = ReadFromDisk(target).toStdString();
        if (onDisk != copy_) {
            saveMismatch_ = QString("the save to %1 left %2 bytes on disk that are not the %3 "
                                    "bytes of the copy")
                                .arg(QString::fromStdString(target))
                                .arg(onDisk.size())
                                .arg(copy_.size());
        }
    }
    return QString(saveAs ? "save as " : "save to ") + QString::fromStdString(target);
}

void TestSoak::Check(const QString& where) {
    QVERIFY2(saveMismatch_.isEmpty(), qPrintable(where + ": " + saveMismatch_));
    const int64_t size = FileState.FileSize;
    QVERIFY2(size == (loaded_ ? static_cast<int64_t>(copy_.size()) : 0),
             qPrintable(where + ": the size changed without a load"));
    QVERIFY2(GetControlState(Control::NudgeBar) == NUDGE_REST_POSITION &&
                 Pointer.NudgeLast == NUDGE_REST_POSITION,
             qPrintable(where + ": the nudge bar did not spring back to rest"));
    if (!loaded_) {
        QVERIFY2(Pointer.FilePointer == 0, qPrintable(where));
        return;
    }
    const int64_t pointer = Pointer.FilePointer;
    QVERIFY2(pointer >= 1 && pointer <= size,
             qPrintable(where + QString(": pointer %1 outside 1..%2").arg(pointer).arg(size)));
    QVERIFY2(std::equal(copy_.begin(), copy_.end(),
                        reinterpret_cast<const char*>(FileState.FileBuffer.data())),
             qPrintable(where + ": the copy changed where no Update button wrote"));
    QVERIFY2(GetControlText(Control::PointerLabel) == "File Pointer (" + DecimalText64(pointer) +
                                                          " of " + DecimalText64(size) + " Bytes)",
             qPrintable(where + ": caption " +
                        QString::fromStdString(GetControlText(Control::PointerLabel))));
    if (!stripTypedInto_) {
        const std::string strip = GetControlText(Control::ByteStrip);
        QVERIFY2(strip.size() == STRIP_LENGTH, qPrintable(where));
        QVERIFY2(strip == BuildStripText(FileState.FileBuffer.data(), size, pointer),
                 qPrintable(where + ": the strip does not show the bytes at the pointer"));
    }
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
