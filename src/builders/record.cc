#include "builders/record.h"

#include <cstdio>

#include "base/output.h"
#include "db/staging.h"

namespace varnoklis {

void blank_record(std::string& record, std::size_t length) {
  record.assign(length, ' ');
}

void put(std::string& record, const records::Field& field, std::string_view text) {
  if (field.position == 0 || field.position > record.size()) return;
  std::size_t start = field.offset();
  record.replace(start, std::min(text.size(), record.size() - start), text.data(),
                 std::min(text.size(), record.size() - start));
}

void put_cut(std::string& record, const records::Field& field, std::string_view text) {
  put(record, field, records::cut(text, field));
}

void fill(std::string& record, const records::Field& field, char c) {
  put(record, field, std::string(field.width, c));
}

bool is_blank(const std::string& record, const records::Field& field) {
  std::string_view text = std::string_view(record).substr(field.offset(), field.width);
  return text.find_first_not_of(' ') == std::string_view::npos;
}

void blank_from(std::string& record, const records::Field& field) {
  std::size_t start = field.offset();
  record.replace(start, record.size() - start, record.size() - start, ' ');
}

namespace {

void report_insert_error(BuildCounts& counts, std::string_view path, std::string_view record,
                         int result) {
  counts.records_missing = true;
  print("Insert-Error Kvx999Tmp! ErrNr: %d", result);
  print("User: %s  String: %s", std::string(path).c_str(), from_database(record).c_str());
}

}  // namespace

void stage_or_report(Session& session, std::string_view path, std::string_view record,
                     BuildCounts& counts) {
  if (RecordSink* sink = session.sink()) {
    sink->keep(record);
    return;
  }
  if (session.group().in_bursts()) {
    StagingGroup& group = session.group();
    group.path.assign(path);
    group.records.push_back({std::string(record), session.badge()});
    if (group.records.size() >= session.group().size) send_staged(session, counts);
    return;
  }
  int result = stage_record(session, path, record);
  if (result == 0) {
    ++counts.staged;
    return;
  }
  report_insert_error(counts, path, record, result);
}

void send_staged(Session& session, BuildCounts& counts) {
  if (session.group().records.empty()) return;
  const std::string& path = session.group().path;
  counts.staged += send_group(session, [&](const PendingRecord& record, int result) {
    report_insert_error(counts, path, record.text, result);
  });
}

void print_summary(const BuildCounts& counts) {
  print("Ausweise gesamt: %d davon in Datei gestellt: %d\n", counts.read, counts.staged);
}

}  // namespace varnoklis

#include "queries/badge_row.h"

namespace varnoklis {

bool fits_record(const BadgeRow& row, FieldWidths widths, bool class_written) {
  if (row.badge_number.size() <= widths.badge &&
      (!class_written || row.class_code.size() <= widths.class_code)) {
    return true;
  }
  if (widths.class_code == 0) {
    print("Ausweis %s passt nicht in den Satz (Ausweis max. %zu Zeichen)\n",
          from_database(row.badge_number).c_str(), widths.badge);
  } else {
    print("Ausweis %s passt nicht in den Satz (Ausweis max. %zu, Klasse max. %zu Zeichen)\n",
          from_database(row.badge_number).c_str(), widths.badge, widths.class_code);
  }
  return false;
}

}  // namespace varnoklis
