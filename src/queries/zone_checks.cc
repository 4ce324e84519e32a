#include "queries/zone_checks.h"

#include <cstdio>

#include "db/result_code.h"

namespace varnoklis {

// clang-format off
const SqlText kReadersSql = {
    "SELECT ZlsLes, ZlsZko"
    "  FROM  KvxCore.Kvx401Zls"
    "  WHERE ZlsTrm = '%s'"
    "  AND ZlsLes <= %ld"
    "  AND ((ZlsSta <> 4 AND ZlsSta <> 8) OR ZlsSta IS NULL)"
    "  ORDER BY ZlsLes ",
    {}};

const SqlText kZoneAuthorizationCountSql = {
    "SELECT COUNT(*)"
    "  FROM  KvxCore.Kvx404Zbr"
    "  WHERE ZbrZbk = '%s'"
    "  AND   ZbrZko = '%s'"
    "  AND ((ZbrSta <> 4 AND ZbrSta <> 8) OR ZbrSta IS NULL) ",
    {}};

const SqlText kType3AuthorizationCountSql = {
    "SELECT COUNT(*)"
    "  FROM  KvxCore.Kvx404Zbr"
    "  WHERE ZbrZbk = '%s'"
    "  AND   ZbrZko = '%s'"
    "  AND   ZbrZtb = 3"
    "  AND ((ZbrSta <> 4 AND ZbrSta <> 8) OR ZbrSta IS NULL) ",
    {}};
// clang-format on

namespace {

const Purpose kReaders{"Leser lesen", true};
const Purpose kZoneAuthorizations{"Zonenberechtigungen zaehlen", true};
const Purpose kType3Authorizations{"Zonenberechtigungen Typ 3 zaehlen", true};
constexpr std::size_t kZoneWidth = 5;
constexpr long kZoneSlots = 11;

int count(Session& session, const SqlText& sql, Purpose purpose, std::string_view zone,
          std::string_view class_code, std::int32_t& result) {
  Statement statement(session, purpose);
  int rc = statement.query_one(sql, {class_code, zone}, {long_column()}, ExecError::MinusOne);
  if (rc == 0) result = statement.integer(1);
  return rc;
}

void mark_zone_slot(BadgeRow& row, std::int32_t reader) {
  if (reader < 1 || reader > kZoneSlots) return;
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02d", static_cast<int>(reader));
  row.zone[static_cast<std::size_t>(reader - 1)].assign(digits);
}

}  // namespace

int ReaderCursor::open(Session& session, std::string_view terminal, long highest_reader) {
  std::string highest = std::to_string(highest_reader);
  return cursor_.open(session, kReaders, kReadersSql, {terminal, highest},
                      {long_column(), text_column(kZoneWidth)});
}

int ReaderCursor::fetch(std::int32_t& reader, std::string& zone) {
  switch (cursor_.fetch()) {
    case Outcome::Ok:
      reader = cursor_.row().integer(1);
      zone.assign(cursor_.row().trimmed(2));
      return 0;
    case Outcome::NoData:
      return kNoData;
    case Outcome::Error:
      break;
  }
  return -1;
}

int count_zone_authorizations(Session& session, std::string_view zone, std::string_view class_code,
                              std::int32_t& result) {
  return count(session, kZoneAuthorizationCountSql, kZoneAuthorizations, zone, class_code, result);
}

int count_type3_authorizations(Session& session, std::string_view zone, std::string_view class_code,
                               std::int32_t& result) {
  return count(session, kType3AuthorizationCountSql, kType3Authorizations, zone, class_code,
               result);
}

// The cursor is read to its end even after a hit, so that every reader of the terminal marks
// its slot; the counts stop at the first hit.
int reader_zone_check(Session& session, BadgeRow& row, std::string_view terminal,
                      long highest_reader, bool mark_slots) {
  ReaderCursor readers;
  readers.open(session, terminal, highest_reader);
  bool found = false;
  std::int32_t authorizations = 0;
  std::int32_t reader = 0;
  std::string zone;
  Trace* trace = session.trace();
  while (readers.fetch(reader, zone) == 0) {
    if (trace != nullptr) trace->zone_reader(reader, zone);
    if (!found) {
      count_zone_authorizations(session, zone, row.class_code, authorizations);
      found = authorizations > 0;
      if (trace != nullptr) trace->zone_count(reader, zone, authorizations);
    }
    if (mark_slots) mark_zone_slot(row, reader);
  }
  readers.close();
  if (trace != nullptr) trace->zone_result(found);
  return found ? 1 : 0;
}

int reader1_check(Session& session, const BadgeRow& row, std::string_view terminal) {
  ReaderCursor readers;
  readers.open(session, terminal, 1);
  int result = 1;
  std::int32_t reader = 0;
  std::string zone;
  while (readers.fetch(reader, zone) == 0) {
    if (reader != 1) continue;
    std::int32_t type3 = 0;
    count_type3_authorizations(session, zone, row.class_code, type3);
    if (type3 > 0) result = 0;
    break;
  }
  readers.close();
  if (Trace* trace = session.trace()) trace->reader1_result(result == 1);
  return result;
}

}  // namespace varnoklis
