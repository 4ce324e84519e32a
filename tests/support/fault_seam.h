#pragma once

#include "db/failure.h"

namespace varnoklis::testing {

/// The seam of the test build's programs, set from their environment. Every connection answers
/// SQL_CB_CLOSE for its cursors on commit, as the SQL Server driver does. VARNOKLIS_FAULT names
/// the call that fails, as POINT:ORDINAL:SQLSTATE:NATIVE[:TIMES], POINT being "execute", "fetch",
/// "commit" or "rollback", the ordinal counted in each run; with TIMES (default 1) the failure
/// repeats on that many consecutive calls. A transiently failed statement is tried again without a
/// pause. VARNOKLIS_COMMIT_PAUSE_US pauses every commit that took effect (without groups: every
/// staged record), as a server's log flush would; VARNOKLIS_ROUNDTRIP_US pauses every statement
/// sent, as a round trip to a server would. VARNOKLIS_RECORD_TEXTS=FILE appends every statement
/// text sent to FILE, one a line; VARNOKLIS_SEAM_TIMES=FILE appends what the pauses really took
/// when the seam is let go. The hook may be called from several threads at once.
FaultHook seam_from_environment();

}  // namespace varnoklis::testing
