// Saves that cannot complete: a full disk, a file size limit, targets and folders that may not be
// written, targets that changed kind since the load, pipes and devices, and a process killed in
// the middle of a save. Wherever a save did not complete the user sees "Unable to Save File",
// and the target holds either its old bytes or the new ones, never a mixture.
//
// Permission bits do not stop root, so when the suite runs as root the saves that must be refused
// for lack of rights run as user and group 65534 for their duration. A small disk is a tmpfs
// mounted in a mount namespace of this process alone; where that is not permitted, those rows
// say so and the file size limit and /dev/full rows still cover a write that runs out of room.
#include "support/window_test.h"

#include "core/file_io.h"
#include "core/file_save.h"
#include "program/load_save.h"
#include "program/state/file_state.h"
#include "support/file_systems.h"
#include "support/test_files.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <dlfcn.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Set in the child of the killed-save test: its first write of the save stops the child there,
// after it has said so, until it is killed.
bool stopAfterFirstWrite = false;

} // namespace

extern "C" ssize_t pwrite(int descriptor, const void* buffer, size_t count, off_t offset) {
    using WriteFunction = ssize_t (*)(int, const void*, size_t, off_t);
    static const auto realWrite = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "pwrite"));
    if (!stopAfterFirstWrite) {
        return realWrite(descriptor, buffer, count, offset);
    }
    // A part of the bytes, so that the save is left with more to write.
    const bool wrote = realWrite(descriptor, buffer, std::min<size_t>(count, 1 << 20), offset) > 0;
    std::fputs(wrote ? "mid-write\n" : "first write failed\n", stdout);
    std::fflush(stdout);
    for (;;) {
        pause();
    }
}

namespace {

const char* const SAVE_CHILD = "--save-child";
const char* const STOP_MID_WRITE = "--stop-mid-write";
const QString SAVE_FAILED = "Tessary|Unable to Save File";
bool privateMounts = false;

// The child process of the killed-save test: loads `source` and saves it over `target` as the
// program does, after telling the parent on standard output that the save begins.
int RunSaveChild(const char* source, const char* target, bool stopMidWrite) {
    const ReadResult read = ReadWholeFile(source);
    if (read.outcome != ReadOutcome::Loaded) {
        return 2;
    }
    std::fputs("saving\n", stdout);
    std::fflush(stdout);
    stopAfterFirstWrite = stopMidWrite;
    return WriteWholeFile(target, read.bytes.data(), read.size, WriteMode::Replace).saved() ? 0 : 1;
}

// Whether files in `folder` can be made without a name (O_TMPFILE); only there can a save that
// was killed leave nothing behind.
bool HasUnnamedFiles(const std::string& folder) {
    const int descriptor = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    return descriptor >= 0 && close(descriptor) == 0;
}

// Chooses File > Save as an ordinary user (nobody when the tests run as root), for whom
// permission bits count. False when the rights could not be dropped or the menu is missing.
bool SaveWithoutPrivileges() {
    UnprivilegedScope unprivileged;
    if (!unprivileged.ok() || !TriggerMenu("Save")) {
        return false;
    }
    RunPendingTurns();
    return true;
}

} // namespace

class TestFailingSaves : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void saveFails_data();
    void saveFails();
    void readOnlyFolderStillSavesAnExistingFile();
    void killedSaveLeavesOldOrNewBytes();

  private:
    // Loads `path` at start-up and patches its first byte to 't', so that a save has news.
    void LoadAndPatch(const std::string& path);
    // Mounts a tmpfs of `bytes` bytes on a new folder; empty when that is not permitted.
    std::string MountSmallDisk(const char* name, const char* bytes);

    QTemporaryDir folder_;
    std::string path_;
    std::vector<std::string> mounts_;
};

void TestFailingSaves::init() {
    QVERIFY(folder_.isValid());
    path_ = Native(folder_.path());
    // User 65534 must reach the files that the unprivileged rows work on.
    QCOMPARE(chmod(path_.c_str(), 0755), 0);
}

void TestFailingSaves::cleanup() {
    CloseTestWindow();
    for (const std::string& mounted : mounts_) {
        umount2(mounted.c_str(), MNT_DETACH);
    }
    mounts_.clear();
    QProcess::execute("chmod", {"-R", "u+rwx", folder_.path()});
    QDir(folder_.path()).removeRecursively();
    QDir().mkpath(folder_.path());
}

std::string TestFailingSaves::MountSmallDisk(const char* name, const char* bytes) {
    const std::string mountPoint = path_ + "/" + name;
    if (!privateMounts || mkdir(mountPoint.c_str(), 0755) != 0) {
        return {};
    }
    const std::string options = std::string("size=") + bytes + ",mode=0777";
    if (mount("tessary-test", mountPoint.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        return {};
    }
    mounts_.push_back(mountPoint);
    return mountPoint;
}

void TestFailingSaves::LoadAndPatch(const std::string& path) {
    ModalAnswers answers;
    QVERIFY(OpenTestWindow({path}));
    QCOMPARE(MessagesSeen(answers), QString());
    QVERIFY(FileState.FileSize > 0);
    PatchByteAtPointer("116");
    QCOMPARE(FileState.FileBuffer.data()[0], uint8_t{'t'});
}

void TestFailingSaves::saveFails_data() {
    QTest::addColumn<QString>("situation");
    // What the target holds afterwards: "old" its bytes from before the save, "none" nothing
    // at all, "" not a file whose bytes could be compared.
    QTest::addColumn<QString>("targetAfter");
    QTest::addColumn<int>("fileSize");
    const auto row = [](const char* situation, const char* targetAfter, int fileSize) {
        QTest::newRow(situation) << QString(situation) << QString(targetAfter) << fileSize;
    };
    // 64 KiB hold a 40000-byte file once, but not a second copy beside it, nor 100000 bytes.
    row("full disk, existing file", "old", 40000);
    row("full disk, new file through Save As", "none", 100000);
    row("file size limit reached while writing", "old", 40000);
    row("device that is always full, through Save As", "", 40000);
    // Small enough to fit the pipe's buffer, which would take the bytes and lose them.
    row("fifo that nobody reads, through Save As", "", 1000);
    row("target made read-only after the load", "old", 40000);
    row("target replaced by a folder after the load", "", 40000);
    // The file the link leads to is writable and holds the loaded bytes: only the load's record
    // that the name was no link stops the save.
    row("target replaced by a link to another file after the load", "old", 40000);
    row("folder removed after the load", "none", 40000);
    row("new file in a folder that cannot be written, through Save As", "none", 40000);
}

void TestFailingSaves::saveFails() {
    QFETCH(QString, situation);
    QFETCH(QString, targetAfter);
    QFETCH(int, fileSize);
    const bool saveAs = situation.endsWith("through Save As");
    const QByteArray original = RandomBytes(fileSize, 7);
    std::string folder = path_ + "/files";
    QCOMPARE(mkdir(folder.c_str(), 0777), 0);
    QCOMPARE(chmod(folder.c_str(), 0777), 0); // user 65534 may make temporaries here
    if (situation.startsWith("full disk")) {
        folder = MountSmallDisk("disk", "64k");
        if (folder.empty()) {
            QSKIP("no tmpfs can be mounted here (needs root with CAP_SYS_ADMIN); the file size "
                  "limit and /dev/full rows cover a write that runs out of room");
        }
    }
    const std::string loaded = (saveAs ? path_ : folder) + "/loaded.bin";
    QVERIFY(WriteToDisk(loaded, original));
    QCOMPARE(chmod(loaded.c_str(), 0666), 0);
    if (situation == "full disk, existing file") {
        // The saving user's own file, so that the save writes a copy beside it, for which the
        // disk has no room; a file of another user is written in place.
        QCOMPARE(chown(loaded.c_str(), NOBODY, NOGROUP), 0);
    }
    LoadAndPatch(loaded);

    std::string target = loaded;
    if (situation.startsWith("full disk, new file")) {
        target = folder + "/new.bin";
    } else if (situation.startsWith("device")) {
        target = "/dev/full";
    } else if (situation.startsWith("fifo")) {
        target = folder + "/fifo";
        QCOMPARE(mkfifo(target.c_str(), 0666), 0);
    } else if (situation.startsWith("target made read-only")) {
        QCOMPARE(chmod(target.c_str(), 0444), 0);
    } else if (situation.startsWith("target replaced by a folder")) {
        QCOMPARE(unlink(target.c_str()), 0);
        QCOMPARE(mkdir(target.c_str(), 0777), 0);
    } else if (situation.startsWith("target replaced by a link")) {
        const std::string other = folder + "/other.bin";
        QVERIFY(WriteToDisk(other, original));
        QCOMPARE(chmod(other.c_str(), 0666), 0);
        QCOMPARE(unlink(target.c_str()), 0);
        QCOMPARE(symlink(other.c_str(), target.c_str()), 0);
    } else if (situation.startsWith("folder removed")) {
        QCOMPARE(unlink(target.c_str()), 0);
        QCOMPARE(rmdir(folder.c_str()), 0);
    } else if (situation.startsWith("new file in a folder")) {
        target = folder + "/new.bin";
        QCOMPARE(chmod(folder.c_str(), 0555), 0);
    }
    const std::vector<std::string> filesBefore = FilesIn(folder);

    ModalAnswers answers;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (situation.startsWith("file size limit")) {
            limit = std::make_unique<FileSizeLimit>(16384);
        }
        UnprivilegedScope unprivileged;
        QVERIFY(unprivileged.ok());
        if (saveAs) {
            answers.ChooseFile(target).Acknowledge();
            QVERIFY(TriggerMenu("Save As"));
        } else {
            answers.Acknowledge();
            QVERIFY(TriggerMenu("Save"));
        }
        RunPendingTurns();
    }
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(MessagesSeen(answers), SAVE_FAILED);
    // Whatever was there is there still, and no temporary file is left beside it.
    QCOMPARE(FilesIn(folder), filesBefore);
    if (targetAfter == "old") {
        QVERIFY(ReadFromDisk(target) == original);
    } else if (targetAfter == "none") {
        QVERIFY(access(target.c_str(), F_OK) != 0);
    }

    // With the fault taken away the same Save goes through, so the fault was what stopped it.
    bool undone = true;
    if (situation.startsWith("full disk")) {
        undone = mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT, "size=1m,mode=0777") == 0;
    } else if (situation.startsWith("fifo") || situation.startsWith("target replaced")) {
        undone = remove(target.c_str()) == 0;
    } else if (situation.startsWith("target made read-only")) {
        undone = chmod(target.c_str(), 0666) == 0;
    } else if (situation.startsWith("folder removed")) {
        undone = mkdir(folder.c_str(), 0777) == 0 && chmod(folder.c_str(), 0777) == 0;
    } else if (situation.startsWith("new file in a folder")) {
        undone = chmod(folder.c_str(), 0777) == 0;
    } else if (situation.startsWith("device")) {
        return; // /dev/full stays full
    }
    QVERIFY(undone);
    ModalAnswers again;
    QVERIFY(SaveWithoutPrivileges());
    QCOMPARE(MessagesSeen(again), QString());
    QVERIFY(ReadFromDisk(target) == "t" + original.mid(1));
}

void TestFailingSaves::readOnlyFolderStillSavesAnExistingFile() {
    const std::string folder = path_ + "/read-only";
    QCOMPARE(mkdir(folder.c_str(), 0755), 0);
    const std::string target = folder + "/writable.bin";
    QVERIFY(WriteToDisk(target, "a file in a folder that takes no new files"));
    QCOMPARE(chmod(target.c_str(), 0666), 0);
    QCOMPARE(chmod(folder.c_str(), 0555), 0);
    LoadAndPatch(target);
    ModalAnswers answers;
    QVERIFY(SaveWithoutPrivileges());
    QCOMPARE(MessagesSeen(answers), QString());
    QCOMPARE(ReadFromDisk(target), QByteArray("t file in a folder that takes no new files"));
    QCOMPARE(FilesIn(folder), std::vector<std::string>{"writable.bin"});
}

// Starts a child that saves `source` over `target`; returns once it has begun the save.
bool StartSaveChild(QProcess& child, const std::string& source, const std::string& target,
                    bool stopMidWrite = false) {
    QStringList arguments = {SAVE_CHILD, QString::fromStdString(source),
                             QString::fromStdString(target)};
    if (stopMidWrite) {
        arguments << STOP_MID_WRITE;
    }
    child.start(QCoreApplication::applicationFilePath(), arguments);
    return child.waitForStarted() && child.waitForReadyRead(60000) &&
           child.readLine() == "saving\n";
}

void TestFailingSaves::killedSaveLeavesOldOrNewBytes() {
    // Sizes differ, so that a target cut short or run long shows as well as mixed bytes.
    const QByteArray oldBytes = RandomBytes(48 << 20, 1);
    const QByteArray newBytes = RandomBytes(64 << 20, 2);
    const std::string source = path_ + "/source.bin";
    const std::string target = path_ + "/target.bin";
    QVERIFY(WriteToDisk(source, newBytes));

    // A kill that lands for certain between the first and the last write of the copy: the child
    // stops after its first write and says so. The target keeps its old bytes, and the unfinished
    // copy, which has no name yet, goes with the process.
    QVERIFY(WriteToDisk(target, oldBytes));
    QProcess stopped;
    QVERIFY(StartSaveChild(stopped, source, target, true));
    while (!stopped.canReadLine() && stopped.waitForReadyRead(60000)) {
    }
    QCOMPARE(stopped.readLine(), QByteArray("mid-write\n"));
    stopped.kill();
    QVERIFY(stopped.waitForFinished(120000));
    QCOMPARE(stopped.exitStatus(), QProcess::CrashExit);
    QVERIFY(ReadFromDisk(target) == oldBytes);
    if (HasUnnamedFiles(path_)) {
        QCOMPARE(FilesIn(path_), (std::vector<std::string>{"source.bin", "target.bin"}));
    }

    // One save that runs to its end tells how long a save takes here; the kills are then spread
    // over that time, from the first write to past the rename.
    QProcess whole;
    QElapsedTimer clock;
    QVERIFY(StartSaveChild(whole, source, target));
    clock.start();
    QVERIFY(whole.waitForFinished(120000));
    const qint64 saveMicroseconds = clock.nsecsElapsed() / 1000;
    QCOMPARE(whole.exitStatus(), QProcess::NormalExit);
    QCOMPARE(whole.exitCode(), 0);
    QVERIFY(ReadFromDisk(target) == newBytes);

    int oldSeen = 0;
    int newSeen = 0;
    int temporariesLeft = 0;
    constexpr int KILLS = 12;
    for (int kill = 0; kill < KILLS; ++kill) {
        QVERIFY(WriteToDisk(target, oldBytes));
        QProcess child;
        QVERIFY(StartSaveChild(child, source, target));
        usleep(static_cast<useconds_t>(saveMicroseconds * kill / (KILLS - 2)));
        child.kill();
        QVERIFY(child.waitForFinished(120000));
        const QByteArray found = ReadFromDisk(target);
        const bool isOld = found == oldBytes;
        const bool isNew = found == newBytes;
        QVERIFY2(isOld || isNew, qPrintable(QString("kill %1 of %2: the target holds %3 bytes of "
                                                    "neither version")
                                                .arg(kill)
                                                .arg(KILLS)
                                                .arg(found.size())));
        oldSeen += isOld ? 1 : 0;
        newSeen += isNew ? 1 : 0;
        for (const std::string& name : FilesIn(path_)) {
            if (name != "source.bin" && name != "target.bin") {
                ++temporariesLeft;
                unlink((path_ + "/" + name).c_str());
            }
        }
    }
    qInfo("a save took %lld us; of %d killed saves %d left the old bytes and %d the new; "
          "%d left a temporary file behind",
          static_cast<long long>(saveMicroseconds), KILLS, oldSeen, newSeen, temporariesLeft);
}

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], SAVE_CHILD) == 0) {
        return RunSaveChild(argv[2], argv[3],
                            argc == 5 && std::strcmp(argv[4], STOP_MID_WRITE) == 0);
    }
    privateMounts = EnterPrivateMountNamespace();
    QApplication application(argc, argv);
    TestFailingSaves test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_failing_saves.moc"
