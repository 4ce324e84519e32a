#pragma once

#include <array>
#include <string>

namespace varnoklis {

/// The working record of one badge: the badge cursor fills the badge slots, the lookups add
/// theirs, the record builders copy slots into their records by name. Capacities in characters.
struct BadgeRow {
  std::string badge_number;                ///< `AswNum`, at most 50
  std::string valid_from;                  ///< eight-digit year-month-day, empty when open
  std::string valid_to;                    ///< eight-digit year-month-day, empty when open
  std::string time_flag;                   ///< "0" or "1" (IDSTAMM)
  std::string access_flag;                 ///< "0" or "1" (IDSTAMM)
  std::string balance_set;                 ///< `PnrSal`, at most 10
  std::string language;                    ///< `PnrSpr` as decimal text, at most 4 digits
  std::string fixed_code;                  ///< "001" (IDSTAMM)
  std::string class_code;                  ///< authorization class, "%-3s", at most 5
  std::string location_text;               ///< location short text, at most 3
  std::string location_number;             ///< `AwvSto` as "%08s"
  std::string badge_group;                 ///< `AswGrp`, at most 5
  std::string person_number;               ///< `AswPnr`, at most 8
  std::string spare_text;                  ///< never written; always empty
  std::string badge_type;                  ///< `AswAtp` as "%d"
  std::string cost_centre;                 ///< `ZuoKst`, at most 30
  std::string department;                  ///< `ZuoAbt`, at most 15
  std::array<std::string, 9> day_balance;  ///< day-balance texts 1 to 9, at most 7 each
  std::array<std::string, 6> vacation;     ///< vacation texts 1 to 6, at most 7 each
  std::array<std::string, 11> zone;        ///< zone slot n: reader n as "%02d", or two blanks

  /// Empties every slot, keeping the storage, so nothing carries over to the next badge.
  void clear();
};

/// The class slot of a badge whose class is still to be resolved.
inline constexpr const char* kUnresolvedClass = "0  ";

}  // namespace varnoklis
