// The vector units' rate without a processor target: two-lane vectors with one lane counted.
#include "bench/machine_floor_rate.hpp"
#include "bench/machine_floor_targets.hpp"

namespace aqsol::bench {

double baselineNanosecondsPerOperation() {
  return nanosecondsPerOperationOf<double __attribute__((vector_size(16)))>() * 2;
}

}  // namespace aqsol::bench
