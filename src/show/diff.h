// Compares two download files of one layout badge by badge.
#pragma once

#include <string>
#include <vector>

#include "show/layouts.h"
#include "show/reader.h"
#include "show/text.h"

namespace varnoklis::show {

/// What a comparison found: one line per difference, and whether there was any.
struct Comparison {
  bool differ = false;
  std::string text;
};

/// Lists, in order of badge number, the badges only in the old or only in the new records, and
/// for a badge in both every changed field, old -> new. The records of one badge are compared
/// pairwise in file order; records beyond the other file's count are added or removed.
Comparison compare_records(const Layout& layout, const std::vector<Record>& old_records,
                           const std::vector<Record>& new_records, Encoding encoding);

}  // namespace varnoklis::show
