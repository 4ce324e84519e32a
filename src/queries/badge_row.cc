#include "queries/badge_row.h"

namespace varnoklis {

void BadgeRow::clear() {
  for (std::string* slot :
       {&badge_number, &valid_from, &valid_to, &time_flag, &access_flag, &balance_set, &language,
        &fixed_code, &class_code, &location_text, &location_number, &badge_group, &person_number,
        &spare_text, &badge_type, &cost_centre, &department}) {
    slot->clear();
  }
  for (auto& text : day_balance) text.clear();
  for (auto& text : vacation) text.clear();
  for (auto& text : zone) text.clear();
}

}  // namespace varnoklis
