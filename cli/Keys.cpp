// The terminal's keys for tarnik monitor (POSIX; the Windows console's are in windows/).
#include "Keys.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "Interrupt.h"

namespace {

termios savedTerminal;
bool terminalSaved = false;

void RestoreTerminal() {
    if (terminalSaved) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

}  // namespace

struct Keys::State {};

Keys::Keys() {
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    terminalSaved = true;
    Interrupt::SetBeforeExit(RestoreTerminal);
    termios raw = savedTerminal;
    cfmakeraw(&raw);
    raw.c_oflag |= OPOST | ONLCR;  // line ends on the screen stay readable
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
}

Keys::~Keys() { Restore(); }

void Keys::Restore() {
    RestoreTerminal();
    Interrupt::SetBeforeExit(nullptr);
}

int Keys::Read(char* bytes, int size, int waitMs) {
    pollfd keys{STDIN_FILENO, POLLIN, 0};
    if (poll(&keys, 1, waitMs) <= 0) return 0;
    const ssize_t n = read(STDIN_FILENO, bytes, static_cast<std::size_t>(size));
    if (n > 0) return static_cast<int>(n);
    return terminalSaved ? 0 : -1;
}
