// Arbitrary line rates through the kernel's termios2. Kept apart: its header defines a termios of
// its own, which cannot meet the C library's in one file.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <errno.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace serial {

int setArbitraryRate(int fd, int rate) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
    if (ioctl(fd, TCSETS2, &t) != 0) return errno;
    return 0;
}

}  // namespace serial
