#include "builders/time_access.h"

#include "builders/record.h"
#include "queries/zone_checks.h"

namespace varnoklis {

namespace {

constexpr std::size_t kValidFromPosition = 14;
constexpr std::size_t kTimeFlagPosition = 22;
constexpr std::size_t kAccessFlagPosition = 23;
constexpr std::size_t kFirstGroupPosition = 31;
constexpr std::size_t kGroupWidth = 5;
constexpr const char* kNoReader = "  ";

void put_reader_groups(const BadgeRow& row, int readers, std::string& record) {
  for (std::size_t n = 0; n < static_cast<std::size_t>(readers); ++n) {
    if (row.zone[n] == kNoReader) continue;
    std::size_t position = kFirstGroupPosition + kGroupWidth * n;
    put(record, position, row.zone[n]);
    put(record, position + 2, row.class_code);
  }
}

}  // namespace

void put_badge_head(const BadgeRow& row, std::string& record) {
  put(record, 1, row.badge_number);
  put(record, kValidFromPosition, row.valid_from);
  if (record.compare(kValidFromPosition - 1, 8, "        ") == 0) {
    put(record, kValidFromPosition, "00000000");
  }
}

Rights put_rights(Session& session, BadgeRow& row, std::string_view terminal, bool class_resolved,
                  int readers, std::string& record) {
  for (std::size_t n = 0; n < static_cast<std::size_t>(readers); ++n) row.zone[n] = kNoReader;
  put(record, kTimeFlagPosition, "00");
  Rights rights;
  rights.access = class_resolved && reader_zone_check(session, row, terminal, readers, true) == 1;
  if (rights.access) {
    put(record, kAccessFlagPosition, "1");
    put_reader_groups(row, readers, record);
  }
  rights.time = reader1_check(session, row, terminal) == 1;
  if (rights.time) put(record, kTimeFlagPosition, "1");
  return rights;
}

}  // namespace varnoklis
