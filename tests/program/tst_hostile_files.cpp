// Loading what is not an ordinary file, or an ordinary file under an awkward name, through the
// real window: each case shows the exact message the user sees, never blocks, and leaves the file
// loaded before it untouched. Files that change between the size query and the open are tested
// on the two steps that the load runs in sequence (QueryFileSize, then ReadWholeFile), which is
// the only way to put the change between them deterministically.
#include "support/window_test.h"

#include "core/file_io.h"
#include "program/load_save.h"
#include "program/state/file_state.h"
#include "program/state/pointer_state.h"
#include "program/view.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int64_t LARGEST_SIZE = 2147483647;
const std::string EMPTY_OR_INVALID = "Tessary|Empty or invalid file";
const std::string OPEN_FAILED = "Tessary|Failed to Open File";
// Reports 4096 bytes in its size and holds a few: a file that is shorter than it says.
const char* const SHORTER_THAN_ITS_SIZE = "/sys/devices/system/cpu/online";

// Removes everything under a folder, whatever the names' encoding or the paths' length: each
// entry is named relative to its own folder.
void EmptyFolder(int folder) {
    DIR* listing = fdopendir(dup(folder));
    if (listing == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (entry->d_type == DT_DIR) {
            const int child = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (child >= 0) {
                EmptyFolder(child);
                close(child);
            }
            unlinkat(folder, name.c_str(), AT_REMOVEDIR);
        } else {
            unlinkat(folder, name.c_str(), 0);
        }
    }
    closedir(listing);
}

// A sparse file of `size` bytes that costs no disk space; `ends` is written at both ends.
void MakeSparseFile(const std::string& path, int64_t size, char first, char last) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    QVERIFY(descriptor >= 0);
    QCOMPARE(ftruncate(descriptor, size), 0);
    QCOMPARE(pwrite(descriptor, &first, 1, 0), ssize_t{1});
    QCOMPARE(pwrite(descriptor, &last, 1, size - 1), ssize_t{1});
    QCOMPARE(close(descriptor), 0);
}

// Folders of 255-byte names under `base`, then a file name of `nameLength` bytes, so that the
// whole path is `length` bytes long.
std::string PathOfLength(const std::string& base, std::size_t length, std::size_t nameLength) {
    std::string path = base;
    char filler = 'a';
    while (path.size() + 1 + nameLength < length) {
        std::size_t component =
            std::min<std::size_t>(NAME_MAX, length - path.size() - 2 - nameLength);
        if (length - (path.size() + 1 + component) - 1 - nameLength == 1) {
            --component; // a folder cannot have a 0-byte name: leave room for one more
        }
        path += "/" + std::string(component, filler++);
        if (mkdir(path.c_str(), 0755) != 0) {
            return {};
        }
    }
    return path + "/" + std::string(nameLength, 'f');
}

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void refusedAtStartUp_data();
    void refusedAtStartUp();
    void refusedLoadKeepsThePreviousFile_data();
    void refusedLoadKeepsThePreviousFile();
    void fileShorterThanItsSizeKeepsThePreviousFile();
    void fileChangesBetweenSizeQueryAndOpen_data();
    void fileChangesBetweenSizeQueryAndOpen();
    void largestFileLoadsAndShowsItsLastByte();
    void awkwardNamesLoadAndSaveUnderTheirOwnName_data();
    void awkwardNamesLoadAndSaveUnderTheirOwnName();

  private:
    // Makes the named kind of hostile file in the test's folder and returns its path.
    std::string MakeHostile(const QString& kind);
    void LoadGoodFile();
    void CheckGoodFileShown();

    QTemporaryDir folder_;
    std::string path_;
    std::string goodFile_;
    std::string goodBytes_;
    int socket_ = -1;
};

void TestHostileFiles::init() {
    QVERIFY(folder_.isValid());
    path_ = Native(folder_.path());
    goodFile_ = path_ + "/good.bin";
    goodBytes_.clear();
    for (int i = 0; i < 100; ++i) {
        goodBytes_.push_back(static_cast<char>('A' + i % 26));
    }
    QVERIFY(WriteToDisk(goodFile_, goodBytes_));
}

void TestHostileFiles::cleanup() {
    CloseTestWindow();
    ReleaseFileBuffer(); // the largest file holds 2 GiB until the next window would free it
    if (socket_ >= 0) {
        close(socket_);
        socket_ = -1;
    }
    const int folder = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EmptyFolder(folder);
    close(folder);
}

std::string TestHostileFiles::MakeHostile(const QString& kind) {
    const std::string path = path_ + "/hostile";
    bool made = true;
    if (kind == "directory") {
        made = mkdir(path.c_str(), 0755) == 0;
    } else if (kind == "directory with trailing slashes") {
        made = mkdir(path.c_str(), 0755) == 0;
        return made ? path + "///" : std::string();
    } else if (kind == "fifo") {
        made = mkfifo(path.c_str(), 0644) == 0;
    } else if (kind == "character device") {
        return "/dev/zero";
    } else if (kind == "dangling symlink") {
        made = symlink("nothing-here", path.c_str()) == 0;
    } else if (kind == "symlink loop") {
        made = symlink("hostile", path.c_str()) == 0;
    } else if (kind == "symlink to a fifo") {
        made = mkfifo((path_ + "/fifo").c_str(), 0644) == 0 && symlink("fifo", path.c_str()) == 0;
    } else if (kind == "unix socket") {
        socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        made = bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    } else if (kind == "empty file") {
        made = close(open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)) == 0;
    } else if (kind == "missing folder") {
        return path_ + "/no-such-folder/file.bin";
    } else if (kind == "path longer than PATH_MAX") {
        // A real file whose whole path is PATH_MAX bytes: made relative to its folder, the one
        // way such a file can come to exist.
        const std::string longest = PathOfLength(path_, PATH_MAX, 11);
        const std::string folder = longest.substr(0, longest.rfind('/'));
        const int parent = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int file = openat(parent, longest.substr(folder.size() + 1).c_str(),
                                O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        made = parent >= 0 && file >= 0 && write(file, "content", 7) == 7;
        close(file);
        close(parent);
        return made ? longest : std::string();
    } else if (kind == "component longer than NAME_MAX") {
        return path_ + "/" + std::string(NAME_MAX + 1, 'n');
    } else if (kind == "sparse file of 2^31 bytes") {
        MakeSparseFile(path, LARGEST_SIZE + 1, 'A', 'Z');
    }
    return made ? path : std::string();
}

void TestHostileFiles::LoadGoodFile() {
    QVERIFY(OpenTestWindow({goodFile_}));
    Pointer.FilePointer = 40;
    RefreshView();
    CheckGoodFileShown();
}

void TestHostileFiles::CheckGoodFileShown() {
    QCOMPARE(FileState.FileSize, int64_t{100});
    QCOMPARE(std::string(reinterpret_cast<const char*>(FileState.FileBuffer.data()), 100),
             goodBytes_);
    QCOMPARE(FileState.FileName, goodFile_);
    QCOMPARE(Shown(Control::PointerLabel), QByteArray("File Pointer (40 of 100 Bytes)"));
    QCOMPARE(Shown(Control::FileNameLabel),
             QByteArray::fromStdString("Inspected File: " + goodFile_));
    QCOMPARE(Shown(Control::ByteStrip), QByteArray::fromStdString(goodBytes_.substr(8, 64)));
    QCOMPARE(Shown(Control::DecField), QByteArray("78")); // 'N', the 40th letter
}

void TestHostileFiles::refusedAtStartUp_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<std::string>("message");
    for (const char* kind :
         {"directory", "directory with trailing slashes", "fifo", "character device",
          "dangling symlink", "symlink loop", "symlink to a fifo", "unix socket", "empty file",
          "missing folder", "path longer than PATH_MAX", "component longer than NAME_MAX"}) {
        QTest::newRow(kind) << QString(kind) << EMPTY_OR_INVALID;
    }
}

void TestHostileFiles::refusedAtStartUp() {
    QFETCH(QString, kind);
    QFETCH(std::string, message);
    const std::string path = MakeHostile(kind);
    QVERIFY(!path.empty());
    ModalAnswers answers;
    answers.Acknowledge();
    QVERIFY(OpenTestWindow({path}));
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(MessagesSeen(answers), QString::fromStdString(message));
    QCOMPARE(FileState.FileSize, int64_t{0});
    QCOMPARE(Shown(Control::PointerLabel), QByteArray("File Pointer ()"));
    QVERIFY(!FindWidget("FindNextButton")->isEnabled());
}

void TestHostileFiles::refusedLoadKeepsThePreviousFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("throughRequester");
    QTest::addColumn<std::string>("message");
    // The requester itself opens a folder instead of returning it and refuses names longer than
    // the file system allows; those names reach the load as the requester's answer would.
    const auto row = [](const char* kind, bool throughRequester, const std::string& message) {
        QTest::newRow(kind) << QString(kind) << throughRequester << message;
    };
    row("directory", false, EMPTY_OR_INVALID);
    row("fifo", true, EMPTY_OR_INVALID);
    row("character device", true, EMPTY_OR_INVALID);
    row("dangling symlink", true, EMPTY_OR_INVALID);
    row("symlink loop", true, EMPTY_OR_INVALID);
    row("symlink to a fifo", true, EMPTY_OR_INVALID);
    row("unix socket", true, EMPTY_OR_INVALID);
    row("empty file", true, EMPTY_OR_INVALID);
    row("path longer than PATH_MAX", false, EMPTY_OR_INVALID);
    row("component longer than NAME_MAX", false, EMPTY_OR_INVALID);
    row("sparse file of 2^31 bytes", true, "Tessary|Failed to allocate 2147483648 bytes of memory");
}

void TestHostileFiles::refusedLoadKeepsThePreviousFile() {
    QFETCH(QString, kind);
    QFETCH(bool, throughRequester);
    QFETCH(std::string, message);
    LoadGoodFile();
    const std::string path = MakeHostile(kind);
    QVERIFY(!path.empty());
    ModalAnswers answers;
    if (throughRequester) {
        answers.ChooseFile(path).Acknowledge();
        QVERIFY(TriggerMenu("Load"));
        RunPendingTurns();
        QCOMPARE(answers.requesterTitles(), std::vector<std::string>{"Load File"});
    } else {
        answers.Acknowledge();
        LoadNamedFile(path);
    }
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(MessagesSeen(answers), QString::fromStdString(message));
    CheckGoodFileShown();
}

void TestHostileFiles::fileShorterThanItsSizeKeepsThePreviousFile() {
    if (QueryFileSize(SHORTER_THAN_ITS_SIZE) <= 0) {
        QSKIP("this system has no file that reports more bytes than it holds");
    }
    LoadGoodFile();
    ModalAnswers answers;
    answers.ChooseFile(SHORTER_THAN_ITS_SIZE).Acknowledge();
    QVERIFY(TriggerMenu("Load"));
    RunPendingTurns();
    QCOMPARE(answers.pending(), 0);
    // Zeros in place of the missing bytes would be saved over the file as if they were its own.
    QCOMPARE(MessagesSeen(answers), QString::fromStdString(OPEN_FAILED));
    CheckGoodFileShown();
}

void TestHostileFiles::fileChangesBetweenSizeQueryAndOpen_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<ReadOutcome>("outcome");
    QTest::addColumn<std::string>("bytesRead");
    const std::string grown = std::string(100, 'g') + std::string(4900, 'h');
    QTest::newRow("removed") << "remove" << ReadOutcome::OpenFailed << std::string();
    QTest::newRow("replaced by a fifo, which must not block")
        << "fifo" << ReadOutcome::OpenFailed << std::string();
    QTest::newRow("replaced by a directory")
        << "directory" << ReadOutcome::OpenFailed << std::string();
    QTest::newRow("replaced by a link to /dev/zero")
        << "device" << ReadOutcome::OpenFailed << std::string();
    QTest::newRow("replaced by a dangling link")
        << "dangling" << ReadOutcome::OpenFailed << std::string();
    QTest::newRow("truncated to nothing") << "empty" << ReadOutcome::Empty << std::string();
    QTest::newRow("shrunk to 5 bytes") << "shrink" << ReadOutcome::Loaded << std::string(5, 'g');
    QTest::newRow("grown to 5000 bytes") << "grow" << ReadOutcome::Loaded << grown;
    QTest::newRow("grown past the largest size")
        << "huge" << ReadOutcome::TooLarge << std::string();
}

void TestHostileFiles::fileChangesBetweenSizeQueryAndOpen() {
    QFETCH(QString, change);
    QFETCH(ReadOutcome, outcome);
    QFETCH(std::string, bytesRead);
    const std::string path = path_ + "/changing.bin";
    QVERIFY(WriteToDisk(path, std::string(100, 'g')));
    QCOMPARE(QueryFileSize(path), int64_t{100});
    if (change != "shrink" && change != "grow" && change != "empty" && change != "huge") {
        QCOMPARE(unlink(path.c_str()), 0);
    }
    if (change == "fifo") {
        QCOMPARE(mkfifo(path.c_str(), 0644), 0);
    } else if (change == "directory") {
        QCOMPARE(mkdir(path.c_str(), 0755), 0);
    } else if (change == "device") {
        QCOMPARE(symlink("/dev/zero", path.c_str()), 0);
    } else if (change == "dangling") {
        QCOMPARE(symlink("gone", path.c_str()), 0);
    } else if (change == "empty" || change == "shrink") {
        QCOMPARE(truncate(path.c_str(), change == "empty" ? 0 : 5), 0);
    } else if (change == "grow") {
        QVERIFY(WriteToDisk(path, bytesRead));
    } else if (change == "huge") {
        QCOMPARE(truncate(path.c_str(), LARGEST_SIZE + 1), 0);
    }
    const ReadResult read = ReadWholeFile(path);
    QCOMPARE(read.outcome, outcome);
    const std::string got(reinterpret_cast<const char*>(read.bytes.data()),
                          static_cast<std::size_t>(read.bytes.size()));
    QCOMPARE(got, bytesRead);
    if (outcome == ReadOutcome::Loaded) {
        QCOMPARE(read.size, static_cast<int64_t>(bytesRead.size()));
    }
}

void TestHostileFiles::largestFileLoadsAndShowsItsLastByte() {
    const std::string path = path_ + "/largest.bin";
    MakeSparseFile(path, LARGEST_SIZE, 'A', 'Z');
    ModalAnswers answers;
    QVERIFY(OpenTestWindow());
    answers.ChooseFile(path);
    QVERIFY(TriggerMenu("Load"));
    RunPendingTurns();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(MessagesSeen(answers), QString());
    QCOMPARE(FileState.FileSize, LARGEST_SIZE);
    QCOMPARE(Shown(Control::PointerLabel), QByteArray("File Pointer (1 of 2147483647 Bytes)"));
    QCOMPARE(Shown(Control::DecField), QByteArray("65"));

    // The user drags the scroll bar's thumb to its end, then nudges to the right end of the file.
    auto* slider = FindWidget<QScrollBar>("PointerSlider");
    QCOMPARE(slider->maximum(), static_cast<int>(LARGEST_SIZE - 30));
    const QPoint thumb = ScrollBarPartCentre(slider, QStyle::SC_ScrollBarSlider);
    const QPoint beyondTheEnd(slider->width() + 100, thumb.y());
    QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(slider, beyondTheEnd);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, beyondTheEnd);
    RunPendingTurns();
    QCOMPARE(Pointer.FilePointer, LARGEST_SIZE - 30);
    auto* nudge = FindWidget<QSlider>("NudgeBar");
    nudge->setFocus();
    QTest::keyClick(nudge, Qt::Key_Home);
    RunPendingTurns();

    QCOMPARE(Pointer.FilePointer, LARGEST_SIZE);
    QCOMPARE(Shown(Control::PointerLabel),
             QByteArray("File Pointer (2147483647 of 2147483647 Bytes)"));
    QCOMPARE(Shown(Control::ByteStrip), QByteArray(31, '.') + "Z" + QByteArray(32, ' '));
    QCOMPARE(Shown(Control::PreviewText), QByteArray("Z"));
    QCOMPARE(Shown(Control::DecField), QByteArray("90"));
    QCOMPARE(Shown(Control::Int16Field), QByteArray()); // would need a byte past the end
}

void TestHostileFiles::awkwardNamesLoadAndSaveUnderTheirOwnName_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("route");
    QTest::addColumn<QByteArray>("shownName");
    const auto row = [](const char* description, const QByteArray& name, const char* route,
                        const QByteArray& shown) {
        QTest::newRow(description) << name << QString(route) << shown;
    };
    row("blanks on the command line", "my  file name.bin", "command line", "my  file name.bin");
    row("blanks in double quotes on the command line", "\"my file.bin\"", "quoted", "my file.bin");
    row("blanks through the requester", "my  file name.bin", "requester", "my  file name.bin");
    // The requester reads double quotes in a typed name as quotes around several names.
    row("double quotes, as the requester's answer", "say \"hi\".bin", "answer", "say \"hi\".bin");
    row("single quote and backslash", "it's a\\b.bin", "command line", "it's a\\b.bin");
    row("bytes that are not UTF-8", "caf\xe9 \xff.bin", "command line", "caf? ?.bin");
    row("UTF-8 letters",
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x82\xac.bin",
        "requester",
        "Gr\xfc\xdf"
        "e \x80.bin");
    row("Cyrillic and Greek letters", "\xd0\xa4\xd0\xb0\xd0\xb9\xd0\xbb \xce\xa9.bin",
        "command line", "???? ?.bin");
    row("newline inside", "two\nlines.bin", "command line", "two\nlines.bin");
    row("leading dash, relative to the current folder", "-rf.bin", "relative", "-rf.bin");
    row("leading dash through the requester", "--help.bin", "requester", "--help.bin");
    row("longest path, 255-byte file name", "255", "longest", "");
    row("longest path, 1-byte file name", "1", "longest", "");
}

void TestHostileFiles::awkwardNamesLoadAndSaveUnderTheirOwnName() {
    QFETCH(QByteArray, name);
    QFETCH(QString, route);
    QFETCH(QByteArray, shownName);
    const std::string bare = name.toStdString();
    std::string path = path_ + "/" + (route == "quoted" ? shownName.toStdString() : bare);
    if (route == "longest") {
        path = PathOfLength(path_, PATH_MAX - 1, static_cast<std::size_t>(name.toInt()));
        QCOMPARE(path.size(), std::size_t{PATH_MAX - 1});
    }
    const QByteArray original = "The bytes of a file with an awkward name.";
    QVERIFY(WriteToDisk(path, original));

    const QString previousFolder = QDir::currentPath();
    ModalAnswers answers;
    if (route == "requester") {
        QVERIFY(OpenTestWindow());
        answers.ChooseFile(path);
        QVERIFY(TriggerMenu("Load"));
        RunPendingTurns();
    } else if (route == "answer") {
        QVERIFY(OpenTestWindow());
        LoadNamedFile(path);
    } else if (route == "relative") {
        QVERIFY(QDir::setCurrent(folder_.path()));
        QVERIFY(OpenTestWindow({bare}));
    } else if (route == "quoted") {
        QVERIFY(OpenTestWindow({"\"" + path + "\""}));
    } else {
        QVERIFY(OpenTestWindow({path}));
    }
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(MessagesSeen(answers), QString());
    QCOMPARE(FileState.FileSize, static_cast<int64_t>(original.size()));
    if (route != "longest") {
        const std::string folder = route == "relative" ? "" : path_ + "/";
        QCOMPARE(Shown(Control::FileNameLabel),
                 "Inspected File: " + QByteArray::fromStdString(folder) + shownName);
        // The window itself shows the name as the file system's encoding reads it.
        const QByteArray fileName = route == "quoted" ? shownName : name;
        QCOMPARE(FindWidget<QLabel>("FileNameLabel")->text(),
                 "Inspected File: " +
                     QFile::decodeName(QByteArray::fromStdString(folder) + fileName));
    }

    // Patch the first byte through the panel, save, and find the patch under the same name.
    PatchByteAtPointer("116"); // 't'
    QVERIFY(TriggerMenu("Save"));
    RunPendingTurns();
    QDir::setCurrent(previousFolder);
    QCOMPARE(MessagesSeen(answers), QString());
    QCOMPARE(ReadFromDisk(path), "t" + original.mid(1));
    // Nothing was written under another spelling of the name.
    std::vector<std::string> expected = {"good.bin"};
    if (route != "longest") {
        expected.push_back(route == "quoted" ? shownName.toStdString() : bare);
    }
    std::sort(expected.begin(), expected.end());
    QCOMPARE(FilesIn(path_), expected);
}

QTEST_MAIN(TestHostileFiles)
#include "tst_hostile_files.moc"
