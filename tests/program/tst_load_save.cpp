// Loading a file into the memory copy and writing it back, driven through the real window: the
// menu items with their requesters, the command line, every message word for word, and what the
// window keeps when a load or a save fails.
#include "support/window_test.h"

#include "program/load_save.h"
#include "program/state/file_state.h"
#include "program/state/long_work_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "support/test_files.h"
#include "toolkit/toolkit.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* SHORT_READ_FILE = "/sys/devices/system/cpu/online";

// The eight controls that wait for the first load.
const char* const FILE_CONTROL_NAMES[] = {
    "FindNextButton",   "PointerSlider",     "NudgeBar",          "UpdateBitsButton",
    "UpdateByteButton", "UpdateInt16Button", "UpdateInt32Button", "UpdateInt64Button"};

QStringList Texts(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) {
        list << QString::fromStdString(text);
    }
    return list;
}

// Everything a load could change, one line each, so that a failed comparison shows what moved.
QStringList WindowState() {
    QStringList state;
    const std::pair<const char*, int32_t> texts[] = {
        {"ByteStrip", Control::ByteStrip},         {"PointerLabel", Control::PointerLabel},
        {"FileNameLabel", Control::FileNameLabel}, {"BitsField", Control::BitsField},
        {"DecField", Control::DecField},           {"Int64Field", Control::Int64Field},
        {"PreviewText", Control::PreviewText}};
    for (const auto& [name, id] : texts) {
        state << QString(name) + "=" + Shown(id).toHex(' ');
    }
    for (const char* name : FILE_CONTROL_NAMES) {
        state << QString("%1 enabled=%2").arg(name).arg(FindWidget(name)->isEnabled());
    }
    const auto* slider = FindWidget<QScrollBar>("PointerSlider");
    state << QString("slider=%1 in %2..%3")
                 .arg(slider->value())
                 .arg(slider->minimum())
                 .arg(slider->maximum());
    state << QString("FromStartCheck=%1").arg(GetControlState(Control::FromStartCheck));
    state << QString("FilePointer=%1").arg(Pointer.FilePointer);
    state << QString("FileSize=%1").arg(FileState.FileSize);
    state << "copy=" + QCryptographicHash::hash(CopyInMemory(), QCryptographicHash::Sha1).toHex();
    return state;
}

// What the user met after one menu choice: the titles of the requesters and the messages.
struct Seen {
    bool answered = false; // every requester expected came (others show among the messages)
    QStringList titles;
    QStringList messages;
};

// Chooses a menu item and runs the loop until `answers` were all used.
Seen RunMenu(const char* item, ModalAnswers& answers) {
    Seen seen;
    if (TriggerMenu(item)) {
        const QDeadlineTimer deadline(10000); // a bound for a requester that never opens
        RunPendingTurns();
        while (answers.pending() > 0 && !deadline.hasExpired()) {
            QTest::qWait(5);
            RunPendingTurns();
        }
        seen.answered = answers.pending() == 0;
    }
    seen.titles = Texts(answers.requesterTitles());
    seen.messages = Texts(answers.messages());
    return seen;
}

// Chooses a menu item, answers its file requester with `file` (an empty path cancels) when one
// is given, and clicks OK on `messages` message boxes, running the loop until all were answered.
Seen ChooseMenu(const char* item, const std::optional<QString>& file = std::nullopt,
                int messages = 0) {
    ModalAnswers answers;
    if (file) {
        answers.ChooseFile(Native(*file));
    }
    for (int count = 0; count < messages; ++count) {
        answers.Acknowledge();
    }
    return RunMenu(item, answers);
}

} // namespace

class TestLoadSave : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void loadThroughTheMenu();
    void loadFailuresKeepTheWindow_data();
    void loadFailuresKeepTheWindow();
    void saveAfterAFailedLoad_data();
    void saveAfterAFailedLoad();

    void saveAndSaveAs();
    void saveOverALongerFile();
    void saveFailures_data();
    void saveFailures();
    void failedSaveKeepsTheOldContent();
    void cancelledWork_data();
    void cancelledWork();

    void commandLine_data();
    void commandLine();

  private:
    [[nodiscard]] QString Path(const QString& name) const { return folder_->filePath(name); }
    [[nodiscard]] bool OpenAndLoad(const QString& path);

    std::unique_ptr<QTemporaryDir> folder_;
    QString startFolder_;
};

void TestLoadSave::init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    startFolder_ = QDir::currentPath();
}

void TestLoadSave::cleanup() {
    CloseTestWindow();
    QDir::setCurrent(startFolder_);
    folder_.reset();
}

bool TestLoadSave::OpenAndLoad(const QString& path) {
    return OpenTestWindow() && LoadWithoutMessages(path) && FileState.FileName == Native(path);
}

void TestLoadSave::loadThroughTheMenu() {
    QVERIFY(OpenTestWindow());
    const QString first = Path("first.bin");
    const QString second = Path("second file.bin");
    QVERIFY(WriteToDisk(first, RandomBytes(300, 1)));
    QVERIFY(WriteToDisk(second, RandomBytes(4000, 2)));

    for (const QString& path : {first, second}) {
        // Moved away from what a load sets, so that the load must set it again.
        Pointer.FilePointer = 250;
        RefreshView();
        QTest::mouseClick(FindWidget<QCheckBox>("FromStartCheck"), Qt::LeftButton);
        RunPendingTurns();
        QVERIFY(!FindWidget<QCheckBox>("FromStartCheck")->isChecked());

        const Seen seen = ChooseMenu("Load", path);
        QVERIFY(seen.answered);
        QCOMPARE(seen.titles, QStringList{"Load File"});
        QCOMPARE(seen.messages, QStringList());

        const QByteArray content = ReadFromDisk(path);
        QVERIFY(CopyInMemory() == content);
        QCOMPARE(FileState.FileName, Native(path));
        QCOMPARE(Pointer.FilePointer, qint64(1));
        QVERIFY(FindWidget<QCheckBox>("FromStartCheck")->isChecked());
        for (const char* name : FILE_CONTROL_NAMES) {
            QVERIFY2(FindWidget(name)->isEnabled(), name);
        }
        QCOMPARE(Shown(Control::FileNameLabel), "Inspected File: " + QFile::encodeName(path));
        QCOMPARE(Shown(Control::PointerLabel),
                 QString("File Pointer (1 of %1 Bytes)").arg(content.size()).toLatin1());
        const auto* slider = FindWidget<QScrollBar>("PointerSlider");
        QCOMPARE(slider->value(), 1);
        QCOMPARE(slider->maximum(), content.size() - 30);
    }
}

void TestLoadSave::loadFailuresKeepTheWindow_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("loadedBefore");
    QTest::addColumn<QString>("message");
    const QString emptyOrInvalid = "Tessary|Empty or invalid file";
    const std::pair<const char*, const char*> cases[] = {
        {"empty file", "empty.bin"},
        {"missing file", "missing.bin"},
        {"empty name", ""},
        {"folder", "folder"},
        {"folder with a trailing slash", "folder/"},
        {"FIFO", "fifo"},
        {"file that delivers fewer bytes than its size", SHORT_READ_FILE},
        {"file of 3000000000 bytes", "sparse.bin"},
    };
    for (const bool loadedBefore : {true, false}) {
        for (const auto& [description, name] : cases) {
            QString message = emptyOrInvalid;
            if (QString(name) == SHORT_READ_FILE) {
                message = "Tessary|Failed to Open File";
            } else if (QString(name) == "sparse.bin") {
                message = "Tessary|Failed to allocate 3000000000 bytes of memory";
            }
            QTest::addRow("%s, %s", description, loadedBefore ? "after a load" : "before any load")
                << QString(name) << loadedBefore << message;
        }
    }
}

void TestLoadSave::loadFailuresKeepTheWindow() {
    QFETCH(QString, name);
    QFETCH(bool, loadedBefore);
    QFETCH(QString, message);
    if (name == SHORT_READ_FILE && QFile(name).size() <= 0) {
        QSKIP("no file in /sys here that reports more bytes than it delivers");
    }
    QVERIFY(WriteToDisk(Path("empty.bin"), {}));
    QVERIFY(QDir(folder_->path()).mkdir("folder"));
    QCOMPARE(mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
    QFile sparse(Path("sparse.bin"));
    QVERIFY(sparse.open(QIODevice::WriteOnly));
    QCOMPARE(ftruncate(sparse.handle(), 3000000000), 0);
    sparse.close();

    const QString loaded = Path("loaded.bin");
    QVERIFY(WriteToDisk(loaded, RandomBytes(200, 3)));
    if (loadedBefore) {
        QVERIFY(OpenAndLoad(loaded));
        Pointer.FilePointer = 5;
        RefreshView();
    } else {
        QVERIFY(OpenTestWindow());
    }
    RunPendingTurns();
    const QStringList before = WindowState();
    const std::string fileNameBefore = FileState.FileName;

    const QString path = name.isEmpty() || name.startsWith('/') ? name : Path(name);
    ModalAnswers answers;
    answers.Acknowledge();
    LoadNamedFile(Native(path));
    RunPendingTurns();

    QCOMPARE(Texts(answers.messages()), QStringList{message});
    QCOMPARE(WindowState(), before);
    // Once a file is shown, Save must keep writing to it; before, the name tried is kept.
    QCOMPARE(FileState.FileName, loadedBefore ? fileNameBefore : Native(path));
}

void TestLoadSave::saveAfterAFailedLoad_data() {
    QTest::addColumn<bool>("loadedBefore");
    QTest::addColumn<QString>("chosen"); // in the Load requester; empty cancels it
    QTest::addColumn<QStringList>("saveMessages");
    QTest::newRow("cancelled before any load: no name to save to")
        << false << "" << QStringList{"Tessary|Unable to Save File"};
    QTest::newRow("missing file before any load: Save creates it empty")
        << false << "missing.bin" << QStringList();
    QTest::newRow("cancelled after a load: Save writes the loaded file")
        << true << "" << QStringList();
    QTest::newRow("missing file after a load: Save writes the loaded file")
        << true << "missing.bin" << QStringList();
}

void TestLoadSave::saveAfterAFailedLoad() {
    QFETCH(bool, loadedBefore);
    QFETCH(QString, chosen);
    QFETCH(QStringList, saveMessages);
    const QString loaded = Path("loaded.bin");
    const QByteArray original = RandomBytes(100, 4);
    QVERIFY(WriteToDisk(loaded, original));
    if (loadedBefore) {
        QVERIFY(OpenAndLoad(loaded));
        FileState.FileBuffer.data()[0] ^= 0xFF; // a patch that only a Save brings to the disk
    } else {
        QVERIFY(OpenTestWindow());
    }

    const Seen load = ChooseMenu("Load", chosen.isEmpty() ? QString() : Path(chosen), 1);
    QVERIFY(load.answered);
    QCOMPARE(load.titles, QStringList{"Load File"});
    QCOMPARE(load.messages, QStringList{"Tessary|Empty or invalid file"});

    const Seen save = ChooseMenu("Save", std::nullopt, static_cast<int>(saveMessages.size()));
    QVERIFY(save.answered);
    QCOMPARE(save.messages, saveMessages);

    QByteArray patched = original;
    patched[0] = static_cast<char>(patched[0] ^ 0xFF);
    QVERIFY(ReadFromDisk(loaded) == (loadedBefore ? patched : original));
    const bool created = !loadedBefore && !chosen.isEmpty();
    QCOMPARE(QFile::exists(Path("missing.bin")), created);
    if (created) {
        QCOMPARE(ReadFromDisk(Path("missing.bin")), QByteArray());
    }
}

void TestLoadSave::saveAndSaveAs() {
    const QString loaded = Path("loaded.bin");
    const QString other = Path("other.bin");
    const QByteArray original = RandomBytes(5000, 5);
    QVERIFY(WriteToDisk(loaded, original));
    QVERIFY(OpenAndLoad(loaded));

    QCOMPARE(ChooseMenu("Save").messages, QStringList());
    QVERIFY(ReadFromDisk(loaded) == original);

    FileState.FileBuffer.data()[4999] = 'A';
    const Seen saveAs = ChooseMenu("Save As", other);
    QVERIFY(saveAs.answered);
    QCOMPARE(saveAs.titles, QStringList{"Save As"});
    QCOMPARE(saveAs.messages, QStringList());
    QVERIFY(ReadFromDisk(other) == CopyInMemory());
    QVERIFY(ReadFromDisk(loaded) == original);
    QCOMPARE(FileState.FileName, Native(other));

    // Save now goes to the new name, while the window keeps naming the file that was loaded.
    FileState.FileBuffer.data()[0] = 'B';
    QCOMPARE(ChooseMenu("Save").messages, QStringList());
    QVERIFY(ReadFromDisk(other) == CopyInMemory());
    QCOMPARE(ReadFromDisk(other).left(1), QByteArray("B"));
    QVERIFY(ReadFromDisk(loaded) == original);
    QCOMPARE(Shown(Control::FileNameLabel), "Inspected File: " + QFile::encodeName(loaded));
}

void TestLoadSave::saveOverALongerFile() {
    const QString loaded = Path("short.bin");
    const QString longer = Path("longer.bin");
    QVERIFY(WriteToDisk(loaded, RandomBytes(100, 6)));
    QVERIFY(WriteToDisk(longer, QByteArray(10000, 'o')));
    QVERIFY(OpenAndLoad(loaded));
    const Seen seen = ChooseMenu("Save As", longer);
    QVERIFY(seen.answered);
    QCOMPARE(seen.messages, QStringList());
    QVERIFY(ReadFromDisk(longer) == ReadFromDisk(loaded)); // exactly the 100 bytes, no old tail
}

void TestLoadSave::saveFailures_data() {
    QTest::addColumn<bool>("load");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("chosen"); // in the Save As requester; empty cancels it
    QTest::addColumn<bool>("refused");   // the requester refuses it; the user then cancels
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("fileNameAfter"); // "loaded" stands for the file loaded
    auto row = [](const char* name, bool load, const char* item, const char* chosen, bool refused,
                  const QStringList& messages, const char* fileNameAfter) {
        QTest::newRow(name) << load << QString(item) << QString(chosen) << refused << messages
                            << QString(fileNameAfter);
    };
    row("Save before any load, with no name", false, "Save", "", false,
        {"Tessary|Unable to Save File"}, "");
    row("Save As into a missing folder: refused, then cancelled", true, "Save As",
        "missing/saved.bin", true,
        {"Save As|%1/missing\nThis folder does not exist.\nPlease choose a name in an existing "
         "folder.",
         "Tessary|Invalid File Name"},
        "loaded");
    row("Save As cancelled", true, "Save As", "", false, {"Tessary|Invalid File Name"}, "loaded");
    row("Save As cancelled before any load", false, "Save As", "", false,
        {"Tessary|Invalid File Name"}, "");
}

void TestLoadSave::saveFailures() {
    QFETCH(bool, load);
    QFETCH(QString, item);
    QFETCH(QString, chosen);
    QFETCH(bool, refused);
    QFETCH(QStringList, messages);
    QFETCH(QString, fileNameAfter);
    const QString loaded = Path("loaded.bin");
    const QByteArray original = RandomBytes(64, 7);
    QVERIFY(WriteToDisk(loaded, original));
    QVERIFY(load ? OpenAndLoad(loaded) : OpenTestWindow());

    const bool asks = item == "Save As";
    ModalAnswers answers;
    if (asks) {
        answers.ChooseFile(chosen.isEmpty() ? std::string() : Native(Path(chosen)));
    }
    if (refused) {
        answers.Acknowledge().ChooseFile(std::string());
    }
    answers.Acknowledge();
    const Seen seen = RunMenu(item.toLatin1().constData(), answers);
    QVERIFY(seen.answered);
    QCOMPARE(seen.messages, messages.replaceInStrings("%1", folder_->path()));
    QCOMPARE(seen.titles, asks ? QStringList(refused ? 2 : 1, "Save As") : QStringList());
    const QString expectedName = fileNameAfter == "loaded" ? loaded
                                 : fileNameAfter.isEmpty() ? QString()
                                                           : Path(fileNameAfter);
    QCOMPARE(FileState.FileName, Native(expectedName));
    QVERIFY(ReadFromDisk(loaded) == original);
    QCOMPARE(
        QDir(folder_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"loaded.bin"});
}

void TestLoadSave::failedSaveKeepsTheOldContent() {
    // The disk takes only part of the new content: the file keeps its old bytes, all of them,
    // and no temporary file stays behind.
    const QString loaded = Path("loaded.bin");
    const QByteArray original(6000, 'o');
    QVERIFY(WriteToDisk(loaded, original));
    QVERIFY(OpenAndLoad(loaded));
    std::fill_n(FileState.FileBuffer.data(), 6000, uint8_t{'n'});

    Seen seen;
    {
        const FileSizeLimit limit(4096); // as on a disk that fills up part of the way
        seen = ChooseMenu("Save", std::nullopt, 1);
    }
    QVERIFY(seen.answered);
    QCOMPARE(seen.messages, QStringList{"Tessary|Unable to Save File"});
    QVERIFY(ReadFromDisk(loaded) == original);
    QCOMPARE(
        QDir(folder_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"loaded.bin"});
}

void TestLoadSave::cancelledWork_data() {
    QTest::addColumn<QString>("work");
    QTest::addColumn<CancelBy>("how");
    QTest::addColumn<bool>("loadedBefore");
    QTest::addColumn<bool>("completed"); // a save in place goes on once its first byte is in
    // Meanwhile the user closes the main window, presses Ctrl+O and clicks the scroll bar.
    QTest::addColumn<bool>("interferes");
    QTest::newRow("load cancelled by Cancel, after a load")
        << "Load" << CancelBy::Button << true << false << false;
    QTest::newRow("load cancelled by Escape, after a load")
        << "Load" << CancelBy::Escape << true << false << false;
    QTest::newRow("load cancelled by the close box, before any load")
        << "Load" << CancelBy::CloseBox << false << false << false;
    QTest::newRow("save cancelled by Cancel")
        << "Save" << CancelBy::Button << true << false << false;
    QTest::newRow("save cancelled by the close box")
        << "Save" << CancelBy::CloseBox << true << false << false;
    QTest::newRow("Save As to a new file cancelled by Escape")
        << "Save As" << CancelBy::Escape << true << false << false;
    QTest::newRow("save in place: Cancel disabled after the first byte")
        << "Save in place" << CancelBy::Button << true << true << false;
    QTest::newRow("save in place: Escape disabled after the first byte")
        << "Save in place" << CancelBy::Escape << true << true << false;
    QTest::newRow("save in place: close box disabled after the first byte")
        << "Save in place" << CancelBy::CloseBox << true << true << false;
    QTest::newRow("load cancelled by Cancel, after input that is thrown away")
        << "Load" << CancelBy::Button << true << false << true;
    QTest::newRow("save cancelled by Cancel, after input that is thrown away")
        << "Save" << CancelBy::Button << true << false << true;
}

void TestLoadSave::cancelledWork() {
    QFETCH(QString, work);
    QFETCH(CancelBy, how);
    QFETCH(bool, loadedBefore);
    QFETCH(bool, completed);
    QFETCH(bool, interferes);
    // Enough chunks that the progress window, shown at the first, is answered before the last.
    constexpr qsizetype SIZE = 32 << 20;
    const QString loaded = Path("loaded.bin");
    const QString large = Path("large.bin");
    const QString other = Path("other.bin");
    const QByteArray original(SIZE, 'o');
    QVERIFY(WriteToDisk(loaded, original));
    QVERIFY(WriteToDisk(large, QByteArray(SIZE, 'n')));
    QStringList entries{"large.bin", "loaded.bin"};
    if (work == "Save in place") {
        // A second name keeps the save from replacing the file by a copy.
        QCOMPARE(link(QFile::encodeName(loaded).constData(),
                      QFile::encodeName(Path("second.bin")).constData()),
                 0);
        entries << "second.bin";
    }
    QVERIFY(loadedBefore ? OpenAndLoad(loaded) : OpenTestWindow());
    if (loadedBefore) {
        FileState.FileBuffer.data()[SIZE / 2] ^= 0xFF; // a patch only a Save brings to the disk
        Pointer.FilePointer = 7;
    }
    RefreshView();
    RunPendingTurns();
    const QStringList before = WindowState();
    const std::string nameBefore = FileState.FileName;
    // The progress window shows at the first chunk, so that the test need not wait for it.
    LongWork.showAfterMilliseconds = 0;
    LongWork.serveEveryMilliseconds = 0;

    ModalAnswers answers;
    if (work == "Load" || work == "Save As") {
        answers.ChooseFile(Native(work == "Load" ? large : other));
    }
    const auto interfere = [] {
        QWidget* window = MainWindowWidget();
        window->close();
        QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
        auto* slider = FindWidget<QScrollBar>("PointerSlider");
        QTest::mouseClick(slider, Qt::LeftButton, {},
                          ScrollBarPartCentre(slider, QStyle::SC_ScrollBarAddLine));
    };
    answers.CancelProgress(how, completed,
                           interferes ? std::function<void()>(interfere) : std::function<void()>());
    const Seen seen =
        RunMenu(work == "Save in place" ? "Save" : work.toLatin1().constData(), answers);
    QVERIFY(seen.answered);
    QCOMPARE(seen.messages, QStringList()); // a cancel is the user's choice: no message
    QCOMPARE(seen.titles.size(), work == "Save" || work == "Save in place" ? 1 : 2);
    QVERIFY(MainWindowWidget() != nullptr && MainWindowWidget()->isVisible());
    const QString verb = work == "Load" ? "Loading" : "Saving";
    QVERIFY2(QRegularExpression(QString("^Tessary\\|%1 [0-9]+ of %2 bytes$").arg(verb).arg(SIZE))
                 .match(seen.titles.last())
                 .hasMatch(),
             qPrintable(seen.titles.last()));
    const std::vector<int32_t> turns = RunPendingTurns();
    QVERIFY(std::find(turns.begin(), turns.end(), EVENT_CLOSE) == turns.end());
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    QByteArray patched = original;
    patched[SIZE / 2] = static_cast<char>(patched[SIZE / 2] ^ 0xFF);
    QVERIFY(ReadFromDisk(loaded) == (completed ? patched : original));
    QCOMPARE(QDir(folder_->path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             entries);
    QCOMPARE(WindowState(), before);
    QCOMPARE(FileState.FileName, work == "Save As" ? Native(other) : nameBefore);
}

void TestLoadSave::commandLine_data() {
    QTest::addColumn<QStringList>("arguments"); // %1 stands for the test's folder, the current one
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QStringList>("messages");
    auto row = [](const char* name, const QStringList& arguments, const char* fileName, qint64 size,
                  bool reported) {
        QTest::newRow(name) << arguments << QString(fileName) << size
                            << (reported ? QStringList{"Tessary|Empty or invalid file"}
                                         : QStringList());
    };
    row("3 characters: not even tried", {"x.b"}, "", 0, false);
    row("4 characters: loaded at start-up", {"x.bi"}, "x.bi", 10, false);
    row("full path", {"%1/x.bi"}, "%1/x.bi", 10, false);
    row("path with a blank in double quotes", {"\"%1/x y.bin\""}, "%1/x y.bin", 20, false);
    row("double quotes inside the path", {"%1/x\" \"y.bin"}, "%1/x y.bin", 20, false);
    row("4 characters with its quotes: tried without them", {"\"ab\""}, "ab", 0, true);
    row("missing file: reported, its name kept", {"%1/missing.bin"}, "%1/missing.bin", 0, true);
    row("after --, a name like an option is a file", {"--", "--help"}, "--help", 12, false);
}

void TestLoadSave::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, fileName);
    QFETCH(qint64, size);
    QFETCH(QStringList, messages);
    QVERIFY(QDir::setCurrent(folder_->path()));
    QVERIFY(WriteToDisk("x.b", RandomBytes(5, 8)));
    QVERIFY(WriteToDisk("x.bi", RandomBytes(10, 9)));
    QVERIFY(WriteToDisk("x y.bin", RandomBytes(20, 10)));
    QVERIFY(WriteToDisk("--help", RandomBytes(12, 11)));

    {
        ModalAnswers answers;
        for (qsizetype count = 0; count < messages.size(); ++count) {
            answers.Acknowledge();
        }
        std::vector<std::string> commandLine;
        for (const QString& argument : arguments) {
            commandLine.push_back(Native(QString(argument).replace("%1", folder_->path())));
        }
        QVERIFY(OpenTestWindow(commandLine));
        // The load happened at start-up, before the loop took its first event.
        QCOMPARE(Texts(answers.messages()), messages);
    }
    const QString expectedName = QString(fileName).replace("%1", folder_->path());
    QCOMPARE(FileState.FileName, Native(expectedName));
    QCOMPARE(qint64(FileState.FileSize), size);
    if (size > 0) {
        QVERIFY(CopyInMemory() == ReadFromDisk(expectedName));
        QCOMPARE(Shown(Control::FileNameLabel),
                 "Inspected File: " + QFile::encodeName(expectedName));
        QCOMPARE(Pointer.FilePointer, qint64(1));
        return;
    }
    QCOMPARE(Shown(Control::FileNameLabel), QByteArray("Inspected File: "));
    QCOMPARE(Shown(Control::PointerLabel), QByteArray("File Pointer ()"));
    // Nothing loaded: Save creates the file named, or has no name to write to.
    const Seen save = ChooseMenu("Save", std::nullopt, fileName.isEmpty() ? 1 : 0);
    QVERIFY(save.answered);
    QCOMPARE(save.messages,
             fileName.isEmpty() ? QStringList{"Tessary|Unable to Save File"} : QStringList());
    if (!fileName.isEmpty()) {
        QCOMPARE(ReadFromDisk(expectedName), QByteArray());
    }
    QCOMPARE(ReadFromDisk("x.b").size(), 5);
}

QTEST_MAIN(TestLoadSave)
#include "tst_load_save.moc"
