// A download file as a table: one line per record, one column per field.
#pragma once

#include <string>
#include <vector>

#include "show/layouts.h"
#include "show/reader.h"
#include "show/text.h"

namespace varnoklis::show {

/// The table of `records`: a line of column names, then one line per record, columns
/// left-aligned and two blanks apart (none before a joined field), no blanks at a line's end.
std::string format_table(const Layout& layout, const std::vector<Record>& records,
                         Encoding encoding);

}  // namespace varnoklis::show
