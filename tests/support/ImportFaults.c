/* Preloaded into `quello import` by the library tests, makes the faults of a real import happen
 * on demand. Each is off unless its variable is set:
 *   QUELLO_FAULT_FREE=N          statvfs() reports N bytes free
 *   QUELLO_FAULT_EIO=TEXT@N      reads of a file whose path holds TEXT fail with EIO from
 *                                offset N on (a bad sector, a card pulled mid-file)
 *   QUELLO_FAULT_GONE=TEXT       opening a path that holds TEXT fails with ENOENT (the file
 *                                vanished after it was listed)
 *   QUELLO_FAULT_KILL=N          the process kills itself (SIGKILL) once a copy in progress
 *                                reaches offset N (a power cut mid-copy)
 *   QUELLO_FAULT_INTERRUPT=N     the same point raises SIGINT once instead (Ctrl+C)
 *   QUELLO_FAULT_KILL_RENAMED=1  the process kills itself right after a copy took its name
 *   QUELLO_FAULT_RENAMED_RUN=CMD the shell runs CMD once, right after the first copy took its
 *                                name (the index's server stopped before the file is indexed)
 *   QUELLO_FAULT_FLIP=TEXT:K     the first K read-backs of a copy whose name holds TEXT see a
 *                                changed byte (the disk returned other bytes than written) */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

static const char kPart[] = ".quello-part-";

static int PathOf(int fd, char* path, size_t size) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, size - 1);
    if (n < 0)
        return 0;
    path[n] = 0;
    return 1;
}

/* TEXT@N or TEXT:N into its parts; 0 when the variable is unset. */
static int Setting(const char* name, char sep, char* text, size_t size, long long* number) {
    const char* value = getenv(name);
    if (!value)
        return 0;
    const char* mark = sep ? strrchr(value, sep) : NULL;
    const size_t length = mark ? (size_t)(mark - value) : strlen(value);
    snprintf(text, size, "%.*s", (int)length, value);
    *number = mark ? atoll(mark + 1) : 0;
    return 1;
}

ssize_t read(int fd, void* buffer, size_t count) {
    static ssize_t (*real)(int, void*, size_t);
    static int flipped;
    if (!real)
        real = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    char text[512], path[4096];
    long long number = 0;
    const off_t offset = lseek(fd, 0, SEEK_CUR);
    if (Setting("QUELLO_FAULT_EIO", '@', text, sizeof text, &number) &&
        PathOf(fd, path, sizeof path) && strstr(path, text) && !strstr(path, kPart) &&
        offset >= number) {
        errno = EIO;
        return -1;
    }
    const ssize_t n = real(fd, buffer, count);
    if (n > 0 && Setting("QUELLO_FAULT_FLIP", ':', text, sizeof text, &number) &&
        PathOf(fd, path, sizeof path) && strstr(path, kPart) && strstr(path, text) && offset == 0 &&
        flipped < number) {
        ((unsigned char*)buffer)[0] ^= 0xff;
        ++flipped;
    }
    return n;
}

ssize_t write(int fd, const void* buffer, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    char path[4096];
    static int interrupted;
    const char* kill = getenv("QUELLO_FAULT_KILL");
    const char* interrupt = interrupted ? NULL : getenv("QUELLO_FAULT_INTERRUPT");
    const char* at = kill ? kill : interrupt;
    if (at && PathOf(fd, path, sizeof path) && strstr(path, kPart) &&
        lseek(fd, 0, SEEK_CUR) + (off_t)count > atoll(at)) {
        interrupted = 1;
        raise(kill ? SIGKILL : SIGINT);
    }
    return real(fd, buffer, count);
}

static int Gone(const char* path) {
    const char* gone = getenv("QUELLO_FAULT_GONE");
    return gone && path && strstr(path, gone);
}

int open(const char* path, int flags, ...) {
    static int (*real)(const char*, int, ...);
    if (!real)
        real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
    va_end(args);
    if (Gone(path)) {
        errno = ENOENT;
        return -1;
    }
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
    va_end(args);
    return open(path, flags, mode);
}

static void Free(struct statvfs* fs) {
    const char* free = getenv("QUELLO_FAULT_FREE");
    if (free && fs->f_frsize > 0)
        fs->f_bavail = (fsblkcnt_t)(atoll(free) / (long long)fs->f_frsize);
}

int statvfs(const char* path, struct statvfs* fs) {
    static int (*real)(const char*, struct statvfs*);
    if (!real)
        real = (int (*)(const char*, struct statvfs*))dlsym(RTLD_NEXT, "statvfs");
    const int result = real(path, fs);
    if (result == 0)
        Free(fs);
    return result;
}

int statvfs64(const char* path, struct statvfs64* fs) {
    static int (*real)(const char*, struct statvfs64*);
    if (!real)
        real = (int (*)(const char*, struct statvfs64*))dlsym(RTLD_NEXT, "statvfs64");
    const int result = real(path, fs);
    const char* free = getenv("QUELLO_FAULT_FREE");
    if (result == 0 && free && fs->f_frsize > 0)
        fs->f_bavail = (fsblkcnt64_t)(atoll(free) / (long long)fs->f_frsize);
    return result;
}

int renameat2(int from, const char* old, int to, const char* new, unsigned flags) {
    static int (*real)(int, const char*, int, const char*, unsigned);
    if (!real)
        real = (int (*)(int, const char*, int, const char*, unsigned))dlsym(RTLD_NEXT, "renameat2");
    const int result = real(from, old, to, new, flags);
    if (result == 0 && getenv("QUELLO_FAULT_KILL_RENAMED") && strstr(old, kPart))
        raise(SIGKILL);
    static int ran;
    const char* command = getenv("QUELLO_FAULT_RENAMED_RUN");
    if (result == 0 && command && !ran && strstr(old, kPart)) {
        ran = 1;
        if (system(command) != 0)
            fprintf(stderr, "QUELLO_FAULT_RENAMED_RUN failed: %s\n", command);
    }
    return result;
}
