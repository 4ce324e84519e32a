#include "base/version.h"
#include "run/run.h"

int main(int argc, char** argv) {
  if (varnoklis::answer_version(argc, argv, "varnoklis")) return 0;
  return varnoklis::run(argc, argv);
}
