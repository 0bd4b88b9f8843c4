#pragma once
// Text that comes from a module or from the system (a version text, a port
// path) is shown only in a form that is valid UTF-8 and holds no control
// character, so neither a terminal nor a JSON writer gets bytes it cannot
// take. Valid UTF-8 passes unchanged, except:
//   - every byte that is not part of a well-formed UTF-8 character (a stray
//     byte, a cut sequence, an overlong form, a surrogate, a code point above
//     U+10FFFF) is shown as \xHH, two upper-case hex digits;
//   - every byte of a control character (U+0000-U+001F, U+007F-U+009F) is
//     shown as \xHH likewise;
//   - a backslash is shown as \\, so the form reads back unambiguously.
// Example: the bytes 31 2E 30 B4 ("1.0" and a stray 0xB4) show as 1.0\xB4.
#include <string>
#include <string_view>

std::string DisplayText(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (the rule above, controls allowed).
bool IsValidUtf8(std::string_view bytes);
