/*
 * Preloaded into Wine (LD_PRELOAD) while the Windows tests use a
 * pseudo-terminal as their COM port.
 *
 * A pseudo-terminal always runs 8 data bits without parity: it overrides the
 * character size and the parity-enable flag of every setting made on it. Recent
 * Linux kernels then fail tcsetattr with EINVAL when nothing else of the request
 * was new, so reopening the port at 7 data bits or with parity, at the settings
 * it already has, fails in Wine's SetCommState, which a real port never does.
 *
 * Here such a call succeeds, exactly when the terminal now holds everything that
 * was asked for except those two overridden fields. Every other failure stays.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <string.h>
#include <termios.h>

typedef int (*tcsetattr_fn)(int, int, const struct termios *);

static int TookAllButSizeAndParity(const struct termios *wanted, const struct termios *now) {
    const tcflag_t overridden = CSIZE | PARENB;
    return now->c_iflag == wanted->c_iflag && now->c_oflag == wanted->c_oflag && now->c_lflag == wanted->c_lflag &&
           (now->c_cflag & ~overridden) == (wanted->c_cflag & ~overridden) &&
           memcmp(now->c_cc, wanted->c_cc, sizeof now->c_cc) == 0 && cfgetispeed(now) == cfgetispeed(wanted) &&
           cfgetospeed(now) == cfgetospeed(wanted);
}

int tcsetattr(int fd, int actions, const struct termios *wanted) {
    static tcsetattr_fn real = NULL;
    if (real == NULL) {
        void *symbol = dlsym(RTLD_NEXT, "tcsetattr");
        if (symbol == NULL) {
            errno = ENOSYS;
            return -1;
        }
        memcpy(&real, &symbol, sizeof real);
    }
    const int result = real(fd, actions, wanted);
    if (result == 0 || errno != EINVAL || wanted == NULL) return result;

    const int error = errno;
    struct termios now;
    if (tcgetattr(fd, &now) == 0 && TookAllButSizeAndParity(wanted, &now)) return 0;
    errno = error;
    return result;
}
