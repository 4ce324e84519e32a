#include "queries/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace varnoklis {

namespace {

// Shown instead of a figure that cannot be written in seven characters; the sign column stays,
// so an overdrawn account never reads as a credit.
constexpr const char* kOverflowMark = "******";

const char* lead_for(bool wide, bool medium) {
  return wide ? "" : medium ? " " : "  ";
}

const char* sign_for(bool negative) {
  return negative ? "-" : " ";
}

void overflow(bool negative, std::string& text) {
  text.assign(kOverflowMark);
  text.append(sign_for(negative));
}

}  // namespace

void format_minutes(std::int32_t minutes, std::string& text) {
  std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(minutes));
  bool negative = minutes < 0;
  if (magnitude >= 1000 * 60) {
    overflow(negative, text);
    return;
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%s%d,%02d%s", lead_for(magnitude >= 6000, magnitude >= 600),
                static_cast<int>(magnitude / 60), static_cast<int>(magnitude % 60),
                sign_for(negative));
  text.assign(buffer);
}

void format_days(double days, std::string& text) {
  bool negative = days < 0.0;
  double magnitude = std::fabs(days);
  if (!(magnitude < 1000.0)) {
    overflow(negative, text);
    return;
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%s%.2f%s", lead_for(magnitude >= 100.0, magnitude >= 10.0),
                magnitude, sign_for(negative));
  text.assign(buffer);
  // The lead was chosen before rounding: 9.995 rounds up to 10,00 behind two blanks. Dropping
  // the surplus lead keeps the text right-aligned in its seven characters.
  std::size_t surplus = text.size() > kNumberTextWidth ? text.size() - kNumberTextWidth : 0;
  std::size_t blanks = text.find_first_not_of(' ');
  if (surplus > blanks) {
    overflow(negative, text);
    return;
  }
  text.erase(0, surplus);
  std::size_t point = text.find('.');
  if (point != std::string::npos) text[point] = ',';
}

}  // namespace varnoklis
