// Counts what a new download file changes against an earlier one, badge by badge.
#pragma once

#include <cstdint>
#include <string>

#include "records/layouts.h"

namespace varnoklis::records {

/// The distinct badges a new file adds, removes and changes against an old one, and how many the
/// old one holds. A badge's several records compare as their sorted list.
struct BadgeDiff {
  bool comparable = false;  ///< false: a file is not whole records of the layout
  std::uint64_t added = 0;
  std::uint64_t removed = 0;
  std::uint64_t changed = 0;
  std::uint64_t previous = 0;  ///< distinct badges of the old file
};

/// Compares the download files of `layout` readable at `old_fd` and `new_fd`, each read once
/// from its start without moving its position.
BadgeDiff compare_badges(const Layout& layout, int old_fd, int new_fd);

/// The counts line of a comparison, with its line end.
std::string badge_diff_line(const BadgeDiff& diff);

}  // namespace varnoklis::records
