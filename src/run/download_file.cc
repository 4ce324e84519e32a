#include "run/download_file.h"

#include "base/output.h"
#include "db/result_code.h"
#include "db/staging.h"
#include "run/destination.h"

namespace varnoklis {

void shape_record(std::string& record, const DownloadFormat& format) {
  if (record.size() < format.record_length)
    record.append(format.record_length - record.size(), ' ');
  if (!format.line_end) return;
  // The file follows the Windows text convention: every line feed is stored as CR LF.
  if (record.find('\n') == std::string::npos) record += '\n';
  for (std::size_t pos = record.find('\n'); pos != std::string::npos;
       pos = record.find('\n', pos + 2)) {
    record.insert(pos, 1, '\r');
  }
}

namespace {

// Buffers the shaped records and writes them to a file descriptor in large blocks.
class BlockWriter {
 public:
  explicit BlockWriter(int fd) : fd_(fd) { buffer_.reserve(kBlock); }
  bool add(const std::string& text) {
    buffer_ += text;
    return buffer_.size() < kBlock || flush();
  }
  bool flush() {
    bool ok = write_all(fd_, buffer_.data(), buffer_.size());
    if (!ok && error_ == 0) error_ = errno;
    buffer_.clear();
    return ok;
  }
  /// The error of the first failed write, 0 when none failed.
  int error() const { return error_; }

 private:
  static constexpr std::size_t kBlock = 1 << 16;
  int fd_;
  int error_ = 0;
  std::string buffer_;
};

// Reads the staged records into the collecting file, counting them. 0 when complete, else the
// failing result.
int collect_records(Session& session, const std::string& path, const DownloadFormat& format, int fd,
                    bool& write_ok, int& write_error, std::uint64_t& count) {
  ReadBack read_back;
  int result = read_back.open(session, path);
  if (result != 0) return result;
  BlockWriter writer(fd);
  std::string record;
  write_ok = true;
  while ((result = read_back.fetch(record)) == 0) {
    ++count;
    shape_record(record, format);
    write_ok = writer.add(record) && write_ok;
  }
  read_back.close();
  write_ok = writer.flush() && write_ok;
  write_error = writer.error();
  return result == kNoData ? 0 : result;
}

// Prints the counts of the new records against the file they replace, when there is one to
// compare with; true when the new file is to be held back.
bool compare_with_previous(const Destination& destination, const DownloadFormat& format,
                           WriteReport& report) {
  if (!format.new_file || format.max_removed < 0 || format.layout == nullptr) return false;
  FileDescriptor previous(destination.open_previous());
  if (!previous.ok()) return false;
  report.compared = true;
  report.diff = records::compare_badges(*format.layout, previous.get(), destination.collector());
  print("%s", records::badge_diff_line(report.diff).c_str());
  return holds_back(report.diff, format.max_removed);
}

void print_hold(const WriteReport& report, int max_removed) {
  const records::BadgeDiff& diff = report.diff;
  const std::uint64_t percent = (diff.removed * 100 + diff.previous - 1) / diff.previous;
  print(
      "Neue Datei zurueckgehalten: %llu von %llu Ausweisen entfielen (%llu %%), erlaubt %d %%. "
      "Bisherige Datei bleibt; freigeben mit VARNOKLIS_MAX_REMOVED=100.\n",
      static_cast<unsigned long long>(diff.removed), static_cast<unsigned long long>(diff.previous),
      static_cast<unsigned long long>(percent), max_removed);
  if (report.held_file.empty()) {
    print("  keine zurueckgehaltene Datei (die Datei wird an Ort und Stelle geschrieben)\n");
  } else {
    print("  zurueckgehalten als %s\n", report.held_file.c_str());
  }
}

}  // namespace

bool holds_back(const records::BadgeDiff& diff, int max_removed) {
  return diff.comparable && diff.previous >= 20 &&
         diff.removed * 100 > static_cast<std::uint64_t>(max_removed) * diff.previous;
}

WriteResult write_download_file(Session& session, const std::string& path,
                                const DownloadFormat& format, const std::string& state_folder,
                                WriteReport* report) {
  WriteReport unused;
  WriteReport& found = report != nullptr ? *report : unused;
  Destination destination;
  if (!destination.open(path, format.new_file, state_folder)) {
    report_open_failure(path, destination.failure());
    return WriteResult::OpenFailed;
  }
  // Without a file to collect the records in, nothing can be written: write_ok stays false.
  bool write_ok = false;
  int write_error = 0;
  std::uint64_t count = 0;
  int result = destination.collector() < 0
                   ? 0
                   : collect_records(session, path, format, destination.collector(), write_ok,
                                     write_error, count);
  if (result != 0) {
    print("Error Tab. Kvx999Tmp lesen! ErrNr: %d User: %s\n", result, path.c_str());
    return WriteResult::ReadBackFailed;
  }
  if (write_error != 0) destination.collector_failed(write_error);
  // A table that holds other than what the run counted staged cannot give a trustworthy file.
  if (write_ok && format.staged >= 0 && count != static_cast<std::uint64_t>(format.staged)) {
    print("Tab. Kvx999Tmp lieferte %llu Saetze, gestellt waren %llu! Downloadfile %s\n",
          static_cast<unsigned long long>(count), static_cast<unsigned long long>(format.staged),
          path.c_str());
    return WriteResult::CountDiffers;
  }
  if (write_ok && compare_with_previous(destination, format, found)) {
    found.held = destination.hold(found.held_file);
    if (found.held) {
      print_hold(found, format.max_removed);
      return WriteResult::Held;
    }
    write_ok = false;
  }
  if (!write_ok || !destination.commit()) {
    report_write_failure(path, destination.failure());
    return WriteResult::WriteFailed;
  }
  return WriteResult::Written;
}

}  // namespace varnoklis
