#pragma once
// What the user types for `tarnik monitor`, or what is piped in: a terminal
// (a Windows console) in raw mode, each key as it is pressed and Ctrl-C a byte
// like any other, or whatever standard input is. The terminal's own mode is
// put back by Restore, by the destructor and, on Ctrl-C's way out of a
// terminal that is not raw, at exit.
#include <memory>

class Keys {
public:
    Keys();
    ~Keys();
    Keys(const Keys&) = delete;
    Keys& operator=(const Keys&) = delete;
    // Up to `size` bytes within `waitMs`: the count, 0 for none yet, -1 at the
    // end of piped input.
    int Read(char* bytes, int size, int waitMs);
    void Restore();

private:
    struct State;
    std::unique_ptr<State> state_;
};
