// The program with the fault seam open, for the tests only: VARNOKLIS_FAULT names the call that
// fails, as POINT:ORDINAL:SQLSTATE:NATIVE[:TIMES], POINT being "execute" or "fetch". With TIMES
// (default 1) the failure repeats on that many consecutive calls of the point, so that a
// transient failure can outlast its retries.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "run/run.h"

namespace {

struct Fault {
  varnoklis::FaultPoint point = varnoklis::FaultPoint::Execute;
  std::uint64_t ordinal = 0;
  std::string state;
  std::int32_t native = 0;
  std::uint64_t times = 1;
};

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
  fault.point = parts[0] == "fetch" ? varnoklis::FaultPoint::Fetch : varnoklis::FaultPoint::Execute;
  fault.ordinal = std::stoull(parts[1]);
  fault.state = parts[2];
  fault.native = static_cast<std::int32_t>(std::stol(parts[3]));
  if (count == 5) fault.times = std::stoull(parts[4]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* setting = std::getenv("VARNOKLIS_FAULT");
  Fault fault;
  if (setting == nullptr || !parse(setting, fault)) return varnoklis::run(argc, argv);
  return varnoklis::run(
      argc, argv,
      [fault](varnoklis::FaultPoint point, std::uint64_t ordinal, varnoklis::Diagnostics& diag) {
        if (point != fault.point || ordinal < fault.ordinal ||
            ordinal >= fault.ordinal + fault.times) {
          return false;
        }
        diag.state = fault.state;
        diag.native = fault.native;
        diag.message = "injected";
        return true;
      });
}
