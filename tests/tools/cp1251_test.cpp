// UTF-8 to Windows-1251: expected bytes read off the public chart of code page 1251 (Cyrillic
// letters at 0xC0-0xFF in alphabetical order, Ё/ё at 0xA8/0xB8, the typographic punctuation
// and the other Slavic letters at 0x80-0xBF, 0x98 unassigned).
#include "tools/compile/cp1251.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Cp1251, ConvertsOrRefusesEachCharacter) {
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {  // UTF-8, code page bytes (null: refused)
      {"plain ASCII", "plain ASCII"}, {"Hi \xD0\x9C\xD0\xB8\xD1\x80", "Hi \xCC\xE8\xF0"},  // Мир
      {"\xD0\x90", "\xC0"}, {"\xD1\x8F", "\xFF"}, {"\xD0\x96", "\xC6"},  // А (first), я (last), Ж
      {"\xD0\x81\xD1\x91", "\xA8\xB8"}, {"\xD0\x82", "\x80"},  // Ё ё, Ђ
      {"\xE2\x80\x9A", "\x82"}, {"\xE2\x80\xA6", "\x85"},  // ‚ …
      {"\xE2\x82\xAC", "\x88"}, {"\xE2\x80\x94", "\x97"}, {"\xE2\x84\xA2", "\x99"},  // € — ™
      {"\xC2\xA0", "\xA0"}, {"\xD2\x90", "\xA5"}, {"\xC2\xAB\xC2\xBB", "\xAB\xBB"},  // nbsp Ґ « »
      {"\xE2\x84\x96", "\xB9"}, {"\xD1\x97", "\xBF"},  // №, ї (last of 0x80-0xBF)
      // Refused: é (not in the code page), U+0098 (0x98 unassigned), an emoji, a lone
      // continuation byte, a character cut short, an overlong NUL, a UTF-16 surrogate.
      {"\xC3\xA9", nullptr}, {"\xC2\x98", nullptr}, {"\xF0\x9F\x98\x80", nullptr},
      {"\x80", nullptr}, {"\xD0", nullptr}, {"\xC0\x80", nullptr}, {"\xED\xA0\x80", nullptr}};
  // clang-format on
  for (const auto& [utf8, cp1251] : rows) {
    std::string out;
    EXPECT_EQ(glimmerc::utf8ToCp1251(utf8, out), cp1251 != nullptr) << utf8;
    EXPECT_TRUE(!cp1251 || out == cp1251) << utf8 << " gave " << out;
  }
}

}  // namespace
