#include "support/file_systems.h"

#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool privateNamespace = false;

// Runs a tool to its end; an empty text when it succeeded, else what went wrong.
QString Run(const QString& program, const QStringList& arguments) {
    if (QStandardPaths::findExecutable(program).isEmpty() &&
        QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin"}).isEmpty()) {
        return program + " is not installed (scripts/setup installs it)";
    }
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(20000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        tool.kill();
        tool.waitForFinished();
        return program +
               " failed: " + QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
    }
    return {};
}

dev_t DeviceOf(const QString& path) {
    struct stat status {};
    return stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_dev : 0;
}

} // namespace

bool EnterPrivateMountNamespace() {
    privateNamespace = unshare(CLONE_NEWNS) == 0 &&
                       mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return privateNamespace;
}

MountedFileSystem::MountedFileSystem(FileSystemType type, const QString& mountPoint, qint64 bytes)
    : mountPoint_(mountPoint), image_(mountPoint + ".image") {
    if (!privateNamespace) {
        Fail("no mount namespace of this process alone (needs root with CAP_SYS_ADMIN)");
        return;
    }
    if (!QDir().mkpath(mountPoint)) {
        Fail("cannot make the mount point");
        return;
    }
    const dev_t before = DeviceOf(mountPoint);
    if (type == FileSystemType::Tmpfs) {
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        if (mount("tessary-test", QFile::encodeName(mountPoint).constData(), "tmpfs", 0,
                  options.constData()) != 0) {
            Fail(QString("tmpfs cannot be mounted: ") + std::strerror(errno));
            return;
        }
        mounted_ = true;
        return;
    }
    if (!MountImage(type, bytes)) {
        return;
    }
    // FUSE answers once its daemon has started.
    for (int wait = 0; wait < 100 && DeviceOf(mountPoint) == before; ++wait) {
        QThread::msleep(20);
    }
    mounted_ = DeviceOf(mountPoint) != before;
    if (!mounted_) {
        Fail("the file system did not appear on its mount point");
    }
}

bool MountedFileSystem::MountImage(FileSystemType type, qint64 bytes) {
    QFile image(image_);
    if (!image.open(QIODevice::WriteOnly) || !image.resize(bytes)) {
        return Fail("cannot make the image file");
    }
    image.close();
    const QString point = mountPoint_;
    if (type == FileSystemType::FuseFat) {
        if (!QFile::exists("/dev/fuse")) {
            return Fail("no /dev/fuse");
        }
        const QString made = Run("mkfs.fat", {image_});
        return made.isEmpty() ? Run("fusefat", {"-o", "rw+", image_, point}).isEmpty() ||
                                    Fail("fusefat cannot mount the image")
                              : Fail(made);
    }
    const QString kind = type == FileSystemType::Ext2 ? "ext2" : "ext4";
    if (const QString made = Run("mkfs." + kind, {"-q", "-F", image_}); !made.isEmpty()) {
        return Fail(made);
    }
    // mount sets the loop device up and frees it again on the unmount.
    if (const QString mounted = Run("mount", {"-t", kind, "-o", "loop", image_, point});
        !mounted.isEmpty()) {
        return Fail("no loop device: " + mounted);
    }
    return true;
}

bool MountedFileSystem::Fail(const QString& reason) {
    reason_ = reason;
    return false;
}

MountedFileSystem::~MountedFileSystem() {
    if (mounted_) {
        umount2(QFile::encodeName(mountPoint_).constData(), MNT_DETACH);
    }
    QFile::remove(image_);
    QDir().rmdir(mountPoint_);
}

LoopDevice::LoopDevice(const QString& image, qint64 bytes) {
    QFile file(image);
    if (!file.open(QIODevice::ReadWrite) || !file.resize(bytes)) {
        reason_ = "cannot make the image file";
        return;
    }
    file.close();
    QProcess losetup;
    losetup.start("losetup", {"--find", "--show", image});
    if (!losetup.waitForFinished(20000) || losetup.exitCode() != 0) {
        reason_ = "no loop device: " + QString::fromLocal8Bit(losetup.readAllStandardError());
        return;
    }
    path_ = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
    struct stat status {};
    if (stat(QFile::encodeName(path_).constData(), &status) != 0 || !S_ISBLK(status.st_mode)) {
        reason_ = "losetup gave no block device";
        return;
    }
    device_ = status.st_rdev;
}

LoopDevice::~LoopDevice() {
    if (!path_.isEmpty()) {
        QProcess::execute("losetup", {"-d", path_});
    }
}
