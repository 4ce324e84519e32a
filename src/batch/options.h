#pragma once

#include <string>
#include <vector>

namespace varnoklis::batch {

/// What the command line of the batch asks for.
struct Options {
  std::string job_file;
  int workers = 1;  ///< jobs at a time, 1 to 64
  std::string logs = "varnoklis-logs";
  std::string report;            ///< JSON Lines file; empty: none
  std::string metrics;           ///< Prometheus text file; empty: none
  std::size_t memory_mib = 128;  ///< bound of the shared answer memory
  int keep_nights = 14;          ///< night folders of logs kept; 0: all
  int max_removed = 50;          ///< removal limit of every job in percent: --max-removed, else
                                 ///< VARNOKLIS_MAX_REMOVED, else 50
  bool check = false;            ///< only check the job file and what the night needs
  bool connect = false;          ///< with check: also connect once
  bool help = false;
  bool version = false;
};

/// Reads the command line; false with `error` set when an option or its value is wrong.
bool parse_options(const std::vector<std::string>& arguments, Options& options, std::string& error);

/// The short synopsis that --help prints.
const char* help_text();

}  // namespace varnoklis::batch
