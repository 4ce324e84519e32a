#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace varnoklis::batch {

/// Makes the night's log folder `LOGS/YYYY-MM-DD` of the local date of `start` (`.2`, `.3` and so
/// on for later nights of the same day) and points `LOGS/latest` at it, replacing the link
/// atomically. Returns the folder; `error` is set when the folder or the link could not be made
/// (the folder is empty when it was not made).
std::string make_night_folder(const std::string& logs, std::time_t start, std::string& error);

/// Removes all but the `keep` newest night folders of `logs` (0 keeps all), never `tonight`, and
/// nothing whose name is not a night's. Returns a message for each that could not be removed.
std::vector<std::string> prune_nights(const std::string& logs, int keep,
                                      const std::string& tonight);

}  // namespace varnoklis::batch
