#ifndef AVRANE_CSERIAL_H
#define AVRANE_CSERIAL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sets an arbitrary line speed, in both directions, on an open serial descriptor: speeds
 * that the termios speed table lacks (the dongle runs at 460800 baud) need a request of
 * their own. Returns 0, or -1 with errno set (EINVAL for a speed the request cannot carry,
 * ENOTSUP where the platform has no such request). */
int avrane_set_custom_speed(int fd, uint64_t speed);

#ifdef __cplusplus
}
#endif

#endif
