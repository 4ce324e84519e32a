#include "show/layouts.h"

#include <gtest/gtest.h>

#include "builders/builder.h"

namespace varnoklis::show {
namespace {

// Each fixed layout covers its record exactly, field after field, with the record length of the
// builder that writes it; IDSTAMM has its thirteen values.
TEST(ShowLayouts, FieldsCoverEachRecordOfItsBuilder) {
  ASSERT_EQ(all_layouts().size(), 5u);
  for (const Layout& layout : all_layouts()) {
    SCOPED_TRACE(layout.keyword);
    const Builder* builder = find_builder(layout.keyword);
    ASSERT_NE(builder, nullptr);
    EXPECT_EQ(layout.record_length, builder->record_length);
    if (layout.record_length == 0) {
      EXPECT_EQ(layout.fields.size(), 13u);
      continue;
    }
    std::size_t next = 1;
    for (const Field& field : layout.fields) {
      EXPECT_EQ(field.position, next) << field.name;
      next = field.position + field.width;
    }
    EXPECT_EQ(next, layout.record_length + 1);
  }
  EXPECT_EQ(find_layout("idstamm"), &all_layouts()[4]);
  EXPECT_EQ(find_layout("QZDNL99P"), nullptr);
}

}  // namespace
}  // namespace varnoklis::show
