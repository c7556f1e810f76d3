// SPDX-License-Identifier: MIT
/* Test shim loaded with LD_PRELOAD: a gamepad on the joystick device node. Opening
 * /dev/input/js0 opens the FIFO named by QVX_FAKE_JOYSTICK instead (read and write, so it never
 * reads as ended), and the queries the library's Linux driver makes on it (version, axes, buttons)
 * answer as a pad of QVX_FAKE_JOYSTICK_AXES axes (default 2) and QVX_FAKE_JOYSTICK_BUTTONS buttons
 * (default 10). The test writes the device's events into the FIFO: the program's own joystick
 * driver reads them as it reads a real pad's. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/joystick.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>

static int pad_fd = -1;

static int env_count(const char *name, int fallback, int top)
{
    const char *s = getenv(name);
    int n = s ? atoi(s) : fallback;
    return n < 1 ? 1 : n > top ? top : n;
}

int open(const char *path, int flags, ...)
{
    int (*real_open)(const char *, int, ...) = dlsym(RTLD_NEXT, "open");
    const char *fifo = getenv("QVX_FAKE_JOYSTICK");
    if (fifo != NULL && strcmp(path, "/dev/input/js0") == 0) {
        pad_fd = real_open(fifo, O_RDWR | (flags & O_NONBLOCK));
        return pad_fd;
    }
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return real_open(path, flags, mode);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (fd < 0 || fd != pad_fd) {
        int (*real_ioctl)(int, unsigned long, ...) = dlsym(RTLD_NEXT, "ioctl");
        return real_ioctl(fd, request, arg);
    }
    switch (request) {
    case JSIOCGVERSION: *(unsigned *)arg = JS_VERSION; return 0;
    case JSIOCGAXES:
        *(unsigned char *)arg = (unsigned char)env_count("QVX_FAKE_JOYSTICK_AXES", 2, ABS_CNT);
        return 0;
    case JSIOCGBUTTONS:
        *(unsigned char *)arg = (unsigned char)env_count("QVX_FAKE_JOYSTICK_BUTTONS", 10, 32);
        return 0;
    default: errno = ENOTTY; return -1;
    }
}
