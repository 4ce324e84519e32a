// The program with the fault seam open, for the tests and the benchmarks only (see fault_seam.h).
#include "run/run.h"
#include "support/fault_seam.h"

int main(int argc, char** argv) {
  return varnoklis::run(argc, argv, varnoklis::testing::seam_from_environment());
}
