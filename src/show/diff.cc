#include "show/diff.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace varnoklis::show {

namespace {

struct BadgeRecords {
  std::vector<const Record*> old_records;
  std::vector<const Record*> new_records;
};

std::string quoted(const Layout& layout, const Field& field, std::string_view raw,
                   Encoding encoding) {
  return '"' + render(shown_value(layout, field, raw), encoding).text + '"';
}

std::string records_note(std::size_t count) {
  return count > 1 ? " (" + std::to_string(count) + " records)" : std::string();
}

void compare_pair(const Layout& layout, const std::string& subject, const Record& old_record,
                  const Record& new_record, Encoding encoding, std::string& out) {
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    if (old_record.fields[i] == new_record.fields[i]) continue;
    const Field& field = layout.fields[i];
    out += subject + ": " + render(field.name, encoding).text + ' ' +
           quoted(layout, field, old_record.fields[i], encoding) + " -> " +
           quoted(layout, field, new_record.fields[i], encoding) + '\n';
  }
}

void compare_badge(const Layout& layout, const std::string& badge, const BadgeRecords& both,
                   Encoding encoding, std::string& out) {
  const std::size_t old_count = both.old_records.size();
  const std::size_t new_count = both.new_records.size();
  const std::string subject = "badge " + badge;
  if (new_count == 0) {
    out += subject + ": removed" + records_note(old_count) + '\n';
    return;
  }
  if (old_count == 0) {
    out += subject + ": added" + records_note(new_count) + '\n';
    return;
  }
  const bool numbered = old_count > 1 || new_count > 1;
  for (std::size_t n = 0; n < std::max(old_count, new_count); ++n) {
    const std::string record = numbered ? subject + " record " + std::to_string(n + 1) : subject;
    if (n >= new_count) {
      out += record + ": removed\n";
    } else if (n >= old_count) {
      out += record + ": added\n";
    } else {
      compare_pair(layout, record, *both.old_records[n], *both.new_records[n], encoding, out);
    }
  }
}

}  // namespace

Comparison compare_records(const Layout& layout, const std::vector<Record>& old_records,
                           const std::vector<Record>& new_records, Encoding encoding) {
  std::map<std::string, BadgeRecords> badges;
  for (const Record& record : old_records) {
    badges[std::string(badge_of(layout, record))].old_records.push_back(&record);
  }
  for (const Record& record : new_records) {
    badges[std::string(badge_of(layout, record))].new_records.push_back(&record);
  }
  Comparison comparison;
  for (const auto& [badge, both] : badges) {
    compare_badge(layout, render(badge, encoding).text, both, encoding, comparison.text);
  }
  comparison.differ = !comparison.text.empty();
  return comparison;
}

}  // namespace varnoklis::show
