#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace varnoklis {

/// Width of a number text on the terminal: lead, figure with decimal comma, sign column.
inline constexpr std::size_t kNumberTextWidth = 7;

/// Writes `minutes` as hours and minutes into `text` ("%s%d,%02d%s"); from 1000 hours on, the
/// overflow mark "******" and the sign column.
void format_minutes(std::int32_t minutes, std::string& text);

/// Writes `days` with two decimals and a decimal comma into `text` ("%s%.2f%s", lead chosen on
/// the unrounded figure); a text beyond 7 characters loses lead blanks, else shows "******".
void format_days(double days, std::string& text);

}  // namespace varnoklis
