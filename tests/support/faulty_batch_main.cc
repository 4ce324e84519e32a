// The batch with the fault seam open in every job, for the tests and the benchmarks only (see
// fault_seam.h); fault ordinals count in each job.
#include "batch/batch.h"
#include "support/fault_seam.h"

int main(int argc, char** argv) {
  return varnoklis::batch::run_batch(argc, argv, varnoklis::testing::seam_from_environment());
}
