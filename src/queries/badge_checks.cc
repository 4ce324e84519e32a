#include "queries/badge_checks.h"

#include "db/statement.h"

namespace varnoklis {

// The conditions are those of the badge cursor, one flag each, so that the first one that
// leaves no row can be named.
// clang-format off
const SqlText kBadgeConditionsSql = {
    "SELECT  MndSch"
    ", CASE WHEN (convert(char(8), CURRENT_TIMESTAMP, 112) >= AswGvo AND AswGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= AswGbi AND AswGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= AswGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= AswGbi) THEN 1 ELSE 0 END"
    ", CASE WHEN (AswSta <> 4 AND AswSta <> 8) OR AswSta IS NULL THEN 1 ELSE 0 END"
    ", CASE WHEN AwvNum IS NULL THEN 0 ELSE 1 END"
    ", CASE WHEN (AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL THEN 1 ELSE 0 END"
    "  FROM  KvxCore.Kvx301Asw"
    "  LEFT JOIN KvxCore.Kvx112Mnd ON ASWLIZ = MNDLIZ AND ASWMND = MNDNUM"
    "  LEFT JOIN KvxCore.Kvx113Awv ON ASWNUM = AWVNUM"
    "  WHERE AswNum = '%s'"
    "  ORDER BY MndSch ",
    "SELECT  MndSch"
    ", CASE WHEN (date('now','localtime') >= AswGvo AND AswGbi IS NULL)"
    "   OR (date('now','localtime') <= AswGbi AND AswGvo IS NULL)"
    "   OR (date('now','localtime') >= AswGvo"
    "       AND date('now','localtime') <= AswGbi) THEN 1 ELSE 0 END"
    ", CASE WHEN (AswSta <> 4 AND AswSta <> 8) OR AswSta IS NULL THEN 1 ELSE 0 END"
    ", CASE WHEN AwvNum IS NULL THEN 0 ELSE 1 END"
    ", CASE WHEN (AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL THEN 1 ELSE 0 END"
    "  FROM  KvxCore.Kvx301Asw"
    "  LEFT JOIN KvxCore.Kvx112Mnd ON ASWLIZ = MNDLIZ AND ASWMND = MNDNUM"
    "  LEFT JOIN KvxCore.Kvx113Awv ON ASWNUM = AWVNUM"
    "  WHERE rtrim(AswNum) = '%s' COLLATE NOCASE"
    "  ORDER BY MndSch "};
// clang-format on

namespace {

const Purpose kConditions{"Ausweis pruefen"};
constexpr std::size_t kSchemaWidth = 128;

}  // namespace

int read_badge_conditions(Session& session, std::string_view badge,
                          std::vector<BadgeConditions>& rows) {
  rows.clear();
  Cursor cursor;
  if (cursor.open(session, kConditions, fill(kBadgeConditionsSql, session.dialect(), {badge}),
                  {text_column(kSchemaWidth), long_column(), long_column(), long_column(),
                   long_column()}) != 0) {
    return -1;
  }
  Outcome outcome;
  while ((outcome = cursor.fetch()) == Outcome::Ok) {
    const Statement& row = cursor.row();
    rows.push_back({std::string(row.trimmed(1)), row.integer(2) == 1, row.integer(3) == 1,
                    row.integer(4) == 1, row.integer(5) == 1});
  }
  cursor.close();
  return outcome == Outcome::NoData ? 0 : -1;
}

}  // namespace varnoklis
