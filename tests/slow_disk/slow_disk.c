/* A slow disk for the tests and the benchmark, as a user's USB stick would be: a FUSE file system
 * that passes every call through to a folder and paces reads and writes to a fixed rate.
 * direct_io sends every read and write to it, so that the page cache cannot hide the pace.
 *
 * Usage: slow_disk FOLDER MOUNTPOINT [FUSE options]   (rate: SLOW_DISK_MB_PER_SECOND, default 50)
 * Runs in the foreground, single-threaded, until the mount point is unmounted.
 */
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static int folder = -1;
static double bytesPerSecond = 50e6;
static struct timespec nextFree; /* when the disk has finished what it was given */

/* The path inside the folder; "/" is the folder itself. */
static const char* Inside(const char* path) {
    return path[1] == '\0' ? "." : path + 1;
}

static double Seconds(const struct timespec* time) {
    return (double)time->tv_sec + (double)time->tv_nsec / 1e9;
}

/* Waits until the disk would have moved `bytes` more at its rate, counting from when it last
 * became free, so that the rate holds whatever the size of each request. A disk that was left
 * idle for a moment may catch up on up to 20 ms of it, as a disk's own queue and cache let it:
 * otherwise each pause of its client between two requests would be lost twice, to the client and
 * to the disk. Over any longer stretch the rate still holds. */
static void Pace(size_t bytes) {
    const double CATCH_UP = 0.020;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    double free = Seconds(&nextFree);
    if (free < Seconds(&now) - CATCH_UP) {
        free = Seconds(&now) - CATCH_UP;
    }
    free += (double)bytes / bytesPerSecond;
    nextFree.tv_sec = (time_t)free;
    nextFree.tv_nsec = (long)((free - (double)nextFree.tv_sec) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &nextFree, NULL) == EINTR) {
    }
}

static int Result(int value) {
    return value < 0 ? -errno : value;
}

static void* Init(struct fuse_conn_info* connection, struct fuse_config* config) {
    (void)connection;
    config->direct_io = 1;
    config->use_ino = 1;
    config->attr_timeout = 0;
    config->entry_timeout = 0;
    config->negative_timeout = 0;
    return NULL;
}

static int GetAttributes(const char* path, struct stat* status, struct fuse_file_info* file) {
    if (file != NULL) {
        return Result(fstat((int)file->fh, status));
    }
    return Result(fstatat(folder, Inside(path), status, AT_SYMLINK_NOFOLLOW));
}

static int ReadLink(const char* path, char* buffer, size_t size) {
    const ssize_t length = readlinkat(folder, Inside(path), buffer, size - 1);
    if (length < 0) {
        return -errno;
    }
    buffer[length] = '\0';
    return 0;
}

static int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info* file, enum fuse_readdir_flags flags) {
    (void)offset;
    (void)file;
    (void)flags;
    const int descriptor = openat(folder, Inside(path), O_RDONLY | O_DIRECTORY);
    DIR* entries = descriptor < 0 ? NULL : fdopendir(descriptor);
    if (entries == NULL) {
        return -errno;
    }
    for (struct dirent* entry = readdir(entries); entry != NULL; entry = readdir(entries)) {
        struct stat status = {.st_ino = entry->d_ino, .st_mode = (mode_t)DTTOIF(entry->d_type)};
        fill(buffer, entry->d_name, &status, 0, 0);
    }
    closedir(entries);
    return 0;
}

static int MakeFolder(const char* path, mode_t mode) {
    return Result(mkdirat(folder, Inside(path), mode));
}
static int Unlink(const char* path) {
    return Result(unlinkat(folder, Inside(path), 0));
}
static int RemoveFolder(const char* path) {
    return Result(unlinkat(folder, Inside(path), AT_REMOVEDIR));
}
static int SymbolicLink(const char* target, const char* path) {
    return Result(symlinkat(target, folder, Inside(path)));
}
static int Rename(const char* from, const char* to, unsigned int flags) {
    return Result(renameat2(folder, Inside(from), folder, Inside(to), flags));
}
static int Link(const char* from, const char* to) {
    return Result(linkat(folder, Inside(from), folder, Inside(to), 0));
}
static int ChangeMode(const char* path, mode_t mode, struct fuse_file_info* file) {
    return Result(file != NULL ? fchmod((int)file->fh, mode)
                               : fchmodat(folder, Inside(path), mode, 0));
}
static int ChangeOwner(const char* path, uid_t user, gid_t group, struct fuse_file_info* file) {
    return Result(file != NULL ? fchown((int)file->fh, user, group)
                               : fchownat(folder, Inside(path), user, group, AT_SYMLINK_NOFOLLOW));
}
static int Truncate(const char* path, off_t size, struct fuse_file_info* file) {
    if (file != NULL) {
        return Result(ftruncate((int)file->fh, size));
    }
    const int descriptor = openat(folder, Inside(path), O_WRONLY);
    if (descriptor < 0) {
        return -errno;
    }
    const int result = Result(ftruncate(descriptor, size));
    close(descriptor);
    return result;
}
static int SetTimes(const char* path, const struct timespec times[2], struct fuse_file_info* file) {
    return Result(file != NULL ? futimens((int)file->fh, times)
                               : utimensat(folder, Inside(path), times, AT_SYMLINK_NOFOLLOW));
}

static int Create(const char* path, mode_t mode, struct fuse_file_info* file) {
    const int descriptor = openat(folder, Inside(path), file->flags, mode);
    if (descriptor < 0) {
        return -errno;
    }
    file->fh = (uint64_t)descriptor;
    file->direct_io = 1;
    return 0;
}
static int Open(const char* path, struct fuse_file_info* file) {
    return Create(path, 0, file);
}

static int Read(const char* path, char* buffer, size_t size, off_t offset,
                struct fuse_file_info* file) {
    (void)path;
    const ssize_t got = pread((int)file->fh, buffer, size, offset);
    if (got > 0) {
        Pace((size_t)got);
    }
    return got < 0 ? -errno : (int)got;
}
static int Write(const char* path, const char* buffer, size_t size, off_t offset,
                 struct fuse_file_info* file) {
    (void)path;
    const ssize_t written = pwrite((int)file->fh, buffer, size, offset);
    if (written > 0) {
        /* A stick's writes are on it at its pace: the folder's own disk must not collect them in
         * its cache and make a final fsync wait for all of them. */
        sync_file_range((int)file->fh, offset, written,
                        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                            SYNC_FILE_RANGE_WAIT_AFTER);
        Pace((size_t)written);
    }
    return written < 0 ? -errno : (int)written;
}
static int StatusOfFileSystem(const char* path, struct statvfs* status) {
    (void)path;
    return Result(fstatvfs(folder, status));
}
static int Release(const char* path, struct fuse_file_info* file) {
    (void)path;
    close((int)file->fh);
    return 0;
}
static int Sync(const char* path, int dataOnly, struct fuse_file_info* file) {
    (void)path;
    return Result(dataOnly ? fdatasync((int)file->fh) : fsync((int)file->fh));
}
static int Allocate(const char* path, int mode, off_t offset, off_t length,
                    struct fuse_file_info* file) {
    (void)path;
    return Result(fallocate((int)file->fh, mode, offset, length));
}

static const struct fuse_operations OPERATIONS = {
    .init = Init,
    .getattr = GetAttributes,
    .readlink = ReadLink,
    .readdir = ReadFolder,
    .mkdir = MakeFolder,
    .unlink = Unlink,
    .rmdir = RemoveFolder,
    .symlink = SymbolicLink,
    .rename = Rename,
    .link = Link,
    .chmod = ChangeMode,
    .chown = ChangeOwner,
    .truncate = Truncate,
    .utimens = SetTimes,
    .create = Create,
    .open = Open,
    .read = Read,
    .write = Write,
    .statfs = StatusOfFileSystem,
    .release = Release,
    .fsync = Sync,
    .fallocate = Allocate,
};

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s FOLDER MOUNTPOINT [FUSE options]\n", argv[0]);
        return 2;
    }
    const char* rate = getenv("SLOW_DISK_MB_PER_SECOND");
    if (rate != NULL && atof(rate) > 0) {
        bytesPerSecond = atof(rate) * 1e6;
    }
    folder = open(argv[1], O_RDONLY | O_DIRECTORY);
    if (folder < 0) {
        perror(argv[1]);
        return 1;
    }
    umask(0); /* the modes asked for through the mount are already masked by the caller */
    /* Foreground and one thread: the pace is one disk's. */
    char* arguments[64] = {argv[0], argv[2], "-f", "-s"};
    int count = 4;
    for (int index = 3; index < argc && count < 63; ++index) {
        arguments[count++] = argv[index];
    }
    return fuse_main(count, arguments, &OPERATIONS, NULL);
}
