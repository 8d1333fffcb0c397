// UTF-8 decoding (well-formed only: no overlong forms, surrogates or code points past U+10FFFF)
// and a reverse look-up in the upper half of code page 1251.
#include "tools/compile/cp1251.h"

#include <array>
#include <cstdint>

namespace glimmerc {

namespace {

// Unicode code points of bytes 0x80-0xFF in code page 1251; 0 where the code page has no
// character (0x98). Bytes 0x00-0x7F are ASCII.
// clang-format off
constexpr std::array<char16_t, 128> kUpperHalf = {
    // 0x80
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    // 0x90
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    // 0xA0
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    // 0xB0
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    // 0xD0
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    // 0xE0
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    // 0xF0
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};
// clang-format on

// Decodes the UTF-8 character at s[i], advancing i past it; -1 when it is not well-formed.
long decodeUtf8(std::string_view s, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  size_t extra = 0;
  uint32_t cp = 0;
  uint32_t least = 0;  // the smallest code point the length may carry (no overlong forms)
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07u, least = 0x10000;
  } else {
    return -1;
  }
  for (size_t k = 1; k <= extra; ++k) {
    if (i + k >= s.size() || (byte(i + k) & 0xC0u) != 0x80u) return -1;
    cp = (cp << 6) | (byte(i + k) & 0x3Fu);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  i += extra + 1;
  return static_cast<long>(cp);
}

}  // namespace

bool utf8ToCp1251(std::string_view utf8, std::string& out) {
  size_t i = 0;
  while (i < utf8.size()) {
    const long cp = decodeUtf8(utf8, i);
    if (cp < 0) return false;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    size_t b = 0;
    while (b < kUpperHalf.size() && (kUpperHalf[b] == 0 || kUpperHalf[b] != cp)) ++b;
    if (b == kUpperHalf.size()) return false;
    out.push_back(static_cast<char>(0x80 + b));
  }
  return true;
}

}  // namespace glimmerc
