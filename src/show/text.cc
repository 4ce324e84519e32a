#include "show/text.h"

#include <langinfo.h>

#include <array>
#include <clocale>
#include <cstdint>
#include <cstring>

namespace varnoklis::show {

namespace {

// Code points of the bytes 0x80 to 0x9F in code page 1252; 0 where the code page has none.
constexpr std::array<std::uint16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The code point of a byte of code page 1252; 0 for a byte that must be escaped.
std::uint32_t code_point(unsigned char byte) {
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

void append_escape(unsigned char byte, std::string& out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0xF];
}

}  // namespace

Encoding encoding_of_locale() {
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0 ? Encoding::Utf8
                                                                  : Encoding::Cp1252;
}

Cell render(std::string_view bytes, Encoding encoding) {
  Cell cell;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    const std::uint32_t point = code_point(byte);
    if (point == 0) {
      append_escape(byte, cell.text);
      cell.width += 4;
      continue;
    }
    if (encoding == Encoding::Utf8) {
      append_utf8(point, cell.text);
    } else {
      cell.text += c;
    }
    ++cell.width;
  }
  return cell;
}

}  // namespace varnoklis::show
