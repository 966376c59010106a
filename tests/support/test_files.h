// Helpers for tests that put bytes on disk and read them back: files by raw name, seeded random
// contents, and running a save without root's rights or with little room. QtCore only.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

// User and group 65534 (nobody, nogroup): whom the tests become to give up root's rights.
constexpr uid_t NOBODY = 65534;
constexpr gid_t NOGROUP = 65534;

// The name of a file as the system takes it, from a QString encoded as QFile encodes it or from
// raw bytes, which need not be UTF-8 and so cannot always pass through a QString.
struct DiskPath {
    DiskPath(const QString& path);     // NOLINT(google-explicit-constructor)
    DiskPath(const std::string& path); // NOLINT(google-explicit-constructor)
    DiskPath(const char* path);        // NOLINT(google-explicit-constructor)
    std::string bytes;
};

// The raw name of `path`, as the program's functions take it.
std::string Native(const QString& path);

// `size` bytes from a generator seeded with `seed`: the same bytes for the same seed.
QByteArray RandomBytes(qsizetype size, quint32 seed);
// Hexadecimal text, blanks allowed between the pairs, as bytes.
QByteArray Bytes(const char* hex);

// Creates or truncates the file and writes `content`; false when any of it was not written.
bool WriteToDisk(const DiskPath& path, QByteArrayView content);
// The file's bytes, or "<unreadable>" when it cannot be read. Never blocks, not even on a FIFO.
QByteArray ReadFromDisk(const DiskPath& path);
// The names of the entries of a folder that are not folders, hidden ones included, sorted.
std::vector<std::string> FilesIn(const std::string& folder);

// When running as root, runs the scope as user and group 65534 so that permission bits count.
// The saved set-user-ID stays 0, so that the scope can take the rights back at its end.
class UnprivilegedScope {
  public:
    UnprivilegedScope();
    ~UnprivilegedScope();
    UnprivilegedScope(const UnprivilegedScope&) = delete;
    UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;
    // False when the rights of root could not be given up, so that the test would prove nothing.
    [[nodiscard]] bool ok() const { return !failed_; }

  private:
    std::vector<gid_t> groups_;
    bool dropped_ = false;
    bool failed_ = false;
};

// Runs `work` in a child process without root's right to read and write anything: as nobody when
// the tests run as root, as the same user otherwise. Returns 1 when the work returned true, 0
// when it returned false, and -1 when the child could not run it.
int RunUnprivileged(const std::function<bool()>& work);

// A file size limit for the scope; a write beyond it fails with EFBIG instead of a signal.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};
