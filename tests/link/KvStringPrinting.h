#pragma once
// Lets GoogleTest show a KvString as its text when an expectation fails.
#include <gtest/gtest.h>

#include <ostream>

#include "KvString.h"

inline void PrintTo(const KvString& text, std::ostream* out) { *out << ::testing::PrintToString(text.Bytes()); }
