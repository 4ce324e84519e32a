#include "batch/options.h"

#include <charconv>
#include <cstdlib>
#include <optional>

#include "run/run.h"

namespace varnoklis::batch {

namespace {

constexpr long kMostNightsKept = 100000;

bool parse_number(const std::string& text, long low, long high, long& value) {
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end && value >= low && value <= high;
}

// Splits "--name=value" into its name and value; other arguments stay whole.
bool split_value(std::string& argument, std::string& value) {
  std::size_t equals = argument.find('=');
  if (argument.rfind("--", 0) != 0 || equals == std::string::npos) return false;
  value = argument.substr(equals + 1);
  argument.resize(equals);
  return true;
}

bool set_option(const std::string& name, const std::string& value, Options& options,
                bool& explicit_limit, std::string& error) {
  long number = 0;
  if (name == "-j") {
    if (parse_number(value, 1, 64, number)) {
      options.workers = static_cast<int>(number);
      return true;
    }
    error = "-j needs a number of jobs from 1 to 64, not '" + value + "'";
    return false;
  }
  if (name == "--memory") {
    if (parse_number(value, 1, 1 << 20, number)) {
      options.memory_mib = static_cast<std::size_t>(number);
      return true;
    }
    error = "--memory needs a size in MiB from 1 to 1048576, not '" + value + "'";
    return false;
  }
  if (name == "--keep-nights") {
    if (parse_number(value, 0, kMostNightsKept, number)) {
      options.keep_nights = static_cast<int>(number);
      return true;
    }
    error = "--keep-nights needs a number of nights from 0 to " + std::to_string(kMostNightsKept) +
            ", not '" + value + "'";
    return false;
  }
  if (name == "--max-removed") {
    std::optional<int> limit = parse_removal_limit(value);
    if (limit) {
      options.max_removed = *limit;
      explicit_limit = true;
      return true;
    }
    error = "--max-removed needs a share in percent from 0 to 100, not '" + value + "'";
    return false;
  }
  if (value.empty()) {
    error = name + " needs a file or folder name";
    return false;
  }
  (name == "--logs" ? options.logs : name == "--report" ? options.report : options.metrics) = value;
  return true;
}

bool takes_value(const std::string& name) {
  return name == "-j" || name == "--logs" || name == "--report" || name == "--metrics" ||
         name == "--memory" || name == "--keep-nights" || name == "--max-removed";
}

bool set_flag(const std::string& name, Options& options) {
  bool* flag = name == "--check"     ? &options.check
               : name == "--connect" ? &options.connect
               : name == "--help"    ? &options.help
               : name == "--version" ? &options.version
                                     : nullptr;
  if (flag != nullptr) *flag = true;
  return flag != nullptr;
}

}  // namespace

bool parse_options(const std::vector<std::string>& arguments, Options& options,
                   std::string& error) {
  bool explicit_limit = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::string value;
    bool joined = split_value(name, value);
    if (!joined && name.size() > 2 && name.rfind("-j", 0) == 0) {
      value = name.substr(2);
      name = "-j";
      joined = true;
    }
    if (takes_value(name)) {
      if (!joined && i + 1 == arguments.size()) {
        error = name + " needs a value";
        return false;
      }
      if (!set_option(name, joined ? value : arguments[++i], options, explicit_limit, error)) {
        return false;
      }
    } else if (!joined && set_flag(name, options)) {
      continue;
    } else if (name.size() > 1 && name[0] == '-') {
      error = "unknown option " + arguments[i];
      return false;
    } else if (!options.job_file.empty()) {
      error = "more than one job file: " + options.job_file + " and " + name;
      return false;
    } else {
      options.job_file = arguments[i];
    }
  }
  if (options.connect && !options.check) {
    error = "--connect needs --check";
    return false;
  }
  // Without --max-removed the jobs take the single run's variable, so that a job equals a single
  // run with it set.
  const char* setting = std::getenv("VARNOKLIS_MAX_REMOVED");
  if (!explicit_limit && setting != nullptr && *setting != '\0') {
    std::optional<int> limit = parse_removal_limit(setting);
    if (!limit) {
      error = std::string("VARNOKLIS_MAX_REMOVED ungueltig (0 bis 100 Prozent): ") + setting;
      return false;
    }
    options.max_removed = *limit;
  }
  if (options.job_file.empty() && !options.help && !options.version) {
    error = "no job file named";
    return false;
  }
  return true;
}

const char* help_text() {
  return "Usage: varnoklis-batch JOBFILE [options]\n"
         "Runs the download jobs of JOBFILE, one per line: KEYWORD TERMINAL PATH MODE.\n"
         "  -j N            jobs at a time (default 1, at most 64)\n"
         "  --logs DIR      folder of the nights' log folders (default ./varnoklis-logs)\n"
         "  --keep-nights N keep the N newest night folders of logs (default 14; 0: all)\n"
         "  --report FILE   write a JSON Lines report: a batch record, then one object\n"
         "                  per job (the lines with \"line\")\n"
         "  --metrics FILE  write a Prometheus text file for the textfile collector\n"
         "  --memory MiB    bound of the shared answer memory (default 128)\n"
         "  --max-removed PCT  hold back a new file that removes more than PCT percent\n"
         "                  of the badges of the file it replaces (default 50)\n"
         "  --check         only check the job file and what the night needs\n"
         "  --connect       with --check, also connect to the database once\n"
         "  --help          show this text\n"
         "  --version       show the version\n"
         "See varnoklis-batch(1).\n";
}

}  // namespace varnoklis::batch
