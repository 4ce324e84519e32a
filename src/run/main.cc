#include "run/run.h"

int main(int argc, char** argv) {
  return varnoklis::run(argc, argv);
}
