#include "base/encoding.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cstring>

namespace varnoklis {

namespace {

// Code points of the bytes 0x80 to 0x9F in code page 1252; 0 where the code page has none.
constexpr std::array<std::uint16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

// A locale object of its own keeps the process's C locale, which the database driver and the
// number formatting rely on.
bool locale_is_utf8() {
  locale_t environment = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (environment == static_cast<locale_t>(nullptr)) return false;
  const char* codeset = nl_langinfo_l(CODESET, environment);
  bool utf8 = codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
  freelocale(environment);
  return utf8;
}

std::uint32_t cp1252_code_point(unsigned char byte) {
  if (byte < 0x20 || byte == 0x7F) return 0;
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

void append_utf8(std::uint32_t point, std::string& out) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

std::string utf8_of_cp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const std::uint32_t point = cp1252_code_point(byte);
    append_utf8(point != 0 ? point : byte, out);
  }
  return out;
}

}  // namespace varnoklis
