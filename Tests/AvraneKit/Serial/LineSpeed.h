#ifndef AVRANE_TEST_LINE_SPEED_H
#define AVRANE_TEST_LINE_SPEED_H

#ifdef __cplusplus
extern "C" {
#endif

/* The line speeds a terminal runs at, in baud, as the kernel holds them (any speed, not
 * only those of the termios table). 0, or -1 with errno set. */
int avrane_test_line_speed(int fd, unsigned* input, unsigned* output);

#ifdef __cplusplus
}
#endif

#endif
