#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace varnoklis {

/// Largest number of staged records collected for one burst.
inline constexpr std::size_t kLargestCommitGroup = 1000;

/// A record built but not yet sent, with the badge it was built for.
struct PendingRecord {
  std::string text;
  std::string badge;
};

/// The staged records of one download-file path collected for the next burst, and how many make
/// a burst: 1, the default, sends each record at once under automatic commit on the one
/// connection.
struct StagingGroup {
  std::size_t size = 1;
  std::string path;
  std::vector<PendingRecord> records;

  /// Whether records are committed in groups, on a staging connection of their own.
  bool in_bursts() const { return size > 1; }
};

}  // namespace varnoklis
