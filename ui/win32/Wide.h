#pragma once
#include <string>

// The program's texts are UTF-8; the Windows API takes UTF-16.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// A string of the program's text table (KvText), as UTF-16; empty when the
// table has no such number.
std::wstring TextW(int id);
