/* Test shim loaded with LD_PRELOAD: a gamepad on the joystick device node. Opening
 * /dev/input/js0 opens the FIFO named by QVX_FAKE_JOYSTICK instead (read and write, so it never
 * reads as ended), and the joystick queries on that descriptor answer as a pad of
 * QVX_FAKE_JOYSTICK_AXES axes (default 2) and QVX_FAKE_JOYSTICK_BUTTONS buttons (default 10)
 * named "Quorvex Test Pad". The test writes the device's events into the FIFO: the program's own
 * joystick driver reads them as it reads a real pad's. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/joystick.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#define DEVICE_PATH "/dev/input/js0"
#define PAD_NAME "Quorvex Test Pad"

static int pad_fd = -1;

static int env_count(const char *name, int fallback, int top)
{
    const char *s = getenv(name);
    int n = s ? atoi(s) : fallback;
    return n < 1 ? 1 : n > top ? top : n;
}

static int open_pad(const char *path, int flags)
{
    const char *fifo = getenv("QVX_FAKE_JOYSTICK");
    if (path == NULL || fifo == NULL || strcmp(path, DEVICE_PATH) != 0) return -2;
    int (*real_open)(const char *, int, ...) = dlsym(RTLD_NEXT, "open");
    pad_fd = real_open(fifo, O_RDWR | (flags & O_NONBLOCK));
    return pad_fd;
}

int open(const char *path, int flags, ...)
{
    int fd = open_pad(path, flags);
    if (fd != -2) return fd;
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    int (*real_open)(const char *, int, ...) = dlsym(RTLD_NEXT, "open");
    return real_open(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    int fd = open_pad(path, flags);
    if (fd != -2) return fd;
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    int (*real_open64)(const char *, int, ...) = dlsym(RTLD_NEXT, "open64");
    return real_open64(path, flags, mode);
}

int close(int fd)
{
    int (*real_close)(int) = dlsym(RTLD_NEXT, "close");
    if (fd == pad_fd && fd >= 0) pad_fd = -1;
    return real_close(fd);
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
    if (request == JSIOCGVERSION) {
        *(unsigned *)arg = JS_VERSION;
        return 0;
    }
    if (request == JSIOCGAXES) {
        *(unsigned char *)arg = (unsigned char)env_count("QVX_FAKE_JOYSTICK_AXES", 2, ABS_CNT);
        return 0;
    }
    if (request == JSIOCGBUTTONS) {
        *(unsigned char *)arg = (unsigned char)env_count("QVX_FAKE_JOYSTICK_BUTTONS", 10, 32);
        return 0;
    }
    if (_IOC_TYPE(request) == 'j' && _IOC_NR(request) == _IOC_NR(JSIOCGNAME(0))) {
        size_t size = _IOC_SIZE(request);
        if (size > 0) {
            strncpy(arg, PAD_NAME, size - 1);
            ((char *)arg)[size - 1] = '\0';
        }
        return (int)strlen(PAD_NAME);
    }
    errno = ENOTTY;
    return -1;
}
