// Field values as printed on standard output, in the code page of the files or in UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnoklis::show {

/// The character encoding of the output: code page 1252 to a pipe or file, to a terminal, or UTF-8.
enum class Encoding { Cp1252, Cp1252Terminal, Utf8 };

/// UTF-8 when the locale of the environment (LC_ALL, LC_CTYPE, LANG) names the UTF-8 character
/// set, else code page 1252, the encoding of the download files; `terminal`: output goes to one.
Encoding encoding_of_locale(bool terminal);

/// A value ready to print: its text in the output encoding and its width in columns.
struct Cell {
  std::string text;
  std::size_t width = 0;
};

/// Renders bytes of code page 1252. Control bytes and the five bytes that code page 1252 leaves
/// undefined are shown as \xHH, and on a terminal also 0x80 to 0x9F, so that no byte of a file
/// can steer the terminal.
Cell render(std::string_view bytes, Encoding encoding);

}  // namespace varnoklis::show
