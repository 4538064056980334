/* In C and alone, as the shim is: <asm/termbits.h> cannot share a translation unit with
 * <termios.h>. */
#include "LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

int avrane_test_line_speed(int fd, unsigned* input, unsigned* output) {
    struct termios2 attributes;
    if (ioctl(fd, TCGETS2, &attributes) == -1) return -1;
    *input = attributes.c_ispeed;
    *output = attributes.c_ospeed;
    return 0;
}
