// Compares a badge's records in a download file with the records that would be built now.
#pragma once

#include <string>
#include <vector>

#include "explain/explanation.h"
#include "records/layouts.h"

namespace varnoklis::explain {

/// The fields of a record as the download writer writes it (without CR LF), in layout order.
std::vector<std::string> record_fields(const records::Layout& layout, const std::string& record);

/// Reads the file at `path` and compares its records of `badge` (those varnoklis-show lists for
/// it) with `built`, both in sorted order.
FileComparison compare_file(const records::Layout& layout, const std::string& path,
                            const std::string& badge, const std::vector<std::string>& built);

}  // namespace varnoklis::explain
