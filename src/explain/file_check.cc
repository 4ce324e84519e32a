#include "explain/file_check.h"

#include <algorithm>

#include "show/reader.h"

namespace varnoklis::explain {

namespace {

// A record's text as the file holds it, without CR LF: the fixed-length fields tile the record,
// the values of a line are quoted again.
std::string record_text(const records::Layout& layout, const show::Record& record) {
  std::string text;
  if (layout.record_length > 0) {
    for (const std::string& field : record.fields) text += field;
    return text;
  }
  records::QuotedValues values{};
  for (std::size_t i = 0; i < values.size() && i < record.fields.size(); ++i) {
    values[i] = record.fields[i];
  }
  records::write_quoted_line(values, text);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

std::vector<std::string> record_fields(const records::Layout& layout, const std::string& record) {
  std::string bytes = record;
  if (layout.line_end) bytes += "\r\n";
  show::Contents contents = show::parse_download(layout, bytes);
  if (!contents.ok || contents.records.size() != 1) return {};
  return contents.records.front().fields;
}

FileComparison compare_file(const records::Layout& layout, const std::string& path,
                            const std::string& badge, const std::vector<std::string>& built) {
  FileComparison comparison;
  comparison.path = path;
  show::Contents contents = show::read_download(layout, path);
  if (!contents.ok) {
    comparison.error = contents.problem;
    return comparison;
  }
  std::vector<std::vector<std::string>> in_file;
  for (const show::Record& record : contents.records) {
    if (show::badge_of(layout, record) == badge) in_file.push_back(record.fields);
  }
  std::vector<std::vector<std::string>> now;
  for (const std::string& record : built) now.push_back(record_fields(layout, record));
  std::sort(in_file.begin(), in_file.end());
  std::sort(now.begin(), now.end());
  for (const std::vector<std::string>& fields : in_file) {
    comparison.records.push_back(record_text(layout, show::Record{fields}));
  }
  std::vector<bool> differs(layout.fields.size(), false);
  for (std::size_t i = 0; i < std::min(in_file.size(), now.size()); ++i) {
    for (std::size_t f = 0; f < differs.size(); ++f) {
      const std::string none;
      const std::string& a = f < in_file[i].size() ? in_file[i][f] : none;
      const std::string& b = f < now[i].size() ? now[i][f] : none;
      if (a != b) differs[f] = true;
    }
  }
  for (std::size_t f = 0; f < differs.size(); ++f) {
    if (differs[f]) comparison.differs_in.emplace_back(layout.fields[f].name);
  }
  if (in_file.size() != now.size()) comparison.differs_in.emplace_back("records");
  comparison.same = comparison.differs_in.empty();
  return comparison;
}

}  // namespace varnoklis::explain
