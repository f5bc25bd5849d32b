/* Preloaded into a program under test, makes every fsync(2) of a directory fail with EIO:
 * the folder sync after an atomic rename fails while the files themselves are written. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sys/stat.h>

int fsync(int fd) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EIO;
        return -1;
    }
    int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    return real ? real(fd) : -1;
}
