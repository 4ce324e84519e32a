// The keys of the configuration file that the programs read, with the longest value each takes.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace varnoklis::config {

/// A key the run reads and the longest value, as stored, that it accepts for it.
struct KnownKey {
  std::string_view name;
  std::size_t capacity;
};

/// The keys the run reads, in the order it reads them. The stored SCHEMA value carries one
/// character more than the schema of 20, which the run drops when it reads it.
inline constexpr std::array<KnownKey, 4> kKnownKeys{{
    {"LOGIN", 23},
    {"PASS", 23},
    {"DATABASE", 23},
    {"SCHEMA", 21},
}};

/// The longest value the run accepts for `name`, one of kKnownKeys; 0 for any other key.
constexpr std::size_t key_capacity(std::string_view name) {
  for (const KnownKey& key : kKnownKeys) {
    if (key.name == name) return key.capacity;
  }
  return 0;
}

}  // namespace varnoklis::config
