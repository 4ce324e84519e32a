// Record layouts of the download files as the operator tools read them.
#pragma once

#include <span>
#include <string_view>

#include "records/layouts.h"

namespace varnoklis::show {

using records::Field;
using records::Layout;

/// The layout of a download-function keyword in any letter case; nullptr for an unknown one.
const Layout* find_layout(std::string_view keyword);

/// The five layouts, in the order QZDNL17P, QZDNL18P, QZDNL31P, QZDNL60P, IDSTAMM.
std::span<const Layout> all_layouts();

/// A field's value as the operator reads it: a fixed-length field without its trailing blanks,
/// a reader group as its class (the reader number is the column name), a quoted value as it is.
std::string_view shown_value(const Layout& layout, const Field& field, std::string_view raw);

}  // namespace varnoklis::show
