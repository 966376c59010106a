// Reading whole files and writing them back, on real files in a temporary folder: sizes by name,
// reads that never come back short, and saves that leave the target old or new, never mixed.
#include "core/file_io.h"
#include "core/file_save.h"
#include "support/file_systems.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <QMap>
#include <QProcess>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// A file to cut short between the moment the reader takes its size and its first read, as
// another process could. Set by a test; every other read passes straight through.
struct ShrinkOnFirstRead {
    QByteArray path;
    off_t newSize = -1;
    int times = 0;
} shrink;

} // namespace

extern "C" ssize_t read(int descriptor, void* buffer, size_t count) {
    using ReadFunction = ssize_t (*)(int, void*, size_t);
    static const auto realRead = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    if (shrink.newSize >= 0) {
        struct stat opened {};
        struct stat named {};
        if (fstat(descriptor, &opened) == 0 && stat(shrink.path.constData(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino &&
            truncate(shrink.path.constData(), shrink.newSize) == 0) {
            shrink.newSize = -1;
            ++shrink.times;
        }
    }
    return realRead(descriptor, buffer, count);
}

namespace {

struct stat StatusOf(const QString& path) {
    struct stat status {};
    lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

SaveResult SaveWith(const QString& path, const QByteArray& content,
                    const std::optional<FileIdentity>& loaded) {
    return WriteWholeFile(Native(path), reinterpret_cast<const uint8_t*>(content.constData()),
                          content.size(), WriteMode::Replace, loaded);
}

bool Save(const QString& path, const QByteArray& content, WriteMode mode = WriteMode::Replace) {
    return WriteWholeFile(Native(path), reinterpret_cast<const uint8_t*>(content.constData()),
                          content.size(), mode)
        .saved();
}

// Blocks free for root on the file system that holds `path`.
qint64 FreeBlocks(const QString& path) {
    struct statvfs disk {};
    return statvfs(QFile::encodeName(path).constData(), &disk) == 0
               ? static_cast<qint64>(disk.f_bfree)
               : -1;
}

// Fills the file system that holds `folder` with one file until `leftBytes` are free.
bool FillDiskUpTo(const QString& folder, qint64 leftBytes) {
    struct statvfs disk {};
    if (statvfs(QFile::encodeName(folder).constData(), &disk) != 0) {
        return false;
    }
    const qint64 fill = static_cast<qint64>(disk.f_bfree * disk.f_frsize) - leftBytes;
    QFile filler(folder + "/filler");
    return fill > 0 && filler.open(QIODevice::WriteOnly) &&
           posix_fallocate(filler.handle(), 0, fill) == 0;
}

// Sets or clears the append-only flag of a folder (chattr +a, -a).
bool SetAppendOnly(const QString& folder, bool on) {
    QFile opened(folder);
    const int descriptor = open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    const bool done =
        descriptor >= 0 && ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0 &&
        ioctl(descriptor, FS_IOC_SETFLAGS,
              on ? (flags |= FS_APPEND_FL, &flags) : (flags &= ~FS_APPEND_FL, &flags)) == 0;
    if (descriptor >= 0) {
        close(descriptor);
    }
    return done;
}

// A descriptor limit under which exactly `free` more descriptors can be opened.
rlim_t LimitLeaving(int free) {
    std::vector<bool> open;
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr) {
        return 0;
    }
    while (const dirent* entry = readdir(listing)) {
        const int descriptor = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && descriptor != dirfd(listing)) {
            open.resize(std::max<std::size_t>(open.size(), descriptor + 1));
            open[static_cast<std::size_t>(descriptor)] = true;
        }
    }
    closedir(listing);
    rlim_t limit = 0;
    for (int left = free; left > 0 || (limit < open.size() && open[limit]); ++limit) {
        if (limit >= open.size() || !open[limit]) {
            --left;
        }
    }
    return limit;
}

FileSystemType FileSystemNamed(const QString& name) {
    return name == "ext2"    ? FileSystemType::Ext2
           : name == "ext4"  ? FileSystemType::Ext4
           : name == "tmpfs" ? FileSystemType::Tmpfs
                             : FileSystemType::FuseFat;
}

QByteArray BytesRead(const ReadResult& result) {
    return QByteArray(reinterpret_cast<const char*>(result.bytes.data()),
                      static_cast<qsizetype>(result.bytes.size()));
}

// The entries of a folder other than the expected ones: a temporary file left behind shows here.
QStringList Leftovers(const QString& folder, const QStringList& expected) {
    QStringList found = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    for (const QString& name : expected) {
        found.removeAll(name);
    }
    return found;
}

using AttributeMap = QMap<QByteArray, QByteArray>;

// Every extended attribute of a file that the test can see, by name, through links.
AttributeMap AttributesOf(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    AttributeMap attributes;
    QByteArray names(static_cast<qsizetype>(std::max<ssize_t>(listxattr(name, nullptr, 0), 0)),
                     '\0');
    names.truncate(std::max<ssize_t>(listxattr(name, names.data(), names.size()), 0));
    for (const QByteArray& attribute : names.split('\0')) {
        if (attribute.isEmpty()) {
            continue;
        }
        QByteArray value(std::max<ssize_t>(getxattr(name, attribute, nullptr, 0), 0), '\0');
        value.truncate(std::max<ssize_t>(getxattr(name, attribute, value.data(), value.size()), 0));
        attributes.insert(attribute, value);
    }
    return attributes;
}

QByteArray LittleEndian(std::initializer_list<quint32> words) {
    QByteArray bytes;
    for (const quint32 word : words) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.append(static_cast<char>((word >> shift) & 0xff));
        }
    }
    return bytes;
}

// The value of security.capability that `setcap cap_net_raw+ep` writes.
QByteArray NetRawCapability() {
    return LittleEndian({VFS_CAP_REVISION_2 | VFS_CAP_FLAGS_EFFECTIVE, 1U << CAP_NET_RAW, 0, 0, 0});
}

// The value of system.posix_acl_access for user::rw- user:1:r-- group::r-- mask::r-- other::---:
// a version word, then each entry's tag and permissions in one word and its user or group.
QByteArray AclThatNamesUser1() {
    constexpr quint32 ANY = 0xffffffff;
    return LittleEndian({2, 0x01 | 6 << 16, ANY, 0x02 | 4 << 16, 1, 0x04 | 4 << 16, ANY,
                         0x10 | 4 << 16, ANY, 0x20, ANY});
}

} // namespace

class TestFileIo : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void querySize_data();
    void querySize();

    void readRoundTrip_data();
    void readRoundTrip();
    void readRefusals_data();
    void readRefusals();
    void readOfAFileThatShrinks_data();
    void readOfAFileThatShrinks();
    void unreadableFileFailsToOpen();
    void reportedWork_data();
    void reportedWork();

    void replaceExisting_data();
    void replaceExisting();
    void newFileTakesTheUmask_data();
    void newFileTakesTheUmask();
    void rootKeepsTheOwner();
    void createIfMissing();
    void throughSymbolicLinks_data();
    void throughSymbolicLinks();
    void lockedFolder_data();
    void lockedFolder();
    void refusedWrites_data();
    void refusedWrites();
    void failedWriteKeepsTheOldContent();
    void fullDiskRefusesAnInPlaceSaveBeforeWriting();
    void saveKeepsWhatTheFileCarries_data();
    void saveKeepsWhatTheFileCarries();
    void refusedSavesWriteNothing_data();
    void refusedSavesWriteNothing();
    void scarceDescriptorsNeverSendTheSaveInPlace();

  private:
    [[nodiscard]] QString At(const QString& name) const {
        return name.isEmpty() || name.startsWith('/') ? name : fixtures_.filePath(name);
    }

    QTemporaryDir fixtures_;
};

void TestFileIo::initTestCase() {
    QVERIFY(fixtures_.isValid());
    const QByteArray root = QFile::encodeName(fixtures_.path()) + "/";
    QVERIFY(WriteToDisk(At("empty"), {}));
    QVERIFY(WriteToDisk(At("sized"), RandomBytes(1234, 1)));
    QVERIFY(QDir(fixtures_.path()).mkdir("folder"));
    QCOMPARE(mkfifo(root + "fifo", 0600), 0);
    QCOMPARE(symlink(root + "nowhere", root + "dangling"), 0);
    QCOMPARE(symlink("sized", root + "link-to-sized"), 0);
    QCOMPARE(symlink(root + "folder", root + "link-to-folder"), 0);
    for (const auto& [name, size] : {std::pair{"sparse-3000000000", 3000000000LL},
                                     std::pair{"sparse-2147483648", 2147483648LL}}) {
        QFile sparse(At(name));
        QVERIFY(sparse.open(QIODevice::WriteOnly));
        QCOMPARE(ftruncate(sparse.handle(), size), 0);
    }
}

void TestFileIo::querySize_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");
    QTest::newRow("empty name") << "" << qint64(-1);
    QTest::newRow("missing file") << "missing" << qint64(-1);
    QTest::newRow("path through a file") << "sized/inner" << qint64(-1);
    QTest::newRow("dangling link") << "dangling" << qint64(-1);
    QTest::newRow("folder") << "folder" << qint64(-2);
    QTest::newRow("folder with a trailing slash") << "folder/" << qint64(-2);
    QTest::newRow("folder with trailing slashes") << "folder///" << qint64(-2);
    QTest::newRow("link to a folder") << "link-to-folder" << qint64(-2);
    QTest::newRow("root folder") << "/" << qint64(-2);
    QTest::newRow("empty file") << "empty" << qint64(0);
    QTest::newRow("FIFO has no size to read") << "fifo" << qint64(0);
    QTest::newRow("device has no size to read") << "/dev/zero" << qint64(0);
    QTest::newRow("file of 1234 bytes") << "sized" << qint64(1234);
    QTest::newRow("link to a file of 1234 bytes") << "link-to-sized" << qint64(1234);
    QTest::newRow("sparse file above the limit") << "sparse-3000000000" << qint64(3000000000);
}

void TestFileIo::querySize() {
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QCOMPARE(qint64(QueryFileSize(Native(At(name)))), size);
}

void TestFileIo::readRoundTrip_data() {
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("one byte") << qsizetype(1);
    QTest::newRow("4097 bytes") << qsizetype(4097);
    QTest::newRow("3 MiB + 3 bytes, from the kernel's pages") << qsizetype((3 << 20) + 3);
}

void TestFileIo::readRoundTrip() {
    QFETCH(qsizetype, size);
    QTemporaryDir work;
    const QByteArray content = RandomBytes(size, static_cast<quint32>(size));
    const QString path = work.filePath("round-trip.bin");
    QVERIFY(WriteToDisk(path, content));
    const ReadResult result = ReadWholeFile(Native(path));
    QCOMPARE(result.outcome, ReadOutcome::Loaded);
    QCOMPARE(result.size, qint64(size));
    QVERIFY(BytesRead(result) == content);
}

void TestFileIo::readRefusals_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<ReadOutcome>("outcome");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("error");
    QTest::newRow("missing file") << "missing" << ReadOutcome::OpenFailed << qint64(0) << ENOENT;
    QTest::newRow("folder") << "folder" << ReadOutcome::OpenFailed << qint64(0) << EISDIR;
    QTest::newRow("FIFO without a writer, at once")
        << "fifo" << ReadOutcome::OpenFailed << qint64(0) << EINVAL;
    QTest::newRow("endless device")
        << "/dev/zero" << ReadOutcome::OpenFailed << qint64(0) << EINVAL;
    QTest::newRow("empty file") << "empty" << ReadOutcome::Empty << qint64(0) << 0;
    QTest::newRow("2^31 bytes, one above the limit")
        << "sparse-2147483648" << ReadOutcome::TooLarge << qint64(2147483648) << EFBIG;
    QTest::newRow("3000000000 bytes")
        << "sparse-3000000000" << ReadOutcome::TooLarge << qint64(3000000000) << EFBIG;
    // The kernel gives such a file the size of a page and then delivers a few bytes.
    QTest::newRow("file that delivers fewer bytes than its size")
        << "/sys/devices/system/cpu/online" << ReadOutcome::ReadFailed << qint64(4096) << ENODATA;
}

void TestFileIo::readRefusals() {
    QFETCH(QString, name);
    if (name.startsWith("/sys/") && QueryFileSize(Native(name)) <= 0) {
        QSKIP("no file in /sys here that reports more bytes than it delivers");
    }
    const ReadResult result = ReadWholeFile(Native(At(name)));
    QTEST(result.outcome, "outcome");
    QTEST(result.error, "error");
    QFETCH(qint64, size);
    QCOMPARE(qint64(result.size), size);
    QCOMPARE(result.bytes.size(), qint64(0));
    QVERIFY(result.bytes.data() == nullptr);
}

void TestFileIo::readOfAFileThatShrinks_data() {
    QTest::addColumn<qint64>("newSize");
    QTest::newRow("emptied") << qint64(0);
    QTest::newRow("cut to half") << qint64(5000);
    QTest::newRow("one byte short") << qint64(9999);
}

void TestFileIo::readOfAFileThatShrinks() {
    QFETCH(qint64, newSize);
    QTemporaryDir work;
    const QString path = work.filePath("shrinking.bin");
    QVERIFY(WriteToDisk(path, QByteArray(10000, 'x')));
    shrink = ShrinkOnFirstRead{QFile::encodeName(path), static_cast<off_t>(newSize), 0};
    const ReadResult result = ReadWholeFile(Native(path));
    const int times = shrink.times;
    shrink = ShrinkOnFirstRead{};
    QCOMPARE(times, 1);
    QCOMPARE(ReadFromDisk(path).size(), qsizetype(newSize));
    // Never the bytes that were there padded with zeros.
    QCOMPARE(result.outcome, ReadOutcome::ReadFailed);
    QCOMPARE(result.bytes.size(), qint64(0));
}

void TestFileIo::unreadableFileFailsToOpen() {
    // Its size can be had from the folder, but not its bytes: root may read anything, so the
    // read runs in a child without that right.
    QTemporaryDir work;
    const QString path = work.filePath("unreadable.bin");
    QVERIFY(WriteToDisk(path, "secret"));
    QCOMPARE(chmod(QFile::encodeName(work.path()).constData(), 0755), 0);
    QCOMPARE(chmod(QFile::encodeName(path).constData(), 0), 0);
    QCOMPARE(RunUnprivileged([&] {
                 const ReadResult result = ReadWholeFile(Native(path));
                 return QueryFileSize(Native(path)) == 6 &&
                        result.outcome == ReadOutcome::OpenFailed && result.bytes.size() == 0;
             }),
             1);
}

void TestFileIo::reportedWork_data() {
    QTest::addColumn<QString>("work");
    QTest::addColumn<int>("cancelAt"); // the report, counted from 1, that asks to stop; 0 none
    QTest::addColumn<bool>("completed");
    QTest::addColumn<int>("reports");
    // Two and a half chunks and a byte: reports after each of the two chunks and at the end.
    QTest::newRow("read, not cancelled") << "read" << 0 << true << 3;
    QTest::newRow("read cancelled after the first chunk") << "read" << 1 << false << 1;
    QTest::newRow("read cancelled after the last chunk") << "read" << 3 << false << 3;
    QTest::newRow("save by rename, not cancelled") << "replace" << 0 << true << 3;
    QTest::newRow("save by rename cancelled after the first chunk") << "replace" << 1 << false << 1;
    QTest::newRow("save by rename cancelled after the last chunk") << "replace" << 3 << false << 3;
    QTest::newRow("save of a new file cancelled") << "new" << 2 << false << 2;
    // A second hard link sends the save in place: one report before the first byte, then one a
    // chunk that can no longer stop it.
    QTest::newRow("save in place cancelled before its first byte") << "in place" << 1 << false << 1;
    QTest::newRow("save in place goes on after its first byte") << "in place" << 2 << true << 4;
}

void TestFileIo::reportedWork() {
    QFETCH(QString, work);
    QFETCH(int, cancelAt);
    QFETCH(bool, completed);
    constexpr int64_t SIZE = 2 * PROGRESS_CHUNK_SIZE + PROGRESS_CHUNK_SIZE / 2 + 1;
    QTemporaryDir folder;
    const QString path = folder.filePath("target.bin");
    const QByteArray before = RandomBytes(SIZE - 1000, 5);
    const QByteArray after = RandomBytes(SIZE, 6);
    QStringList expected{"target.bin"};
    if (work != "new") {
        QVERIFY(WriteToDisk(path, before));
    }
    if (work == "in place") {
        QCOMPARE(link(QFile::encodeName(path).constData(),
                      QFile::encodeName(folder.filePath("second.bin")).constData()),
                 0);
        expected << "second.bin";
    }
    const ino_t inode = StatusOf(path).st_ino;
    int reports = 0;
    int64_t lastDone = -1;
    bool everUncancellable = false;
    bool orderly = true;
    const ProgressCallback progress = [&](int64_t done, int64_t total, bool cancellable) {
        ++reports;
        orderly = orderly && total == SIZE && done > lastDone && done <= total &&
                  !(cancellable && everUncancellable);
        everUncancellable = everUncancellable || !cancellable;
        lastDone = done;
        return reports != cancelAt;
    };
    if (work == "read") {
        QVERIFY(WriteToDisk(path, after));
        const ReadResult result = ReadWholeFile(Native(path), progress);
        QCOMPARE(result.outcome, completed ? ReadOutcome::Loaded : ReadOutcome::Cancelled);
        QCOMPARE(result.error, completed ? 0 : ECANCELED);
        QVERIFY(completed ? BytesRead(result) == after : result.bytes.data() == nullptr);
    } else {
        const SaveResult result =
            WriteWholeFile(Native(path), reinterpret_cast<const uint8_t*>(after.constData()),
                           after.size(), WriteMode::Replace, std::nullopt, progress);
        QCOMPARE(result.outcome, completed ? SaveOutcome::Saved : SaveOutcome::Cancelled);
        if (work == "new" && !completed) {
            expected.clear();
        } else {
            QVERIFY(ReadFromDisk(path) == (completed ? after : before));
        }
        if (!completed && work != "new") {
            QCOMPARE(StatusOf(path).st_ino, inode); // the target itself, untouched
        }
        QCOMPARE(Leftovers(folder.path(), expected), QStringList());
        QCOMPARE(everUncancellable, work == "in place" && completed);
    }
    QVERIFY(orderly);
    QTEST(reports, "reports");
}

void TestFileIo::replaceExisting_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("longer old content, mode 0600")
        << 0600 << QByteArray(10000, 'o') << RandomBytes(100, 2);
    QTest::newRow("shorter old content, mode 0755")
        << 0755 << QByteArray("old") << RandomBytes(5000, 3);
    QTest::newRow("same length, mode 0640") << 0640 << QByteArray(64, 'o') << RandomBytes(64, 4);
    QTest::newRow("no bytes empties the file, mode 0604")
        << 0604 << QByteArray(10, 'o') << QByteArray();
}

void TestFileIo::replaceExisting() {
    QFETCH(int, mode);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir work;
    const QString path = work.filePath("replaced.bin");
    QVERIFY(WriteToDisk(path, before));
    QCOMPARE(chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)), 0);
    const ino_t oldInode = StatusOf(path).st_ino;

    QVERIFY(Save(path, after));
    QVERIFY(ReadFromDisk(path) == after);
    QCOMPARE(static_cast<int>(StatusOf(path).st_mode & 07777), mode);
    // Written beside the target and renamed over it, so that a failure cannot leave it mixed.
    QVERIFY(StatusOf(path).st_ino != oldInode);
    QCOMPARE(Leftovers(work.path(), {"replaced.bin"}), QStringList());
}

void TestFileIo::newFileTakesTheUmask_data() {
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("mode");
    QTest::newRow("umask 022") << 022 << 0644;
    QTest::newRow("umask 027") << 027 << 0640;
    QTest::newRow("umask 0") << 0 << 0666;
}

void TestFileIo::newFileTakesTheUmask() {
    QFETCH(int, mask);
    QFETCH(int, mode);
    QTemporaryDir work;
    const QString path = work.filePath("new.bin");
    const mode_t previous = umask(static_cast<mode_t>(mask));
    const bool saved = Save(path, "new");
    umask(previous);
    QVERIFY(saved);
    QCOMPARE(ReadFromDisk(path), QByteArray("new"));
    QCOMPARE(static_cast<int>(StatusOf(path).st_mode & 07777), mode);
}

void TestFileIo::rootKeepsTheOwner() {
    if (geteuid() != 0) {
        QSKIP("only root can save a file that belongs to somebody else");
    }
    QTemporaryDir work;
    const QString path = work.filePath("owned.bin");
    QVERIFY(WriteToDisk(path, "theirs"));
    QCOMPARE(chown(QFile::encodeName(path).constData(), NOBODY, NOGROUP), 0);
    QVERIFY(Save(path, "patched"));
    QCOMPARE(ReadFromDisk(path), QByteArray("patched"));
    QCOMPARE(StatusOf(path).st_uid, NOBODY);
    QCOMPARE(StatusOf(path).st_gid, NOGROUP);
}

void TestFileIo::createIfMissing() {
    QTemporaryDir work;
    const QString existing = work.filePath("existing.bin");
    QVERIFY(WriteToDisk(existing, "keep me"));
    const struct stat before = StatusOf(existing);
    QVERIFY(Save(existing, "other", WriteMode::CreateIfMissing));
    QCOMPARE(ReadFromDisk(existing), QByteArray("keep me"));
    QCOMPARE(StatusOf(existing).st_ino, before.st_ino);

    const QString missing = work.filePath("created.bin");
    QVERIFY(WriteWholeFile(Native(missing), nullptr, 0, WriteMode::CreateIfMissing).saved());
    QVERIFY(QFile::exists(missing));
    QCOMPARE(ReadFromDisk(missing), QByteArray());
}

void TestFileIo::throughSymbolicLinks_data() {
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("relative");
    QTest::newRow("link to an existing file") << true << false;
    QTest::newRow("relative link to an existing file") << true << true;
    QTest::newRow("dangling link: its target is created") << false << false;
}

void TestFileIo::throughSymbolicLinks() {
    QFETCH(bool, targetExists);
    QFETCH(bool, relative);
    QTemporaryDir work;
    const QString target = work.filePath("target.bin");
    const QString link = work.filePath("link.bin");
    if (targetExists) {
        QVERIFY(WriteToDisk(target, QByteArray(300, 'o')));
    }
    const QByteArray pointsTo = relative ? QByteArray("target.bin") : QFile::encodeName(target);
    QCOMPARE(symlink(pointsTo.constData(), QFile::encodeName(link).constData()), 0);

    QVERIFY(Save(link, "through the link"));
    QVERIFY(S_ISLNK(StatusOf(link).st_mode));
    QCOMPARE(QFile::symLinkTarget(link), target);
    QCOMPARE(ReadFromDisk(target), QByteArray("through the link"));
}

void TestFileIo::lockedFolder_data() {
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<bool>("saved");
    QTest::newRow("writable file: written in place") << 0666 << true;
    QTest::newRow("file not writable either: left alone") << 0444 << false;
}

void TestFileIo::lockedFolder() {
    // A folder that takes no new file leaves no room for a temporary: the save then writes the
    // target in place. Root may write anywhere, so the save runs in a child without that right.
    QFETCH(int, fileMode);
    QFETCH(bool, saved);
    QTemporaryDir work;
    const QString folder = work.filePath("locked");
    const QString path = folder + "/inside.bin";
    QVERIFY(QDir(work.path()).mkdir("locked"));
    QVERIFY(WriteToDisk(path, QByteArray(10000, 'o')));
    QCOMPARE(chmod(QFile::encodeName(work.path()).constData(), 0755), 0);
    QCOMPARE(chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(fileMode)), 0);
    QCOMPARE(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    const ino_t inode = StatusOf(path).st_ino;
    const QByteArray content = RandomBytes(100, 5);

    QCOMPARE(RunUnprivileged([&] { return Save(path, content); }), saved ? 1 : 0);

    QCOMPARE(chmod(QFile::encodeName(folder).constData(), 0755), 0);
    QVERIFY(ReadFromDisk(path) == (saved ? content : QByteArray(10000, 'o')));
    QCOMPARE(StatusOf(path).st_ino, inode);
    QCOMPARE(Leftovers(folder, {"inside.bin"}), QStringList());
}

void TestFileIo::refusedWrites_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("error");
    QTest::newRow("empty name") << "" << qint64(4) << ENOENT;
    QTest::newRow("folder") << "folder" << qint64(4) << EISDIR;
    QTest::newRow("missing folder") << "missing/file.bin" << qint64(4) << ENOENT;
    QTest::newRow("negative size") << "fresh.bin" << qint64(-1) << EINVAL;
}

void TestFileIo::refusedWrites() {
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QTemporaryDir work;
    const QString path = name.isEmpty() ? name : work.filePath(name);
    QVERIFY(QDir(work.path()).mkpath("folder"));
    const SaveResult result = WriteWholeFile(Native(path), reinterpret_cast<const uint8_t*>("data"),
                                             size, WriteMode::Replace);
    QVERIFY(!result.saved());
    QTEST(result.error, "error");
    QCOMPARE(Leftovers(work.path(), {"folder"}), QStringList());
    QVERIFY(QDir(work.filePath("folder")).isEmpty());
}

void TestFileIo::failedWriteKeepsTheOldContent() {
    // A file size limit makes the disk refuse the write part of the way through, as a full disk
    // would; the target must keep its old bytes, all of them.
    QTemporaryDir work;
    const QString path = work.filePath("full-disk.bin");
    const QByteArray before(6000, 'o');
    QVERIFY(WriteToDisk(path, before));
    rlimit previous{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const QByteArray after = RandomBytes(20000, 6);
    const SaveResult result =
        WriteWholeFile(Native(path), reinterpret_cast<const uint8_t*>(after.constData()),
                       after.size(), WriteMode::Replace);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(result.outcome, SaveOutcome::NoRoom);
    QCOMPARE(result.error, EFBIG);
    QVERIFY(ReadFromDisk(path) == before);
    QCOMPARE(Leftovers(work.path(), {"full-disk.bin"}), QStringList());
}

void TestFileIo::fullDiskRefusesAnInPlaceSaveBeforeWriting() {
    // In place there is no temporary to fall back on: the space must be claimed before the first
    // byte of the target is overwritten, or a full disk leaves a mixture of old and new bytes.
    QTemporaryDir work;
    const QString folder = work.filePath("locked");
    const QString path = folder + "/inside.bin";
    QVERIFY(QDir(work.path()).mkdir("locked"));
    const QByteArray before(6000, 'o');
    QVERIFY(WriteToDisk(path, before));
    QCOMPARE(chmod(QFile::encodeName(work.path()).constData(), 0755), 0);
    QCOMPARE(chmod(QFile::encodeName(path).constData(), 0666), 0);
    QCOMPARE(chmod(QFile::encodeName(folder).constData(), 0555), 0);

    const int saved = RunUnprivileged([&] {
        rlimit limited{};
        getrlimit(RLIMIT_FSIZE, &limited);
        limited.rlim_cur = 8192;
        std::signal(SIGXFSZ, SIG_IGN);
        return setrlimit(RLIMIT_FSIZE, &limited) == 0 && Save(path, RandomBytes(20000, 7));
    });

    QCOMPARE(chmod(QFile::encodeName(folder).constData(), 0755), 0);
    QCOMPARE(saved, 0);
    QVERIFY(ReadFromDisk(path) == before);
}

void TestFileIo::saveKeepsWhatTheFileCarries_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("byRoot");  // saved by root, else by user nobody
    QTest::addColumn<bool>("saved");   // the file holds the new bytes afterwards, else the old
    QTest::addColumn<bool>("inPlace"); // the same file afterwards, not a new one renamed over it
    // What the file has before the save and must have afterwards.
    QTest::addColumn<int>("mode");
    QTest::addColumn<uint>("owner"); // user and group: root's, or nobody's
    QTest::addColumn<int>("links");
    QTest::addColumn<QByteArray>("attribute"); // one of the file's extended attributes
    QTest::addColumn<QString>("fileSystem");   // mounted for the row; empty: the test's folder
    const auto row = [](const char* situation, bool byRoot, bool saved, bool inPlace, int mode,
                        uid_t owner, int links, const char* attribute,
                        const char* fileSystem = "") {
        QTest::newRow(situation) << QString(situation) << byRoot << saved << inPlace << mode
                                 << static_cast<uint>(owner) << links << QByteArray(attribute)
                                 << QString(fileSystem);
    };
    row("set-id and sticky bits, file of another user, saved by root", true, true, false, 07755,
        NOBODY, 1, "");
    row("file capability, saved by root", true, true, false, 0755, 0, 1, "security.capability");
    row("ACL that names another user, saved by the owner", false, true, false, 0640, NOBODY, 1,
        "system.posix_acl_access");
    row("user attribute, saved by the owner", false, true, false, 0644, NOBODY, 1, "user.origin");
    row("second hard link: written in place, both names see the new bytes", true, true, true, 0644,
        0, 2, "");
    row("file of root in a sticky folder, saved by another user: written in place", false, true,
        true, 0666, 0, 1, "");
    row("link to root's file swapped in by the owner, saved by root: refused", true, false, true,
        0600, 0, 1, "");
    row("file size limit below the file's size, written in place: refused before writing", false,
        false, true, 0666, 0, 1, "");
    row("program running from the file, saved by root: replaced", true, true, false, 0755, 0, 1,
        "");
    row("deleted since the load, file of another user, saved by root: created again as it was",
        true, true, false, 0640, NOBODY, 1, "", "tmpfs");
    row("shrunk after the load, second link, nearly full ext4: refused, size and room kept", true,
        false, true, 0644, 0, 2, "", "ext4");
    row("sparse, second link, ext2 without fallocate, too little room: refused before writing",
        true, false, true, 0644, 0, 2, "", "ext2");
    row("append-only folder: written in place, no copy left in it", true, true, true, 0644, 0, 1,
        "", "ext4");
    row("FAT through FUSE, no chmod or truncate, saved by root: replaced", true, true, false, 0700,
        0, 1, "", "fat");
}

void TestFileIo::saveKeepsWhatTheFileCarries() {
    QFETCH(QString, situation);
    QFETCH(bool, byRoot);
    QFETCH(bool, saved);
    QFETCH(bool, inPlace);
    QFETCH(int, mode);
    QFETCH(uint, owner);
    QFETCH(int, links);
    QFETCH(QByteArray, attribute);
    QFETCH(QString, fileSystem);
    const bool swapped = situation.startsWith("link to root's file swapped in");
    const bool running = situation.startsWith("program running");
    const bool deleted = situation.startsWith("deleted since the load");
    const bool shrunk = situation.startsWith("shrunk after the load");
    const bool sparse = situation.startsWith("sparse");
    const bool appendOnly = situation.startsWith("append-only");
    if (geteuid() != 0) {
        QSKIP("the files are made for root and for user nobody, which needs root");
    }
    if (running && !QFile::exists("/bin/sleep")) {
        QSKIP("no /bin/sleep to run");
    }
    QTemporaryDir work;
    QCOMPARE(chmod(QFile::encodeName(work.path()).constData(), 0755), 0);
    std::unique_ptr<MountedFileSystem> disk;
    if (!fileSystem.isEmpty()) {
        disk = std::make_unique<MountedFileSystem>(FileSystemNamed(fileSystem),
                                                   work.filePath("disk"), qint64(16) << 20);
        if (!disk->ok()) {
            QSKIP(qPrintable(fileSystem + " cannot be mounted: " + disk->reason()));
        }
    }
    const QString base = disk ? disk->path() : work.path();
    const QString folder = base + "/files";
    QVERIFY(QDir(base).mkdir("files"));
    const bool sticky = swapped || situation.contains("sticky");
    if (fileSystem != "fat") {
        QCOMPARE(chmod(QFile::encodeName(folder).constData(), sticky ? 01777 : 0777), 0);
    }
    const QString target = folder + "/target.bin";
    QByteArray before = running ? ReadFromDisk("/bin/sleep") : RandomBytes(6000, 10);
    if (shrunk) {
        before = RandomBytes(qsizetype(2) << 20, 10);
    } else if (sparse) {
        before = QByteArray(qsizetype(3) << 20, '\0');
        before.front() = 'f';
        before.back() = 'l';
    }
    const QByteArray after = RandomBytes(before.size(), 11);
    if (sparse) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(before.size()));
        QVERIFY(file.write("f", 1) == 1 && file.seek(before.size() - 1) && file.write("l", 1) == 1);
    } else {
        QVERIFY(WriteToDisk(target, before));
    }

    // The file whose bytes and attributes are checked: the target, or where the link points.
    QString checked = target;
    if (swapped) {
        QVERIFY(QDir(work.path()).mkdir("private"));
        QCOMPARE(chmod(QFile::encodeName(work.filePath("private")).constData(), 0700), 0);
        checked = work.filePath("private/secret.bin");
        QVERIFY(WriteToDisk(checked, before));
        QCOMPARE(chown(QFile::encodeName(target).constData(), NOBODY, NOGROUP), 0);
    }
    const QByteArray checkedName = QFile::encodeName(checked);
    const gid_t group = owner == NOBODY ? NOGROUP : 0;
    // The owner first: a change of owner clears the set-id bits and file capabilities. A file
    // system that has them fixed (FAT) is not asked.
    if (StatusOf(checked).st_uid != owner || StatusOf(checked).st_gid != group) {
        QCOMPARE(chown(checkedName.constData(), owner, group), 0);
    }
    if (static_cast<int>(StatusOf(checked).st_mode & 07777) != mode) {
        QCOMPARE(chmod(checkedName.constData(), static_cast<mode_t>(mode)), 0);
    }
    if (!attribute.isEmpty()) {
        const QByteArray value = attribute == "security.capability"       ? NetRawCapability()
                                 : attribute == "system.posix_acl_access" ? AclThatNamesUser1()
                                                                          : QByteArray("a note");
        if (setxattr(checkedName.constData(), attribute.constData(), value.constData(),
                     static_cast<std::size_t>(value.size()), 0) != 0) {
            QSKIP(qPrintable(QString("the test folder's file system does not take %1: %2")
                                 .arg(QString(attribute), std::strerror(errno))));
        }
    }
    const QString otherName = folder + "/other.bin";
    if (links == 2) {
        QCOMPARE(link(checkedName.constData(), QFile::encodeName(otherName).constData()), 0);
    }
    // The program loads the file before the user patches and saves it.
    const std::optional<FileIdentity> loaded = ReadWholeFile(Native(target)).identity;
    if (shrunk) {
        QCOMPARE(truncate(QFile::encodeName(target).constData(), 1000), 0);
        before.truncate(1000);
    }
    if (deleted) {
        QCOMPARE(unlink(QFile::encodeName(target).constData()), 0);
    }
    if (shrunk || sparse) {
        QVERIFY(FillDiskUpTo(base, shrunk ? qint64(1) << 20 : 300000));
    }
    if (appendOnly && !SetAppendOnly(folder, true)) {
        QSKIP("the folder cannot be made append-only");
    }
    const qint64 freeBefore = FreeBlocks(folder);
    QProcess program;
    if (running) {
        program.start(target, {"60"});
        QVERIFY(program.waitForStarted());
    }
    if (swapped) {
        // Where root loaded its file, the user now puts a link to a file that only root may write.
        QCOMPARE(RunUnprivileged([&] {
                     return unlink(QFile::encodeName(target).constData()) == 0 &&
                            symlink(checkedName.constData(),
                                    QFile::encodeName(target).constData()) == 0;
                 }),
                 1);
    }
    const ino_t inode = StatusOf(checked).st_ino;
    const AttributeMap attributes = AttributesOf(checked);
    QVERIFY(attribute.isEmpty() || attributes.contains(attribute));

    int result = -1;
    if (byRoot) {
        result = SaveWith(target, after, loaded).saved() ? 1 : 0;
    } else {
        result = RunUnprivileged([&] {
            std::unique_ptr<FileSizeLimit> limit;
            if (situation.startsWith("file size limit")) {
                limit = std::make_unique<FileSizeLimit>(4096);
            }
            return SaveWith(target, after, loaded).saved();
        });
    }
    if (running) {
        program.kill();
        program.waitForFinished();
    }
    if (appendOnly) {
        QVERIFY(SetAppendOnly(folder, false));
    }

    QCOMPARE(result, saved ? 1 : 0);
    QVERIFY(ReadFromDisk(checked) == (saved ? after : before));
    const struct stat status = StatusOf(checked);
    QCOMPARE(static_cast<int>(status.st_mode & 07777), mode);
    QCOMPARE(status.st_uid, static_cast<uid_t>(owner));
    QCOMPARE(status.st_gid, group);
    QCOMPARE(static_cast<int>(status.st_nlink), links);
    QCOMPARE(status.st_ino == inode, inPlace);
    if (disk && !saved) {
        // A claim of room that failed part way is given back; a few blocks of the file system's
        // own bookkeeping may stay.
        QVERIFY2(FreeBlocks(folder) + 8 >= freeBefore,
                 qPrintable(QString("free blocks %1 before, %2 after")
                                .arg(freeBefore)
                                .arg(FreeBlocks(folder))));
    }
    QVERIFY(AttributesOf(checked) == attributes);
    QStringList names = {"target.bin"};
    if (links == 2) {
        names << "other.bin";
        QVERIFY(ReadFromDisk(otherName) == (saved ? after : before));
    }
    QCOMPARE(Leftovers(folder, names), QStringList());
    if (swapped) {
        QVERIFY(S_ISLNK(StatusOf(target).st_mode));
    }
}

// What another user puts under a name that root saves to: root's Save must not write through it.
// Each row saves as root and must be refused, or written only where the row says, with every file
// as it was and nothing new anywhere.
enum class Planted {
    LinkToRootsFile,      // the loaded file replaced by a link to a root-only file
    LinkToOwnFileSwapped, // the loaded file replaced by a link to a file of the link's owner
    BlockDevice,          // the loaded file replaced by a block device
    DanglingLink,         // a link to a missing name in a root-only folder, for Save As
    FolderLinkInTheChain, // a link to the root-only folder, for Save As through it
    LinkToOwnFile,        // a link to a file of the link's own owner: written through
};

void TestFileIo::refusedSavesWriteNothing_data() {
    QTest::addColumn<Planted>("planted");
    QTest::addColumn<int>("error"); // 0 where the save goes through
    QTest::newRow("link to root's 0600 file swapped in for the loaded file")
        << Planted::LinkToRootsFile << EACCES;
    QTest::newRow("link to a file of its owner swapped in for the loaded file")
        << Planted::LinkToOwnFileSwapped << ELOOP;
    QTest::newRow("block device swapped in for the loaded file") << Planted::BlockDevice << EINVAL;
    QTest::newRow("dangling link into root's folder, Save As onto it")
        << Planted::DanglingLink << EACCES;
    QTest::newRow("link to root's folder as a folder of the name, Save As")
        << Planted::FolderLinkInTheChain << EACCES;
    QTest::newRow("link to the link owner's own file, Save As: written through")
        << Planted::LinkToOwnFile << 0;
}

void TestFileIo::refusedSavesWriteNothing() {
    QFETCH(Planted, planted);
    QFETCH(int, error);
    if (geteuid() != 0) {
        QSKIP("the links are planted by user nobody for root's save, which needs root");
    }
    QTemporaryDir work;
    QCOMPARE(chmod(QFile::encodeName(work.path()).constData(), 0755), 0);
    // The user's folder, and a folder and file that only root may write.
    const QString folder = work.filePath("files");
    const QString secret = work.filePath("private/secret.bin");
    QVERIFY(QDir(work.path()).mkdir("files") && QDir(work.path()).mkdir("private"));
    QCOMPARE(chown(QFile::encodeName(folder).constData(), NOBODY, NOGROUP), 0);
    QCOMPARE(chmod(QFile::encodeName(work.filePath("private")).constData(), 0700), 0);
    const QByteArray before = RandomBytes(6000, 20);
    const QByteArray after = RandomBytes(6000, 21);
    QVERIFY(WriteToDisk(secret, before));
    QCOMPARE(chmod(QFile::encodeName(secret).constData(), 0600), 0);
    const QString target = folder + "/target.bin";
    QVERIFY(WriteToDisk(target, before));
    const std::optional<FileIdentity> loaded = ReadWholeFile(Native(target)).identity;

    QString saved = target;               // the name root saves to
    QString checked = secret;             // the file whose bytes must stay, or become the new ones
    std::optional<FileIdentity> identity; // what the load found, for a save of the loaded name
    QByteArray linkText;
    std::unique_ptr<LoopDevice> device;
    uid_t owner = 0;
    switch (planted) {
    case Planted::LinkToRootsFile:
        identity = loaded;
        linkText = QFile::encodeName(secret);
        break;
    case Planted::LinkToOwnFileSwapped:
        identity = loaded;
        checked = folder + "/own.bin";
        linkText = "own.bin";
        owner = NOBODY;
        QVERIFY(WriteToDisk(checked, before));
        QCOMPARE(chown(QFile::encodeName(checked).constData(), NOBODY, NOGROUP), 0);
        break;
    case Planted::BlockDevice:
        identity = loaded;
        QVERIFY(WriteToDisk(work.filePath("device.image"), before));
        device = std::make_unique<LoopDevice>(work.filePath("device.image"), before.size());
        if (!device->ok()) {
            QSKIP(qPrintable(device->reason()));
        }
        checked = work.filePath("device.image");
        break;
    case Planted::DanglingLink:
        saved = folder + "/new.bin";
        checked = work.filePath("private/new.bin");
        linkText = QFile::encodeName(checked);
        break;
    case Planted::FolderLinkInTheChain:
        saved = folder + "/inside/secret.bin";
        linkText = QFile::encodeName(work.filePath("private"));
        break;
    case Planted::LinkToOwnFile:
        saved = folder + "/own-link.bin";
        checked = target;
        linkText = "target.bin";
        owner = NOBODY;
        QCOMPARE(chown(QFile::encodeName(target).constData(), NOBODY, NOGROUP), 0);
        break;
    }
    const QByteArray linkName =
        QFile::encodeName(planted == Planted::FolderLinkInTheChain ? folder + "/inside" : saved);
    const bool swapsTheLoadedFile = identity.has_value();
    QCOMPARE(RunUnprivileged([&] {
                 if (swapsTheLoadedFile && unlink(QFile::encodeName(target).constData()) != 0) {
                     return false;
                 }
                 return linkText.isEmpty() ||
                        symlink(linkText.constData(), linkName.constData()) == 0;
             }),
             1);
    if (planted == Planted::BlockDevice) {
        // Only root may make a device node: the user is taken to have one at hand.
        QCOMPARE(mknod(QFile::encodeName(target).constData(), S_IFBLK | 0666, device->device()), 0);
    }
    const struct stat statusBefore = StatusOf(checked);
    const QStringList privateBefore = QDir(work.filePath("private")).entryList(QDir::Files);
    const QStringList filesBefore = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                           QDir::System | QDir::NoDotAndDotDot);

    const SaveResult result = SaveWith(saved, after, identity);

    QCOMPARE(result.saved(), error == 0);
    QCOMPARE(result.error, error);
    const QByteArray now = ReadFromDisk(checked);
    if (planted == Planted::DanglingLink) {
        QVERIFY(!QFile::exists(checked));
    } else {
        QVERIFY(now == (error == 0 ? after : before));
        const struct stat status = StatusOf(checked);
        QCOMPARE(static_cast<int>(status.st_mode & 07777),
                 static_cast<int>(statusBefore.st_mode & 07777));
        QCOMPARE(status.st_uid, owner);
        QCOMPARE(status.st_size, statusBefore.st_size);
    }
    QCOMPARE(QDir(work.filePath("private")).entryList(QDir::Files), privateBefore);
    QCOMPARE(Leftovers(folder, filesBefore), QStringList());
}

void TestFileIo::scarceDescriptorsNeverSendTheSaveInPlace() {
    // A save that runs out of descriptors at any step fails with the target untouched: in place
    // it could not be all-or-nothing, and one name is no reason to go there.
    QTemporaryDir work;
    const QString path = work.filePath("target.bin");
    const QByteArray before = RandomBytes(6000, 30);
    const QByteArray after = RandomBytes(6000, 31);
    rlimit previous{};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &previous), 0);
    int failed = 0;
    for (int free = 0; free <= 10; ++free) {
        QVERIFY(WriteToDisk(path, before));
        const ino_t inode = StatusOf(path).st_ino;
        rlimit limited = previous;
        limited.rlim_cur = LimitLeaving(free);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &limited), 0);
        const SaveResult result = SaveWith(path, after, std::nullopt);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &previous), 0);
        failed += result.saved() ? 0 : 1;
        QCOMPARE(result.saved(), StatusOf(path).st_ino != inode);
        QVERIFY(ReadFromDisk(path) == (result.saved() ? after : before));
        QCOMPARE(Leftovers(work.path(), {"target.bin"}), QStringList());
    }
    QVERIFY(failed > 0);
    QVERIFY(failed < 11);
}

int main(int argc, char** argv) {
    // Mounts made by the rows stay this process's own; where they can't, those rows skip.
    (void)EnterPrivateMountNamespace();
    QCoreApplication application(argc, argv);
    TestFileIo test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_file_io.moc"
