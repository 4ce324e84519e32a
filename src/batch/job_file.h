#pragma once

#include <string>
#include <vector>

namespace varnoklis::batch {

/// One line of a job file: the four parameters of a single run and where they were written.
struct Job {
  int line = 0;          ///< line number in the job file, from 1
  std::string keyword;   ///< download function, upper case
  std::string terminal;  ///< terminal name as written
  std::string path;      ///< download file path as written
  std::string mode;      ///< "1" new file, "0" append
  int group = 0;         ///< jobs with the same group write the same file and take turns
};

/// A job file read and checked: its jobs in file order, or one message per bad line.
struct JobFile {
  std::vector<Job> jobs;
  std::vector<std::string> errors;  ///< "FILE:LINE: reason", in line order
};

/// Reads and checks the job file at `path`; a file that cannot be read gives one error.
JobFile read_job_file(const std::string& path);

/// Checks the text of a job file named `name` (for the messages) and groups jobs of one path.
JobFile parse_jobs(const std::string& name, const std::string& text);

/// The name of a job's log file: L0042-QZDNL17P-T01.log.
std::string log_name(const Job& job);

}  // namespace varnoklis::batch
