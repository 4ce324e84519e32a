// The program with the fault seam open, for the tests and the benchmarks only (see fault_seam.h).
// VARNOKLIS_NO_BIRTH_TIME makes it behave as on a file system that keeps no birth times.
#include <cstdlib>

#include "run/journal.h"
#include "run/run.h"
#include "support/fault_seam.h"

int main(int argc, char** argv) {
  varnoklis::ignore_birth_times(std::getenv("VARNOKLIS_NO_BIRTH_TIME") != nullptr);
  return varnoklis::run_download(argc, argv, varnoklis::testing::seam_from_environment());
}
