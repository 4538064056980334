/* Kept apart from every C++ source: <asm/termbits.h> declares its own struct termios and
 * cannot share a translation unit with <termios.h>. */
#include "cserial.h"

#include <errno.h>
#include <sys/ioctl.h>

#if defined(__linux__)
#include <asm/termbits.h>

int avrane_set_custom_speed(int fd, uint64_t speed) {
    struct termios2 attributes;
    if (speed == 0 || speed > UINT32_MAX) {
        errno = EINVAL;
        return -1;
    }
    if (ioctl(fd, TCGETS2, &attributes) == -1) return -1;
    /* BOTHER takes the speed from c_ospeed / c_ispeed instead of the table; the input
     * speed field sits IBSHIFT bits up. */
    attributes.c_cflag &= ~(tcflag_t)(CBAUD | (CBAUD << IBSHIFT));
    attributes.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    attributes.c_ospeed = (speed_t)speed;
    attributes.c_ispeed = (speed_t)speed;
    return ioctl(fd, TCSETS2, &attributes);
}

#elif defined(__APPLE__)

/* IOSSIOSPEED from <IOKit/serial/ioss.h>: _IOW('T', 2, speed_t) with a 64-bit speed_t. */
#define AVRANE_IOSSIOSPEED 0x80085402UL

int avrane_set_custom_speed(int fd, uint64_t speed) {
    uint64_t value = speed;
    return ioctl(fd, AVRANE_IOSSIOSPEED, &value);
}

#else

int avrane_set_custom_speed(int fd, uint64_t speed) {
    (void)fd;
    (void)speed;
    errno = ENOTSUP;
    return -1;
}

#endif
