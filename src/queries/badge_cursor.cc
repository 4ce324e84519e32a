#include "queries/badge_cursor.h"

#include <cstddef>
#include <string>

#include "db/result_code.h"

namespace varnoklis {

// clang-format off
const SqlText kBadgeCursorSql = {
    "SELECT  AswNum, CONVERT(char(8),AswGvo,112), CONVERT(char(8),AswGbi,112)"
    ", AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AwvSto"
    "  FROM  KvxCore.Kvx301Asw, KvxCore.Kvx112Mnd, KvxCore.Kvx113Awv"
    "  WHERE MNDSCH = '%s'"
    "  AND ASWLIZ = MNDLIZ"
    "  AND ASWMND = MNDNUM"
    "  AND ASWNUM = AWVNUM"
    "  AND ((convert(char(8), CURRENT_TIMESTAMP, 112) >= AswGvo AND AswGbi IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) <= AswGbi AND AswGvo IS NULL)"
    "   OR (convert(char(8), CURRENT_TIMESTAMP, 112) >= AswGvo"
    "       AND convert(char(8), CURRENT_TIMESTAMP, 112) <= AswGbi))"
    "  AND ((AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL)"
    "  AND ((AswSta <> 4 AND AswSta <> 8) OR AswSta IS NULL)"
    "  ORDER BY AswNum, AswGvo, AswBkl ",
    "SELECT  AswNum, strftime('%Y%m%d',AswGvo), strftime('%Y%m%d',AswGbi)"
    ", AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AwvSto"
    "  FROM  KvxCore.Kvx301Asw, KvxCore.Kvx112Mnd, KvxCore.Kvx113Awv"
    "  WHERE MNDSCH = '%s'"
    "  AND ASWLIZ = MNDLIZ"
    "  AND ASWMND = MNDNUM"
    "  AND ASWNUM = AWVNUM"
    "  AND ((date('now','localtime') >= AswGvo AND AswGbi IS NULL)"
    "   OR (date('now','localtime') <= AswGbi AND AswGvo IS NULL)"
    "   OR (date('now','localtime') >= AswGvo"
    "       AND date('now','localtime') <= AswGbi))"
    "  AND ((AwvSta <> 4 AND AwvSta <> 8) OR AwvSta IS NULL)"
    "  AND ((AswSta <> 4 AND AswSta <> 8) OR AswSta IS NULL)"
    "  ORDER BY AswNum, AswGvo, AswBkl "};
// clang-format on

namespace {

const Purpose kBadges{"Ausweise lesen"};
constexpr std::size_t kBadgeWidth = 50;
constexpr std::size_t kDateWidth = 14;
constexpr std::size_t kPersonWidth = 8;
constexpr std::size_t kClassWidth = 5;
constexpr std::size_t kGroupWidth = 5;
constexpr std::size_t kSpareWidth = 50;
constexpr std::size_t kLocationWidth = 8;

// The location number as the terminal keys it: right-aligned in eight characters behind zeros.
void put_location_number(std::string& slot, std::string_view text) {
  slot.assign(text.size() < 8 ? 8 - text.size() : 0, '0');
  slot.append(text);
}

}  // namespace

void put_class(std::string& slot, std::string_view text) {
  slot.assign(text);
  if (slot.size() < 3) slot.resize(3, ' ');
}

int BadgeCursor::open(Session& session, std::string_view schema) {
  return cursor_.open(
      session, kBadges, kBadgeCursorSql, {schema},
      {text_column(kBadgeWidth), text_column(kDateWidth), text_column(kDateWidth),
       text_column(kPersonWidth), text_column(kClassWidth), text_column(kGroupWidth),
       text_column(kSpareWidth), long_column(), text_column(kLocationWidth)});
}

int BadgeCursor::fetch(BadgeRow& row) {
  switch (cursor_.fetch()) {
    case Outcome::Ok:
      break;
    case Outcome::NoData:
      return kNoData;
    case Outcome::Error:
      return -1;
  }
  const Statement& badge = cursor_.row();
  row.badge_number.assign(badge.trimmed(1));
  row.valid_from.assign(badge.trimmed(2));
  row.valid_to.assign(badge.trimmed(3));
  put_location_number(row.location_number, badge.trimmed(9));
  row.person_number.assign(badge.trimmed(4));
  put_class(row.class_code, badge.trimmed(5));
  row.badge_group.assign(badge.trimmed(6));
  row.badge_type = std::to_string(badge.integer(8));
  return 0;
}

}  // namespace varnoklis
