#include "records/layouts.h"

#include <gtest/gtest.h>

#include <vector>

#include "builders/builder.h"
#include "builders/builder_store.h"
#include "show/layouts.h"
#include "support/temp_store.h"

namespace varnoklis::records {
namespace {

// How many shown fields cover each position of a fixed-length record (index 0 unused); a field
// running past the record counts at its last position.
std::vector<int> coverage(const Layout& layout) {
  std::vector<int> count(layout.record_length + 1, 0);
  for (const Field& field : layout.fields) {
    for (std::size_t at = field.position; at < field.position + field.width; ++at) {
      ++count[std::min(at, layout.record_length)];
    }
  }
  return count;
}

// Each fixed layout covers its record exactly, field after field, every position by one shown
// field and every span inside the record; IDSTAMM has its thirteen values, numbered in line order.
TEST(RecordLayouts, FieldsCoverEachRecord) {
  ASSERT_EQ(all_layouts().size(), 5u);
  for (const Layout& layout : all_layouts()) {
    SCOPED_TRACE(layout.keyword);
    if (layout.record_length == 0) {
      EXPECT_EQ(layout.fields.size(), 13u);
      for (std::size_t i = 0; i < layout.fields.size(); ++i) {
        EXPECT_EQ(layout.fields[i].position, i + 1);
      }
      continue;
    }
    std::size_t next = 1;
    for (const Field& field : layout.fields) {
      EXPECT_EQ(field.position, next) << field.name;
      next = field.position + field.width;
    }
    EXPECT_EQ(next, layout.record_length + 1);
    const std::vector<int> count = coverage(layout);
    for (std::size_t at = 1; at <= layout.record_length; ++at) EXPECT_EQ(count[at], 1) << at;
    for (const Field& span : layout.spans) {
      EXPECT_GE(span.position, 1u) << span.name;
      EXPECT_LE(span.position + span.width, layout.record_length + 1) << span.name;
    }
  }
  EXPECT_EQ(show::find_layout("idstamm"), &all_layouts()[4]);
  EXPECT_EQ(show::find_layout("QZDNL99P"), nullptr);
  // The bash completion and the scripts take the keywords and lengths from what the build read
  // out of the layouts' sources.
  std::string listed;
  for (const Layout& layout : all_layouts()) {
    listed += std::string(layout.keyword) + " " + std::to_string(layout.record_length) + "\n";
  }
  EXPECT_EQ(testing::read_file(VARNOKLIS_BINARY_DIR "/generated/layouts.txt"), listed);
}

// The builder a layout's keyword finds writes records of that layout: fixed-length records of its
// length, or lines of thirteen quoted values.
TEST(RecordLayouts, EachKeywordsBuilderWritesItsLayout) {
  testing::TempStore store;
  testing::seed_two_clients(store);
  for (const Layout& layout : all_layouts()) {
    SCOPED_TRACE(layout.keyword);
    const Builder* builder = find_builder(layout.keyword);
    ASSERT_NE(builder, nullptr);
    Session session;
    store.connect(session);
    ASSERT_EQ(session.switch_schema("MANDANT1"), 0);
    ::testing::internal::CaptureStdout();
    builder->build(session, layout.keyword, "T01", "MANDANT1");
    ::testing::internal::GetCapturedStdout();
    const std::vector<std::string> records = testing::staged(store, layout.keyword);
    ASSERT_FALSE(records.empty());
    std::vector<std::string> values;
    for (const std::string& record : records) {
      if (layout.record_length == 0) {
        EXPECT_TRUE(record.empty() || split_quoted_line(record, values)) << record;
      } else {
        EXPECT_EQ(record.size(), layout.record_length) << record;
      }
    }
  }
}

// Every non-blank byte of the demo's files lies in a shown field of its record.
TEST(RecordLayouts, DemoFilesWriteOnlyIntoFields) {
  for (const Layout& layout : all_layouts()) {
    if (layout.record_length == 0) continue;
    SCOPED_TRACE(layout.keyword);
    const std::string bytes = testing::read_file(VARNOKLIS_SOURCE_DIR "/tests/show/data/T01-" +
                                                 std::string(layout.keyword) + ".dnl");
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.size() % layout.record_length, 0u);
    const std::vector<int> count = coverage(layout);
    for (std::size_t at = 0; at < bytes.size(); ++at) {
      if (bytes[at] != ' ') {
        EXPECT_EQ(count[at % layout.record_length + 1], 1) << at;
      }
    }
  }
}

}  // namespace
}  // namespace varnoklis::records
