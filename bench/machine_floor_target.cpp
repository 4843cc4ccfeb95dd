// The vector units' rate for one processor target (AQSOL_TARGET, with AQSOL_LANES lanes).
#include "bench/machine_floor_rate.hpp"
#include "bench/machine_floor_targets.hpp"

// clang-format off
#include "services/target_region_begin.hpp"
// clang-format on

namespace aqsol::bench {
namespace {

double nanosecondsPerOperation() {
  return nanosecondsPerOperationOf<lanes::Vector>();
}

}  // namespace
}  // namespace aqsol::bench

#include "services/target_region_end.hpp"

namespace aqsol::targets::AQSOL_TARGET {
const bench::FloorTarget kFloor{bench::nanosecondsPerOperation};
}
