#include "support/test_files.h"

#include "support/reference.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

DiskPath::DiskPath(const QString& path) : bytes(Native(path)) {}
DiskPath::DiskPath(const std::string& path) : bytes(path) {}
DiskPath::DiskPath(const char* path) : bytes(path) {}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QByteArray RandomBytes(qsizetype size, quint32 seed) {
    std::mt19937 random(seed);
    const std::vector<uint8_t> bytes = RandomBytes(random, size);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

QByteArray Bytes(const char* hex) {
    return QByteArray::fromHex(hex);
}

bool WriteToDisk(const DiskPath& path, QByteArrayView content) {
    const int descriptor = open(path.bytes.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        return false;
    }
    bool written = true;
    for (qsizetype done = 0; written && done < content.size();) {
        const ssize_t wrote = write(descriptor, content.data() + done,
                                    static_cast<std::size_t>(content.size() - done));
        written = wrote > 0 || (wrote < 0 && errno == EINTR);
        done += std::max<ssize_t>(wrote, 0);
    }
    return close(descriptor) == 0 && written;
}

QByteArray ReadFromDisk(const DiskPath& path) {
    // O_NONBLOCK: a FIFO with nobody writing reads as empty instead of hanging the test.
    const int descriptor = open(path.bytes.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return "<unreadable>";
    }
    QByteArray bytes;
    std::vector<char> chunk(1 << 20);
    ssize_t got = 0;
    while ((got = read(descriptor, chunk.data(), chunk.size())) != 0) {
        if (got < 0 && errno != EINTR) {
            close(descriptor);
            return "<unreadable>";
        }
        bytes.append(chunk.data(), std::max<ssize_t>(got, 0));
    }
    close(descriptor);
    return bytes;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* listing = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            if (entry->d_type != DT_DIR) {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(listing);
    }
    std::sort(names.begin(), names.end());
    return names;
}

UnprivilegedScope::UnprivilegedScope() {
    if (geteuid() != 0) {
        return;
    }
    groups_.resize(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    getgroups(static_cast<int>(groups_.size()), groups_.data());
    dropped_ = setgroups(0, nullptr) == 0 && setresgid(NOGROUP, NOGROUP, 0) == 0 &&
               setresuid(NOBODY, NOBODY, 0) == 0;
    failed_ = !dropped_;
}

UnprivilegedScope::~UnprivilegedScope() {
    if (getuid() == NOBODY || dropped_) {
        setresuid(0, 0, 0);
        setresgid(0, 0, 0);
        setgroups(groups_.size(), groups_.data());
    }
}

int RunUnprivileged(const std::function<bool()>& work) {
    const pid_t child = fork();
    if (child == 0) {
        const UnprivilegedScope unprivileged;
        _exit(!unprivileged.ok() ? 2 : work() ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) > 1) {
        return -1;
    }
    return WEXITSTATUS(status);
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
}
