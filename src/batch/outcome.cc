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

constexpr const char* kLastStart = "varnoklis_batch_last_start_timestamp_seconds";

// A gauge's help and type lines, then its `series`.
std::string gauge(const char* name, const char* help, const std::string& series) {
  return std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + series;
}

std::string start_gauge(std::time_t start) {
  return gauge(kLastStart, "Start of the last batch; later than its last run while one runs.",
               kLastStart + format(" %.0f\n", static_cast<double>(start)));
}

std::string job_tail(const Job& job) {
  return format("L%04d ", job.line) + job.keyword + " " + job.terminal + " " + job.path;
}

}  // namespace

std::string summary_line(const Job& job, const JobResult& outcome) {
  return job_tail(job) + " status=" + std::to_string(outcome.status) +
         " badges=" + std::to_string(outcome.counts.badges) +
         " records=" + std::to_string(outcome.counts.records) +
         format(" seconds=%.2f\n", outcome.seconds);
}

std::string summary_end(const std::vector<Job>& jobs, const std::vector<JobResult>& outcomes,
                        double seconds, int status) {
  std::string tail;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const JobResult& outcome = outcomes[i];
    if (!outcome.ran) {
      tail += "not run: " + job_tail(jobs[i]) + "\n";
    } else if (outcome.status == kExitHeld) {
      tail += "held: " + job_tail(jobs[i]) + "\n";
    } else if (outcome.status != kExitOk) {
      tail += "failed: " + job_tail(jobs[i]) + " status=" + std::to_string(outcome.status) + "\n";
    }
  }
  JobCounts counts = count_jobs(outcomes);
  return "total jobs=" + std::to_string(jobs.size()) + " ok=" + std::to_string(counts.ok) +
         " failed=" + std::to_string(counts.failed) + " not_run=" + std::to_string(counts.not_run) +
         " held=" + std::to_string(counts.held) +
         format(" seconds=%.2f status=%d\n", seconds, status) + tail;
}

JobCounts count_jobs(const std::vector<JobResult>& outcomes) {
  JobCounts counts;
  for (const JobResult& outcome : outcomes) {
    ++(!outcome.ran                  ? counts.not_run
       : outcome.status == kExitHeld ? counts.held
       : outcome.status != kExitOk   ? counts.failed
                                     : counts.ok);
  }
  return counts;
}

int worse_status(int a, int b) {
  // The batch's statuses, the one that wins first; a status not listed never wins.
  static constexpr int kOrder[] = {
      kExitUsage,    kExitRefused, kExitStopped, kExitRecordsMissing, kExitFileNotWritten,
      kExitDatabase, kExitConnect, kExitHeld,    kExitJobRefused,     kExitOk};
  for (int status : kOrder) {
    if (a == status || b == status) return status;
  }
  return a;
}

int batch_status(const std::vector<JobResult>& outcomes, bool stopped, bool output_failed) {
  int status = output_failed ? kExitFileNotWritten : kExitOk;
  for (const JobResult& outcome : outcomes) {
    if (!outcome.ran) {
      if (stopped) status = worse_status(status, kExitStopped);
      continue;
    }
    // A job that ended 1 met an unknown terminal; the batch tells it apart from its own 1.
    status = worse_status(status, outcome.status == kExitUsage ? kExitJobRefused : outcome.status);
    if (!outcome.log_written) status = worse_status(status, kExitFileNotWritten);
  }
  return status;
}

std::string rfc3339(std::time_t time) {
  struct tm local {};
  localtime_r(&time, &local);
  char text[40];
  std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  std::string out(text, length);
  // strftime writes the offset as +0100; RFC 3339 wants +01:00.
  if (out.size() >= 5) out.insert(out.size() - 2, ":");
  return out;
}

// The comparison with the replaced file: its four counts (null when nothing was compared), and
// whether and where the new file was held back.
static std::string compared_fields(const RunCounts& c) {
  auto count = [&](std::uint64_t n) { return c.compared ? std::to_string(n) : "null"; };
  return ",\"added\":" + count(c.added) + ",\"removed\":" + count(c.removed) +
         ",\"changed\":" + count(c.changed) + ",\"previous\":" + count(c.previous) +
         ",\"held\":" + (c.held ? "true" : "false") +
         ",\"held_file\":" + (c.held_file.empty() ? "null" : json_string(c.held_file));
}

std::string job_report_line(const Job& job, const JobResult& o) {
  auto when = [&](std::time_t time) { return o.ran ? json_string(rfc3339(time)) : "null"; };
  return "{\"line\":" + std::to_string(job.line) + ",\"keyword\":" + json_string(job.keyword) +
         ",\"terminal\":" + json_string(job.terminal) + ",\"path\":" + json_string(job.path) +
         ",\"mode\":" + json_string(job.mode) +
         ",\"status\":" + (o.ran ? std::to_string(o.status) : "null") +
         ",\"badges\":" + std::to_string(o.counts.badges) +
         ",\"records\":" + std::to_string(o.counts.records) +
         format(",\"seconds\":%.3f", o.seconds) +
         ",\"statements\":" + std::to_string(o.counts.statements) +
         ",\"remembered\":" + std::to_string(o.counts.remembered) + compared_fields(o.counts) +
         ",\"start\":" + when(o.start) + ",\"end\":" + when(o.end) + ",\"log_written\":" +
         (!o.ran          ? "null"
          : o.log_written ? "true"
                          : "false") +
         "}\n";
}

std::string report_text(const BatchRecord& batch, const std::vector<Job>& jobs,
                        const std::vector<JobResult>& outcomes) {
  JobCounts counts = count_jobs(outcomes);
  std::string text = "{\"batch\":{\"start\":" + json_string(rfc3339(batch.start)) +
                     ",\"end\":" + json_string(rfc3339(batch.end)) +
                     ",\"status\":" + std::to_string(batch.status) +
                     ",\"job_file\":" + json_string(batch.job_file) +
                     ",\"host\":" + json_string(batch.host) +
                     ",\"version\":" + json_string(batch.version) +
                     ",\"logs\":" + (batch.logs.empty() ? "null" : json_string(batch.logs)) +
                     ",\"jobs\":{\"ok\":" + std::to_string(counts.ok) +
                     ",\"failed\":" + std::to_string(counts.failed) +
                     ",\"not_run\":" + std::to_string(counts.not_run) +
                     ",\"held\":" + std::to_string(counts.held) + "}}}\n";
  for (std::size_t i = 0; i < jobs.size(); ++i) text += job_report_line(jobs[i], outcomes[i]);
  return text;
}

std::string metrics_text(const BatchRecord& batch, const std::vector<Job>& jobs,
                         const std::vector<JobResult>& outcomes, double seconds,
                         double last_success) {
  struct Metric {
    const char* name;
    const char* help;
    std::string (*value)(const JobResult&);
    bool for_all;           // also for the jobs that did not run
    bool compared = false;  // only for the jobs that compared their new file with the old one
  };
  static const Metric kMetrics[] = {
      {"varnoklis_job_ran", "1 when the job ran in the last batch, 0 when it did not.",
       [](const JobResult& o) { return std::string(o.ran ? "1" : "0"); }, true},
      {"varnoklis_job_status", "Exit status of the job, as the single run's.",
       [](const JobResult& o) { return std::to_string(o.status); }, false},
      {"varnoklis_job_records", "Records the job's download file received.",
       [](const JobResult& o) { return std::to_string(o.counts.records); }, false},
      {"varnoklis_job_badges", "Badges the job read.",
       [](const JobResult& o) { return std::to_string(o.counts.badges); }, false},
      {"varnoklis_job_seconds", "Wall time of the job in seconds.",
       [](const JobResult& o) { return format("%.3f", o.seconds); }, false},
      {"varnoklis_job_badges_added", "Badges only in the job's new file, against the old one.",
       [](const JobResult& o) { return std::to_string(o.counts.added); }, false, true},
      {"varnoklis_job_badges_removed", "Badges only in the job's old file, against the new one.",
       [](const JobResult& o) { return std::to_string(o.counts.removed); }, false, true},
      {"varnoklis_job_badges_changed", "Badges whose records the job's new file changes.",
       [](const JobResult& o) { return std::to_string(o.counts.changed); }, false, true},
  };
  // A series may appear only once; should two jobs share their labels, the later one's is kept.
  std::map<std::string, std::size_t> latest;
  for (std::size_t i = 0; i < jobs.size(); ++i) latest[labels(jobs[i])] = i;
  std::string text;
  for (const Metric& metric : kMetrics) {
    std::string series;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      if (latest[labels(jobs[i])] != i || !(metric.for_all || outcomes[i].ran)) continue;
      if (metric.compared && !outcomes[i].counts.compared) continue;
      series += metric.name + labels(jobs[i]) + " " + metric.value(outcomes[i]) + "\n";
    }
    text += gauge(metric.name, metric.help, series);
  }
  JobCounts counts = count_jobs(outcomes);
  const char* kBatchSeconds = "varnoklis_batch_seconds";
  const char* kLastSuccess = "varnoklis_batch_last_success_timestamp_seconds";
  const char* kLastRun = "varnoklis_batch_last_run_timestamp_seconds";
  const char* kStatus = "varnoklis_batch_status";
  const char* kJobs = "varnoklis_batch_jobs";
  return text +
         gauge(kBatchSeconds, "Wall time of the whole batch in seconds.",
               kBatchSeconds + format(" %.3f\n", seconds)) +
         gauge(kLastSuccess, "End of the last batch whose every job ended 0.",
               kLastSuccess + format(" %.0f\n", last_success)) +
         start_gauge(batch.start) +
         gauge(kLastRun, "End of the last batch, whatever its status.",
               kLastRun + format(" %.0f\n", static_cast<double>(batch.end))) +
         gauge(kStatus, "Exit status of the last batch.", kStatus + format(" %d\n", batch.status)) +
         gauge(kJobs,
               "Jobs of the last batch that ended 0, ended otherwise, did not run, and were held "
               "back.",
               kJobs + format("{outcome=\"ok\"} %zu\n", counts.ok) + kJobs +
                   format("{outcome=\"failed\"} %zu\n", counts.failed) + kJobs +
                   format("{outcome=\"not_run\"} %zu\n", counts.not_run) + kJobs +
                   format("{outcome=\"held\"} %zu\n", counts.held));
}

std::string start_metrics_text(const std::string& previous, std::time_t start) {
  const std::string name = std::string(kLastStart) + " ";
  std::istringstream lines(previous);
  std::string line, text;
  bool replaced = false;
  while (std::getline(lines, line)) {
    replaced = replaced || line.starts_with(name);
    text += line.starts_with(name) ? name + format("%.0f", static_cast<double>(start)) : line;
    text += "\n";
  }
  return replaced ? text : text + start_gauge(start);
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
