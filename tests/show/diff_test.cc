#include "show/diff.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_store.h"

namespace varnoklis::show {
namespace {

std::vector<Record> records_of(const char* keyword, std::string_view bytes) {
  Contents contents = parse_download(*find_layout(keyword), bytes);
  EXPECT_TRUE(contents.ok) << contents.problem;
  return contents.records;
}

std::string fixture(const std::string& name) {
  return testing::read_file(VARNOKLIS_SOURCE_DIR "/tests/show/data/" + name);
}

void replace(std::string& text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

TEST(ShowDiff, AddedRemovedAndChangedBadges) {
  // Two nights of the demo: class 99 got zone HAUPT, badge 1012 was withdrawn, 2004 started.
  Comparison nights =
      compare_records(*find_layout("QZDNL17P"), records_of("QZDNL17P", fixture("T01-QZDNL17P.dnl")),
                      records_of("QZDNL17P", fixture("T01-QZDNL17P.next.dnl")), Encoding::Utf8);
  std::string groups;
  for (const char* group : {"01", "02", "03", "04", "05", "06", "08", "09", "10", "11"}) {
    groups += std::string("badge 1004: ") + group + " \"\" -> \"99\"\n";
  }
  EXPECT_TRUE(nights.differ);
  EXPECT_EQ(nights.text, "badge 1004: access \"0\" -> \"1\"\n" + groups +
                             "badge 1012: removed\n"
                             "badge 2004: added\n");

  // Badge 1013 stands twice (two locations): its records pair up in file order. A quoted value
  // keeps its blanks, and a doubled quote reads as one.
  std::string old_file = fixture("T01-IDSTAMM.dnl");
  std::string new_file = old_file;
  replace(new_file, "\"1013\",\"20251208\",\"\",\"00012\"", "\"1013\",\"20251208\",\"\",\"00099\"");
  replace(new_file, "\"001\",\"10 \",\"\",\"101\"", "\"001\",\"10\",\"\",\"1\"\"01\"");
  replace(new_file,
          "\"2003\",\"20251208\",\"\",\"\",\"1\",\"1\",\"1\",\"STD\",\"001\",\"20 \",\"\","
          "\"203\",\"1\"\r\n",
          "");
  new_file += "\"1013\",\"\",\"\",\"\",\"1\",\"0\",\"\",\"\",\"001\",\"0\",\"\",\"\",\"1\"\r\n";
  Comparison lines = compare_records(*find_layout("IDSTAMM"), records_of("IDSTAMM", old_file),
                                     records_of("IDSTAMM", new_file), Encoding::Utf8);
  EXPECT_TRUE(lines.differ);
  EXPECT_EQ(lines.text,
            "badge 1001: class \"10 \" -> \"10\"\n"
            "badge 1001: person \"101\" -> \"1\"01\"\n"
            "badge 1013 record 2: location \"00012\" -> \"00099\"\n"
            "badge 1013 record 3: added\n"
            "badge 2003: removed\n");
}

}  // namespace
}  // namespace varnoklis::show
