// UTF-8 to Windows-1251: expected bytes read off the public chart of code page 1251 (Cyrillic
// letters at 0xC0-0xFF in alphabetical order, Ё/ё at 0xA8/0xB8, the typographic punctuation
// and the other Slavic letters at 0x80-0xBF, 0x98 unassigned).
#include "tools/compile/cp1251.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Row {
  const char* utf8;
  const char* cp1251;  // nullptr: the conversion fails
};

TEST(Cp1251, ConvertsOrRefusesEachCharacter) {
  const Row rows[] = {
      {"plain ASCII", "plain ASCII"},
      {"\xD0\x90", "\xC0"},                                // А U+0410, first capital
      {"\xD1\x8F", "\xFF"},                                // я U+044F, last small
      {"\xD0\x96", "\xC6"},                                // Ж U+0416
      {"\xD0\x81\xD1\x91", "\xA8\xB8"},                    // Ё ё
      {"Hi \xD0\x9C\xD0\xB8\xD1\x80", "Hi \xCC\xE8\xF0"},  // Мир
      {"\xD0\x82", "\x80"},                                // Ђ U+0402
      {"\xE2\x80\x9A", "\x82"},                            // ‚ single low quotation mark
      {"\xE2\x80\xA6", "\x85"},                            // … horizontal ellipsis
      {"\xE2\x82\xAC", "\x88"},                            // € euro sign
      {"\xE2\x80\x94", "\x97"},                            // — em dash
      {"\xE2\x84\xA2", "\x99"},                            // ™ trade mark sign
      {"\xC2\xA0", "\xA0"},                                // no-break space
      {"\xD2\x90", "\xA5"},                                // Ґ U+0490
      {"\xC2\xAB\xC2\xBB", "\xAB\xBB"},                    // « »
      {"\xE2\x84\x96", "\xB9"},                            // № numero sign
      {"\xD1\x97", "\xBF"},           // ї U+0457, last of the upper half's first part
      {"\xC3\xA9", nullptr},          // é: not in the code page
      {"\xC2\x98", nullptr},          // U+0098: 0x98 is unassigned
      {"\xF0\x9F\x98\x80", nullptr},  // an emoji
      {"\x80", nullptr},              // a continuation byte alone
      {"\xD0", nullptr},              // a character cut short
      {"\xC0\x80", nullptr},          // an overlong NUL
      {"\xED\xA0\x80", nullptr},      // a UTF-16 surrogate
  };
  for (const Row& row : rows) {
    std::string out;
    const bool ok = glimmerc::utf8ToCp1251(row.utf8, out);
    EXPECT_EQ(ok, row.cp1251 != nullptr) << row.utf8;
    if (ok && row.cp1251) {
      EXPECT_EQ(out, row.cp1251) << row.utf8;
    }
  }
}

}  // namespace
