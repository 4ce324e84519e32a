#include "batch/outcome.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "run/destination.h"

namespace varnoklis::batch {

namespace {

std::string format(const char* pattern, auto... values) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, values...);
  return buffer;
}

// The length of the well-formed UTF-8 sequence at `at`, or 0 when the byte there starts none.
std::size_t utf8_length(const std::string& text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points above U+10FFFF.
  unsigned char second = byte(at + 1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return length;
}

// Escapes a text for `escape_byte`, which returns the escape of a byte that needs one or empty.
std::string escape(const std::string& text, std::string (*escape_byte)(unsigned char, bool)) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = utf8_length(text, at);
    unsigned char c = static_cast<unsigned char>(text[at]);
    std::string escaped = escape_byte(c, length == 0);
    if (!escaped.empty()) {
      out += escaped;
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}

std::string json_byte(unsigned char c, bool malformed) {
  if (c == '"' || c == '\\') return std::string("\\") + static_cast<char>(c);
  if (malformed || c < 0x20 || c == 0x7F) return format("\\u%04x", c);
  return {};
}

// The text format has no escape for bytes that are not UTF-8; they are written as \xHH text.
std::string label_byte(unsigned char c, bool malformed) {
  if (c == '"' || c == '\\') return std::string("\\") + static_cast<char>(c);
  if (c == '\n') return "\\n";
  if (malformed) return format("\\\\x%02X", c);
  return {};
}

std::string json_string(const std::string& text) {
  return "\"" + escape(text, json_byte) + "\"";
}

std::string labels(const Job& job) {
  return "{keyword=\"" + escape(job.keyword, label_byte) + "\",terminal=\"" +
         escape(job.terminal, label_byte) + "\",path=\"" + escape(job.path, label_byte) + "\"}";
}

std::string job_tail(const Job& job) {
  return format("L%04d ", job.line) + job.keyword + " " + job.terminal + " " + job.path;
}

}  // namespace

std::string summary_line(const Job& job, const Outcome& outcome) {
  return job_tail(job) + " status=" + std::to_string(outcome.status) +
         " badges=" + std::to_string(outcome.counts.badges) +
         " records=" + std::to_string(outcome.counts.records) +
         format(" seconds=%.2f\n", outcome.seconds);
}

std::string summary_end(const std::vector<Job>& jobs, const std::vector<Outcome>& outcomes,
                        double seconds, int status) {
  std::size_t ok = 0, failed = 0, not_run = 0;
  std::string tail;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const Outcome& outcome = outcomes[i];
    if (!outcome.ran) {
      ++not_run;
      tail += "not run: " + job_tail(jobs[i]) + "\n";
    } else if (outcome.status != 0) {
      ++failed;
      tail += "failed: " + job_tail(jobs[i]) + " status=" + std::to_string(outcome.status) + "\n";
    } else {
      ++ok;
    }
  }
  return "total jobs=" + std::to_string(jobs.size()) + " ok=" + std::to_string(ok) +
         " failed=" + std::to_string(failed) + " not_run=" + std::to_string(not_run) +
         format(" seconds=%.2f status=%d\n", seconds, status) + tail;
}

int batch_status(const std::vector<Outcome>& outcomes, bool stopped, bool output_failed) {
  int highest = output_failed ? 4 : 0;
  bool unknown_terminal = false;
  bool all_ran = true;
  for (const Outcome& outcome : outcomes) {
    all_ran = all_ran && outcome.ran;
    if (!outcome.ran) continue;
    if (outcome.status >= 2 && outcome.status > highest) highest = outcome.status;
    if (outcome.status == 1) unknown_terminal = true;
  }
  if (stopped && !all_ran) return 6;
  if (highest != 0) return highest;
  return unknown_terminal ? 7 : 0;
}

std::string report_text(const std::vector<Job>& jobs, const std::vector<Outcome>& outcomes) {
  std::string text;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const Job& job = jobs[i];
    const Outcome& o = outcomes[i];
    text += "{\"line\":" + std::to_string(job.line) + ",\"keyword\":" + json_string(job.keyword) +
            ",\"terminal\":" + json_string(job.terminal) + ",\"path\":" + json_string(job.path) +
            ",\"mode\":" + json_string(job.mode) +
            ",\"status\":" + (o.ran ? std::to_string(o.status) : "null") +
            ",\"badges\":" + std::to_string(o.counts.badges) +
            ",\"records\":" + std::to_string(o.counts.records) +
            format(",\"seconds\":%.3f", o.seconds) +
            ",\"statements\":" + std::to_string(o.counts.statements) +
            ",\"remembered\":" + std::to_string(o.counts.remembered) + "}\n";
  }
  return text;
}

std::string metrics_text(const std::vector<Job>& jobs, const std::vector<Outcome>& outcomes,
                         double seconds, double last_success) {
  struct Metric {
    const char* name;
    const char* help;
    std::string (*value)(const Outcome&);
  };
  static const Metric kMetrics[] = {
      {"varnoklis_job_status", "Exit status of the job, as the single run's.",
       [](const Outcome& o) { return std::to_string(o.status); }},
      {"varnoklis_job_records", "Records the job's download file received.",
       [](const Outcome& o) { return std::to_string(o.counts.records); }},
      {"varnoklis_job_badges", "Badges the job read.",
       [](const Outcome& o) { return std::to_string(o.counts.badges); }},
      {"varnoklis_job_seconds", "Wall time of the job in seconds.",
       [](const Outcome& o) { return format("%.3f", o.seconds); }},
  };
  // A job listed twice gives one series, the later job's: a series may appear only once.
  std::map<std::string, std::size_t> latest;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (outcomes[i].ran) latest[labels(jobs[i])] = i;
  }
  std::string text;
  for (const Metric& metric : kMetrics) {
    text += std::string("# HELP ") + metric.name + " " + metric.help + "\n# TYPE " + metric.name +
            " gauge\n";
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      auto found = latest.find(labels(jobs[i]));
      if (found == latest.end() || found->second != i) continue;
      text += metric.name + labels(jobs[i]) + " " + metric.value(outcomes[i]) + "\n";
    }
  }
  text +=
      "# HELP varnoklis_batch_seconds Wall time of the whole batch in seconds.\n"
      "# TYPE varnoklis_batch_seconds gauge\n" +
      format("varnoklis_batch_seconds %.3f\n", seconds) +
      "# HELP varnoklis_batch_last_success_timestamp_seconds End of the last batch whose "
      "every job ended 0.\n"
      "# TYPE varnoklis_batch_last_success_timestamp_seconds gauge\n" +
      format("varnoklis_batch_last_success_timestamp_seconds %.0f\n", last_success);
  return text;
}

double previous_last_success(const std::string& metrics) {
  const std::string name = "varnoklis_batch_last_success_timestamp_seconds ";
  std::istringstream lines(metrics);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(name, 0) == 0) return std::strtod(line.c_str() + name.size(), nullptr);
  }
  return 0;
}

bool write_atomically(const std::string& path, const std::string& content, unsigned mode,
                      std::string& error) {
  std::string temp;
  FileDescriptor out(create_marked_temporary(path, temp));
  if (!out.ok()) {
    error =
        std::string("cannot create a temporary file beside ") + path + ": " + std::strerror(errno);
    return false;
  }
  bool written = ::fchmod(out.get(), static_cast<mode_t>(mode)) == 0 &&
                 write_all(out.get(), content.data(), content.size()) && ::fsync(out.get()) == 0;
  int saved = errno;
  written = out.close() && written;
  if (written && ::rename(temp.c_str(), path.c_str()) == 0) {
    sync_folder_of(path);
    return true;
  }
  if (!written) errno = saved;
  error = std::string("cannot write ") + path + ": " + std::strerror(errno);
  ::unlink(temp.c_str());
  return false;
}

}  // namespace varnoklis::batch
