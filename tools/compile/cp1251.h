// UTF-8 to Windows-1251 (code page 1251, Cyrillic), the code page the show's strings are drawn
// in. Self-contained so the content compilers build alike on every system.
#pragma once

#include <string>
#include <string_view>

namespace glimmerc {

// Appends the Windows-1251 byte of each UTF-8 character of utf8 to out. False (out may then hold
// the bytes of the characters before) when utf8 is not well-formed UTF-8 or holds a character
// that code page 1251 does not have.
bool utf8ToCp1251(std::string_view utf8, std::string& out);

}  // namespace glimmerc
