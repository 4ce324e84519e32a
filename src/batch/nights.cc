#include "batch/nights.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <utility>
#include <vector>

#include "base/files.h"

namespace varnoklis::batch {

namespace fs = std::filesystem;

namespace {

constexpr int kMostNightsADay = 10000;

// The date and the night of the day (1 without a suffix) of a night folder's name; false for
// every other name, which is never removed.
bool night_of(const std::string& name, std::pair<std::string, long>& night) {
  static const std::regex kNight(R"(^([0-9]{4}-[0-9]{2}-[0-9]{2})(\.([0-9]+))?$)");
  std::smatch match;
  if (!std::regex_match(name, match, kNight)) return false;
  night = {match[1].str(), match[3].matched ? std::strtol(match[3].str().c_str(), nullptr, 10) : 1};
  return true;
}

bool point_latest_at(const std::string& logs, const std::string& night, std::string& error) {
  std::string temporary = (fs::path(logs) / ".latest.varnoklis-new").string();
  std::string latest = (fs::path(logs) / "latest").string();
  ::unlink(temporary.c_str());
  if (::symlink(night.c_str(), temporary.c_str()) != 0 ||
      ::rename(temporary.c_str(), latest.c_str()) != 0) {
    error = "cannot link " + latest + " to " + night + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  sync_folder_of(latest);
  return true;
}

}  // namespace

std::string make_night_folder(const std::string& logs, std::time_t start, std::string& error) {
  struct tm local {};
  localtime_r(&start, &local);
  char date[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", &local);
  for (int night = 1; night <= kMostNightsADay; ++night) {
    std::string name = night == 1 ? date : std::string(date) + "." + std::to_string(night);
    std::string folder = (fs::path(logs) / name).string();
    if (::mkdir(folder.c_str(), 0750) == 0) {
      sync_folder_of(folder);
      point_latest_at(logs, name, error);
      return folder;
    }
    if (errno != EEXIST) break;
  }
  error = "cannot create the log folder " + (fs::path(logs) / date).string() + ": " +
          std::strerror(errno);
  return {};
}

std::vector<std::string> prune_nights(const std::string& logs, int keep,
                                      const std::string& tonight) {
  if (keep == 0) return {};
  std::vector<std::pair<std::pair<std::string, long>, fs::path>> nights;
  std::error_code error;
  for (fs::directory_iterator it(logs, error), end; !error && it != end; it.increment(error)) {
    std::pair<std::string, long> night;
    if (night_of(it->path().filename().string(), night)) nights.emplace_back(night, it->path());
  }
  std::sort(nights.begin(), nights.end(), [](const auto& a, const auto& b) { return a > b; });
  std::vector<std::string> messages;
  for (std::size_t i = static_cast<std::size_t>(keep); i < nights.size(); ++i) {
    const fs::path& folder = nights[i].second;
    if (folder.filename() == fs::path(tonight).filename()) continue;
    // A link named like a night is removed itself; what it points to is left alone.
    fs::remove_all(folder, error);
    if (error) messages.push_back("cannot remove " + folder.string() + ": " + error.message());
  }
  return messages;
}

}  // namespace varnoklis::batch
