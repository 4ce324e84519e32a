#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnoklis {

/// Whether the character set of the environment's locale (LC_ALL, LC_CTYPE, LANG) is UTF-8.
/// Leaves the process's own locale as it is.
bool locale_is_utf8();

/// The code point of a byte of code page 1252; 0 for a control byte (below 0x20, 0x7F) and for
/// the five bytes that code page 1252 leaves undefined.
std::uint32_t cp1252_code_point(unsigned char byte);

/// Appends the UTF-8 form of the code point `point` (below 0x10000).
void append_utf8(std::uint32_t point, std::string& out);

/// Code-page-1252 text in UTF-8; control and undefined bytes become the code point of their
/// value.
std::string utf8_of_cp1252(std::string_view text);

}  // namespace varnoklis
