#pragma once

#include <cstdint>

namespace varnoklis {

/// What a session counted in the present run; every attempt counts.
struct SessionCounts {
  std::uint64_t statements = 0;  ///< statements executed
  std::uint64_t remembered = 0;  ///< statements answered from memory instead of being sent
  std::uint64_t fetches = 0;     ///< fetches
  std::uint64_t failures = 0;    ///< statements that failed for good
  std::uint64_t commits = 0;     ///< commits of bursts tried
  std::uint64_t rollbacks = 0;   ///< rollbacks of bursts tried
  std::uint64_t unsent = 0;      ///< records built after the staging connection broke, never sent
  std::uint64_t flushes = 0;     ///< commits that took effect
};

}  // namespace varnoklis
