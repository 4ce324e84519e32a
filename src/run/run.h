#pragma once

namespace varnoklis {

/// Exit status of a run.
enum ExitStatus : int {
  kExitOk = 0,              ///< the file holds every record the run built
  kExitUsage = 1,           ///< missing, over-long or unknown parameters; nothing done
  kExitConnect = 2,         ///< configuration unusable or connect failed; nothing done
  kExitDatabase = 3,        ///< staging rows not cleared or not read back; file untouched
  kExitFileNotWritten = 4,  ///< the download file could not be written; file untouched
  kExitRecordsMissing = 5,  ///< file written, but records are missing from it
};

/// Prints the usage text of the command line (the lines after the parameter count).
void print_usage_text();

/// Runs the whole sequence for the command line and returns the exit status.
int run(int argc, const char* const* argv);

}  // namespace varnoklis
