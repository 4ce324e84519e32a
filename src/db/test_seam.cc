#include "db/test_seam.h"

#include <string>
#include <thread>
#include <utility>

namespace varnoklis {

bool TestSeam::execution_fails(std::uint64_t ordinal, std::string_view text,
                               Diagnostics& diag) const {
  if (!hook_) return false;
  Diagnostics injected;
  injected.message = std::string(text);
  if (!hook_(FaultPoint::Execute, ordinal, injected)) return false;
  diag = std::move(injected);
  return true;
}

bool TestSeam::fetch_fails(std::uint64_t ordinal, Diagnostics& diag) const {
  return hook_ && hook_(FaultPoint::Fetch, ordinal, diag);
}

bool TestSeam::commit_fails(std::uint64_t ordinal, Diagnostics& diag) const {
  return hook_ && hook_(FaultPoint::Commit, ordinal, diag);
}

bool TestSeam::rollback_fails(std::uint64_t ordinal, Diagnostics& diag) const {
  return hook_ && hook_(FaultPoint::Rollback, ordinal, diag);
}

void TestSeam::flushed(std::uint64_t ordinal) const {
  Diagnostics ignored;
  if (hook_) hook_(FaultPoint::Flushed, ordinal, ignored);
}

SQLUSMALLINT TestSeam::cursor_commit_behavior(int link, SQLUSMALLINT reported) const {
  Diagnostics answer;
  if (hook_ && hook_(FaultPoint::CursorCommitBehavior, static_cast<std::uint64_t>(link), answer)) {
    return static_cast<SQLUSMALLINT>(answer.native);
  }
  return reported;
}

void TestSeam::pause_before(int next_attempt) const {
  Diagnostics ignored;
  if (hook_ && hook_(FaultPoint::RetryPause, static_cast<std::uint64_t>(next_attempt), ignored)) {
    return;
  }
  std::this_thread::sleep_for(retry_pause(next_attempt));
}

}  // namespace varnoklis
