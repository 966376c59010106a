// Real file systems for save tests: loop-mounted ext2 and ext4 images, a tmpfs, and a FAT image
// through FUSE (fusefat), each mounted on a new folder in a mount namespace of the test process
// alone, so that nobody else sees them and none outlives the test. Each says why where it cannot
// be mounted (no root, no loop device, no FUSE, a tool missing). QtCore only.
#pragma once

#include <QString>
#include <QtGlobal>
#include <sys/types.h>

enum class FileSystemType { Ext2, Ext4, Tmpfs, FuseFat };

// Enters a mount namespace of this process alone. Must run before any thread starts.
[[nodiscard]] bool EnterPrivateMountNamespace();

class MountedFileSystem {
  public:
    // A new file system of `bytes` bytes, mounted on the new folder `mountPoint`.
    MountedFileSystem(FileSystemType type, const QString& mountPoint, qint64 bytes);
    ~MountedFileSystem();
    MountedFileSystem(const MountedFileSystem&) = delete;
    MountedFileSystem& operator=(const MountedFileSystem&) = delete;

    [[nodiscard]] bool ok() const { return mounted_; }
    [[nodiscard]] QString reason() const { return reason_; } // why it is not mounted
    [[nodiscard]] QString path() const { return mountPoint_; }

  private:
    bool Fail(const QString& reason);
    bool MountImage(FileSystemType type, qint64 bytes);

    QString mountPoint_;
    QString image_;
    QString reason_;
    bool mounted_ = false;
};

// An image file, made `bytes` long (what it holds stays), attached to a free loop device, detached
// again at the end: a block device whose bytes a test can read back from the image.
class LoopDevice {
  public:
    LoopDevice(const QString& image, qint64 bytes);
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    [[nodiscard]] bool ok() const { return device_ != 0; }
    [[nodiscard]] QString reason() const { return reason_; }
    [[nodiscard]] dev_t device() const { return device_; } // its major and minor number

  private:
    QString path_; // /dev/loopN
    QString reason_;
    dev_t device_ = 0;
};
