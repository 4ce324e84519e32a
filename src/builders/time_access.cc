#include "builders/time_access.h"

#include "builders/record.h"
#include "queries/zone_checks.h"

namespace varnoklis {

namespace {

constexpr const records::TimeAccessFields& kFields = records::kTimeAccess;
constexpr const char* kNoReader = "  ";
constexpr std::string_view kNeither = "00";  // both flags cleared
constexpr std::string_view kYes = "1";
constexpr char kOpenDate = '0';

void put_reader_groups(const BadgeRow& row, int readers, std::string& record) {
  for (int reader = 1; reader <= readers; ++reader) {
    const std::string& zone = row.zone[static_cast<std::size_t>(reader - 1)];
    if (zone == kNoReader) continue;
    const records::ReaderGroup group = records::reader_group(reader);
    put(record, group.reader, zone);
    put(record, group.class_code, row.class_code);
  }
}

}  // namespace

void put_badge_head(const BadgeRow& row, std::string& record) {
  put(record, kFields.badge, row.badge_number);
  put(record, kFields.valid_from, row.valid_from);
  if (is_blank(record, kFields.open_valid_from)) fill(record, kFields.open_valid_from, kOpenDate);
}

Rights put_rights(Session& session, BadgeRow& row, std::string_view terminal, bool class_resolved,
                  int readers, std::string& record) {
  for (std::size_t n = 0; n < static_cast<std::size_t>(readers); ++n) row.zone[n] = kNoReader;
  put(record, kFields.flags, kNeither);
  Rights rights;
  rights.access = class_resolved && reader_zone_check(session, row, terminal, readers, true) == 1;
  if (rights.access) {
    put(record, kFields.access, kYes);
    put_reader_groups(row, readers, record);
  }
  rights.time = reader1_check(session, row, terminal) == 1;
  if (rights.time) put(record, kFields.time, kYes);
  return rights;
}

}  // namespace varnoklis
