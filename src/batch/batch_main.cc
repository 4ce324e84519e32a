#include "batch/batch.h"

int main(int argc, char** argv) {
  return varnoklis::batch::run_batch(argc, argv);
}
