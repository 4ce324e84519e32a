// The program with the fault seam open, for the tests only. It behaves like the SQL Server
// driver where the embedded store's driver does not: every connection answers SQL_CB_CLOSE for
// its cursors on commit. VARNOKLIS_FAULT names the call that fails, as
// POINT:ORDINAL:SQLSTATE:NATIVE[:TIMES], POINT being "execute", "fetch" or "commit". With TIMES
// (default 1) the failure repeats on that many consecutive calls of the point, so that a
// transient failure can outlast its retries. VARNOKLIS_COMMIT_PAUSE_US pauses every commit that
// many microseconds after it took effect (without groups: after every staged record), as a
// server's log flush would.
#include <sqlext.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "run/run.h"

namespace {

struct Fault {
  bool set = false;
  varnoklis::FaultPoint point = varnoklis::FaultPoint::Execute;
  std::uint64_t ordinal = 0;
  std::string state;
  std::int32_t native = 0;
  std::uint64_t times = 1;
};

varnoklis::FaultPoint point_named(const std::string& name) {
  if (name == "fetch") return varnoklis::FaultPoint::Fetch;
  if (name == "commit") return varnoklis::FaultPoint::Commit;
  return varnoklis::FaultPoint::Execute;
}

bool parse(const char* text, Fault& fault) {
  std::string line = text;
  std::string parts[5];
  std::size_t count = 0, start = 0;
  while (count < 5) {
    std::size_t colon = line.find(':', start);
    parts[count++] = line.substr(start, colon - start);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (count < 4) return false;
  fault.point = point_named(parts[0]);
  fault.ordinal = std::stoull(parts[1]);
  fault.state = parts[2];
  fault.native = static_cast<std::int32_t>(std::stol(parts[3]));
  if (count == 5) fault.times = std::stoull(parts[4]);
  fault.set = true;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* setting = std::getenv("VARNOKLIS_FAULT");
  Fault fault;
  if (setting != nullptr) parse(setting, fault);
  const char* pause_setting = std::getenv("VARNOKLIS_COMMIT_PAUSE_US");
  const std::chrono::microseconds pause(pause_setting ? std::stoll(pause_setting) : 0);
  return varnoklis::run(argc, argv,
                        [fault, pause](varnoklis::FaultPoint point, std::uint64_t ordinal,
                                       varnoklis::Diagnostics& diag) {
                          if (point == varnoklis::FaultPoint::CursorCommitBehavior) {
                            diag.native = SQL_CB_CLOSE;
                            return true;
                          }
                          if (point == varnoklis::FaultPoint::Flushed && pause.count() > 0) {
                            std::this_thread::sleep_for(pause);
                          }
                          if (!fault.set || point != fault.point || ordinal < fault.ordinal ||
                              ordinal >= fault.ordinal + fault.times) {
                            return false;
                          }
                          diag.state = fault.state;
                          diag.native = fault.native;
                          diag.message = "injected";
                          return true;
                        });
}
