// SPDX-License-Identifier: MIT
/* Test shim loaded with LD_PRELOAD: writes to the game's own files ("*.tmp", "*.svg", "*.hsc") go
 * out a byte at a time with a pause after each, and renaming a "*.tmp" file pauses before and after,
 * so that a test can kill the game at any point of a save. Only writes of a saved game's or a
 * table's size are slowed (not a screenshot's). QVX_SLOW_IO_US sets the pause per byte (default
 * 2000 us). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define SLOW_FILES 16
#define RENAME_PAUSE_BYTES 50 /* a rename pauses as long as writing this many bytes */
#define SLOW_WRITE_MAX 2048   /* larger writes (pictures) go at full speed */
#define SLOW_FDS 64

static FILE *slow_files[SLOW_FILES];
static pthread_mutex_t slow_lock = PTHREAD_MUTEX_INITIALIZER;

static useconds_t pause_us(void)
{
    const char *s = getenv("QVX_SLOW_IO_US");
    return s ? (useconds_t)strtoul(s, NULL, 10) : 2000;
}

static int ends_with(const char *path, const char *suffix)
{
    size_t n = path ? strlen(path) : 0;
    size_t k = strlen(suffix);
    return n > k && strcmp(path + n - k, suffix) == 0;
}

static int is_temporary(const char *path)
{
    return ends_with(path, ".tmp");
}

static int is_slowed(const char *path)
{
    return is_temporary(path) || ends_with(path, ".svg") || ends_with(path, ".hsc");
}

static void remember(FILE *f, int on)
{
    pthread_mutex_lock(&slow_lock);
    for (int i = 0; i < SLOW_FILES; i++) {
        if (on && slow_files[i] == NULL) {
            slow_files[i] = f;
            break;
        }
        if (!on && slow_files[i] == f) {
            slow_files[i] = NULL;
            break;
        }
    }
    pthread_mutex_unlock(&slow_lock);
}

static int is_slow(FILE *f)
{
    int found = 0;
    pthread_mutex_lock(&slow_lock);
    for (int i = 0; i < SLOW_FILES; i++)
        if (f != NULL && slow_files[i] == f) found = 1;
    pthread_mutex_unlock(&slow_lock);
    return found;
}

static FILE *open_with(const char *name, const char *path, const char *mode)
{
    FILE *(*real)(const char *, const char *) =
        (FILE * (*)(const char *, const char *)) dlsym(RTLD_NEXT, name);
    FILE *f = real(path, mode);
    if (f != NULL && is_slowed(path)) remember(f, 1);
    return f;
}

/* Descriptors opened on slowed files, by number. */
static volatile int slow_fds[SLOW_FDS];

static int open_fd_with(const char *name, const char *path, int flags, mode_t mode)
{
    int (*real)(const char *, int, ...) = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, name);
    int fd = real(path, flags, mode);
    if (fd >= 0 && fd < SLOW_FDS) slow_fds[fd] = is_slowed(path);
    return fd;
}

/* open and open64 alike: the mode is there only when a file may be created. */
#define OPEN_HOOK(name)                                                \
    int name(const char *path, int flags, ...)                         \
    {                                                                  \
        va_list ap;                                                    \
        va_start(ap, flags);                                           \
        mode_t mode = (flags & O_CREAT) ? (mode_t)va_arg(ap, int) : 0; \
        va_end(ap);                                                    \
        return open_fd_with(#name, path, flags, mode);                 \
    }

OPEN_HOOK(open)
OPEN_HOOK(open64)

ssize_t write(int fd, const void *data, size_t size)
{
    static ssize_t (*real)(int, const void *, size_t);
    if (real == NULL) real = (ssize_t(*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write");
    if (fd < 0 || fd >= SLOW_FDS || !slow_fds[fd] || size == 0 || size > SLOW_WRITE_MAX)
        return real(fd, data, size);
    const unsigned char *bytes = (const unsigned char *)data;
    const useconds_t us = pause_us();
    size_t done = 0;
    for (; done < size; done++) {
        if (real(fd, bytes + done, 1) != 1) break;
        usleep(us);
    }
    return done > 0 ? (ssize_t)done : -1;
}

int close(int fd)
{
    static int (*real)(int);
    if (real == NULL) real = (int (*)(int))dlsym(RTLD_NEXT, "close");
    if (fd >= 0 && fd < SLOW_FDS) slow_fds[fd] = 0;
    return real(fd);
}

FILE *fopen(const char *path, const char *mode)
{
    return open_with("fopen", path, mode);
}
FILE *fopen64(const char *path, const char *mode)
{
    return open_with("fopen64", path, mode);
}

size_t fwrite(const void *data, size_t size, size_t count, FILE *f)
{
    static size_t (*real)(const void *, size_t, size_t, FILE *);
    if (real == NULL)
        real = (size_t(*)(const void *, size_t, size_t, FILE *))dlsym(RTLD_NEXT, "fwrite");
    if (!is_slow(f) || size == 0) return real(data, size, count, f);
    const unsigned char *bytes = (const unsigned char *)data;
    const useconds_t us = pause_us();
    size_t done = 0;
    for (; done < size * count; done++) {
        if (real(bytes + done, 1, 1, f) != 1) break;
        fflush(f);
        usleep(us);
    }
    return done / size;
}

int fclose(FILE *f)
{
    static int (*real)(FILE *);
    if (real == NULL) real = (int (*)(FILE *))dlsym(RTLD_NEXT, "fclose");
    remember(f, 0);
    return real(f);
}

int rename(const char *from, const char *to)
{
    static int (*real)(const char *, const char *);
    if (real == NULL) real = (int (*)(const char *, const char *))dlsym(RTLD_NEXT, "rename");
    const int slow = is_temporary(from);
    if (slow) usleep(pause_us() * RENAME_PAUSE_BYTES);
    const int r = real(from, to);
    if (slow) usleep(pause_us() * RENAME_PAUSE_BYTES);
    return r;
}
