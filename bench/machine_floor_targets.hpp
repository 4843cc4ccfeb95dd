// The vector units' rate, measured by code compiled for each processor target
// (machine_floor_target.cpp) and for the baseline (machine_floor_baseline.cpp).
#pragma once

namespace aqsol::bench {

// Nanoseconds per lane per multiply or add at the vector units' full rate: many independent
// chains of a separately rounded multiply and add, as the table sums do them.
struct FloorTarget {
  double (*nanosecondsPerOperation)();
};

double baselineNanosecondsPerOperation();

}  // namespace aqsol::bench

namespace aqsol::targets {
namespace avx2 {
extern const bench::FloorTarget kFloor;
}
namespace avx512 {
extern const bench::FloorTarget kFloor;
}
}  // namespace aqsol::targets
