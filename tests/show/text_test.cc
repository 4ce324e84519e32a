#include "show/text.h"

#include <gtest/gtest.h>

namespace varnoklis::show {
namespace {

TEST(ShowText, RendersCodePage1252AndEscapesControls) {
  struct Case {
    std::string_view bytes;
    std::string_view cp1252;
    std::string_view utf8;
    std::size_t width;
  };
  const Case cases[] = {
      {"Gr\xfc\xdf"
       "e",
       "Gr\xfc\xdf"
       "e",
       "Gr\xc3\xbc\xc3\x9f"
       "e",
       5},
      {"\x80\x9f\xa0\xff", "\x80\x9f\xa0\xff", "\xe2\x82\xac\xc5\xb8\xc2\xa0\xc3\xbf", 4},
      {"a\x1b[2Jb", "a\\x1B[2Jb", "a\\x1B[2Jb", 9},
      {"\x7f\t\r", "\\x7F\\x09\\x0D", "\\x7F\\x09\\x0D", 12},
      {"\x81\x8d\x8f\x90\x9d", "\\x81\\x8D\\x8F\\x90\\x9D", "\\x81\\x8D\\x8F\\x90\\x9D", 20},
      {std::string_view("\0", 1), "\\x00", "\\x00", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cp1252);
    Cell cp1252 = render(c.bytes, Encoding::Cp1252);
    Cell utf8 = render(c.bytes, Encoding::Utf8);
    EXPECT_EQ(cp1252.text, c.cp1252);
    EXPECT_EQ(utf8.text, c.utf8);
    EXPECT_EQ(cp1252.width, c.width);
    EXPECT_EQ(utf8.width, c.width);
  }
}

}  // namespace
}  // namespace varnoklis::show
