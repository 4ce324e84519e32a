#include "show/text.h"

#include <cstdint>

#include "base/encoding.h"

namespace varnoklis::show {

namespace {

void append_escape(unsigned char byte, std::string& out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0xF];
}

}  // namespace

Encoding encoding_of_locale(bool terminal) {
  if (locale_is_utf8()) return Encoding::Utf8;
  return terminal ? Encoding::Cp1252Terminal : Encoding::Cp1252;
}

Cell render(std::string_view bytes, Encoding encoding) {
  Cell cell;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    const std::uint32_t point = cp1252_code_point(byte);
    // On a terminal the bytes 0x80 to 0x9F are its 8-bit control codes (0x9B starts a command).
    const bool c1 = byte >= 0x80 && byte < 0xA0 && encoding == Encoding::Cp1252Terminal;
    if (point == 0 || c1) {
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
