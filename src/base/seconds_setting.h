#pragma once

namespace varnoklis {

/// Longest wait or timeout an environment setting may give, a day in seconds.
inline constexpr int kLongestSetting = 86400;

/// Reads the environment variable `name` as whole seconds 0 to 86400 into `seconds` (unset or
/// empty: `seconds` stays); prints "NAME ungueltig (0 bis 86400 Sekunden): VALUE" and returns
/// false for any other value.
bool read_seconds_setting(const char* name, int& seconds);

}  // namespace varnoklis
