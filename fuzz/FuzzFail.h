#pragma once
// A property of the code under test does not hold: says which and stops, so
// that libFuzzer keeps the input as a crash.
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}
