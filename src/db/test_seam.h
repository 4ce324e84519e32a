#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "db/failure.h"
#include "db/odbc.h"

namespace varnoklis {

/// The test seam of a session: the fault hook that makes chosen executions, fetches, commits and
/// rollbacks fail, told of each commit that took effect and of the driver's cursor behaviour on
/// commit, and the pause before a transiently failed statement is tried again, which the hook may
/// leave out. Without a hook it changes nothing.
class TestSeam {
 public:
  /// Installs the fault hook.
  void set_fault_hook(FaultHook hook) { hook_ = std::move(hook); }
  /// Whether execution number `ordinal`, of `text`, is made to fail; `diag` then filled. The
  /// hook finds the text in its diagnostics' message.
  bool execution_fails(std::uint64_t ordinal, std::string_view text, Diagnostics& diag) const;
  /// Whether fetch number `ordinal` is made to fail; `diag` then filled.
  bool fetch_fails(std::uint64_t ordinal, Diagnostics& diag) const;
  /// Whether commit number `ordinal` is made to fail; `diag` then filled.
  bool commit_fails(std::uint64_t ordinal, Diagnostics& diag) const;
  /// Whether rollback number `ordinal` is made to fail; `diag` then filled.
  bool rollback_fails(std::uint64_t ordinal, Diagnostics& diag) const;
  /// Tells the hook that commit number `ordinal` took effect.
  void flushed(std::uint64_t ordinal) const;
  /// The cursor behaviour on commit of connection `link` (1 reading, 2 staging): the driver's
  /// `reported` one unless the hook answers another.
  SQLUSMALLINT cursor_commit_behavior(int link, SQLUSMALLINT reported) const;
  /// Waits `retry_pause(next_attempt)` before attempt `next_attempt` of a transiently failed
  /// statement, unless the hook leaves the pause out.
  void pause_before(int next_attempt) const;

 private:
  FaultHook hook_;
};

}  // namespace varnoklis
