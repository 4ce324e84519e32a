#include "db/text.h"

#include <gtest/gtest.h>

namespace varnoklis {
namespace {

TEST(Text, RightTrimKeepsCarriageReturnsAndUpperCaseOnlyAsciiLetters) {
  std::string text = "AB \t\n \n";
  right_trim(text);
  EXPECT_EQ(text, "AB");
  text = " \t\n";
  right_trim(text);
  EXPECT_EQ(text, "");
  text = "AB\r";
  right_trim(text);
  EXPECT_EQ(text, "AB\r");
  text = "dbo m\xe4\xf6\xfc\xdf z";
  upper_case(text);
  EXPECT_EQ(text, "DBO M\xe4\xf6\xfc\xdf Z");
}

}  // namespace
}  // namespace varnoklis
