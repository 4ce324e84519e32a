#include "show/table.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_store.h"

namespace varnoklis::show {
namespace {

std::string data(const std::string& name) {
  return VARNOKLIS_SOURCE_DIR "/tests/show/data/" + name;
}

class ShowTable : public ::testing::TestWithParam<const char*> {};

// The download files of the demo's terminal T01, each with the table an operator sees.
TEST_P(ShowTable, DemoFileAsWholeTable) {
  const std::string keyword = GetParam();
  const Layout* layout = find_layout(keyword);
  ASSERT_NE(layout, nullptr);
  Contents contents = read_download(*layout, data("T01-" + keyword + ".dnl"));
  ASSERT_TRUE(contents.ok) << contents.problem;
  EXPECT_EQ(format_table(*layout, contents.records, Encoding::Cp1252),
            testing::read_file(data("T01-" + keyword + ".table")));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ShowTable,
                         ::testing::Values("QZDNL17P", "QZDNL18P", "QZDNL31P", "QZDNL60P",
                                           "IDSTAMM"));

}  // namespace
}  // namespace varnoklis::show
