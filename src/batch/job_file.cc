#include "batch/job_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <utility>

#include "base/files.h"
#include "builders/builder.h"
#include "db/staging.h"
#include "db/text.h"
#include "run/setup.h"

namespace varnoklis::batch {

namespace {

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    if (blank(line[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < line.size() && !blank(line[end])) ++end;
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

bool is_mode(const std::string& field) {
  return field == "0" || field == "1";
}

// The reason a line's fields cannot make a job, or empty when they can.
std::string check_fields(const std::vector<std::string>& fields) {
  if (fields.size() > 4 && is_mode(fields.back())) {
    return "the path holds a blank; a path in a job file cannot hold blanks or tabs";
  }
  if (fields.size() != 4) {
    return "expected 4 fields KEYWORD TERMINAL PATH MODE, found " + std::to_string(fields.size());
  }
  std::string keyword = fields[0];
  upper_case(keyword);
  if (find_builder(keyword) == nullptr) return "unknown keyword " + fields[0];
  if (fields[1].size() > kTerminalCapacity) {
    return "terminal " + fields[1] + " is longer than " + std::to_string(kTerminalCapacity) +
           " characters";
  }
  if (fields[2].size() > kStagingKeyCapacity) {
    return "path " + fields[2] + " is longer than " + std::to_string(kStagingKeyCapacity) +
           " characters";
  }
  if (!is_mode(fields[3])) return "mode " + fields[3] + " is neither 1 (new) nor 0 (append)";
  return {};
}

// Jobs name the same file when their paths compare equal as the database compares staging keys,
// or when they lead to the same existing file. Equal is transitive through either, so the jobs
// form groups; the parent of a job is an earlier job of its group.
class PathGroups {
 public:
  // Why `job` may not follow the earlier jobs of its file, or empty when it joins them: only the
  // first job of a file may replace it, and the later ones append with its keyword, each once.
  std::string join(const Job& job, const std::vector<Job>& jobs) {
    std::string folded = folded_key(job.path);
    struct stat info {};
    bool exists = ::stat(job.path.c_str(), &info) == 0;
    std::pair<dev_t, ino_t> file{info.st_dev, info.st_ino};
    std::vector<int> matches;
    for (int index = 0; index < static_cast<int>(keys_.size()); ++index) {
      if (keys_[index] == folded || (exists && files_[index] == file)) matches.push_back(index);
    }
    for (int index : matches) {
      if (jobs[index].keyword != job.keyword) {
        return "path " + job.path + " is also written by line " + std::to_string(jobs[index].line) +
               " with another keyword, " + jobs[index].keyword;
      }
    }
    if (!matches.empty() && job.mode == "1") {
      return "replaces the file that line " + std::to_string(jobs[matches[0]].line) + " writes";
    }
    for (int index : matches) {
      if (folded_key(jobs[index].terminal) == folded_key(job.terminal)) {
        return "repeats the job of line " + std::to_string(jobs[index].line);
      }
    }
    int self = static_cast<int>(parent_.size());
    parent_.push_back(self);
    for (int index : matches) parent_[root(index)] = self;
    keys_.push_back(folded);
    files_.push_back(exists ? file : std::pair<dev_t, ino_t>{});
    return {};
  }

  // The group of an accepted job: the latest job that joined it.
  int root(int job) {
    while (parent_[job] != job) job = parent_[job] = parent_[parent_[job]];
    return job;
  }

 private:
  std::vector<std::string> keys_;               // folded path of each accepted job
  std::vector<std::pair<dev_t, ino_t>> files_;  // its file, zero when it did not exist
  std::vector<int> parent_;
};

}  // namespace

JobFile parse_jobs(const std::string& name, const std::string& text) {
  JobFile file;
  PathGroups groups;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    std::vector<std::string> fields = split_fields(line);
    if (fields.empty() || fields[0][0] == '#') continue;
    auto bad = [&](const std::string& reason) {
      file.errors.push_back(name + ":" + std::to_string(number) + ": " + reason);
    };
    if (std::string reason = check_fields(fields); !reason.empty()) {
      bad(reason);
      continue;
    }
    Job job{number, fields[0], fields[1], fields[2], fields[3], 0};
    upper_case(job.keyword);
    if (std::string reason = groups.join(job, file.jobs); !reason.empty()) {
      bad(reason);
      continue;
    }
    file.jobs.push_back(std::move(job));
  }
  for (std::size_t i = 0; i < file.jobs.size(); ++i) {
    file.jobs[i].group = groups.root(static_cast<int>(i));
  }
  // A night without a job is no successful night: the installed file holds only comments.
  if (file.jobs.empty() && file.errors.empty()) file.errors.push_back(name + ": no jobs");
  return file;
}

JobFile read_job_file(const std::string& path) {
  std::string text;
  int error = read_whole_file(path, text);
  if (error == 0) return parse_jobs(path, text);
  JobFile file;
  file.errors.push_back(path + ": cannot read the job file: " + std::strerror(error));
  return file;
}

std::string log_name(const Job& job) {
  char number[16];
  std::snprintf(number, sizeof number, "L%04d", job.line);
  std::string terminal = job.terminal;
  // A slash would put the log into another folder.
  for (char& c : terminal) {
    if (c == '/') c = '_';
  }
  return std::string(number) + "-" + job.keyword + "-" + terminal + ".log";
}

}  // namespace varnoklis::batch
