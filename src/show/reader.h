// Reads a download file into records, checking that it has the shape of its layout.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "show/layouts.h"

namespace varnoklis::show {

/// One record: the bytes of each field of its layout, in layout order (a quoted value without
/// its quotes, a doubled quote read as one).
struct Record {
  std::vector<std::string> fields;
};

/// The records of a download file, or why it could not be read (then `records` is empty).
struct Contents {
  bool ok = false;
  std::string problem;  ///< what is wrong, without the file name
  std::vector<Record> records;
};

/// Splits the bytes of a download file into records of `layout`: whole fixed-length records, or
/// lines (CR LF or LF) of exactly thirteen quoted, comma-separated values.
Contents parse_download(const Layout& layout, std::string_view bytes);

/// Reads a regular file and splits it; a missing or unreadable file is a problem, not empty.
Contents read_download(const Layout& layout, const std::string& path);

/// The badge number of a record: its first field as shown.
std::string_view badge_of(const Layout& layout, const Record& record);

}  // namespace varnoklis::show
