// The services' processor-dependent maths: one table of entry points per processor target
// (math_target.cpp compiled for each in aqsol::targets::avx2 and ::avx512; the baseline's in
// math_targets.cpp), and the table of the target cpu_targets chose.
#pragma once

#include <cstddef>

#include "services/cpu_targets.hpp"

namespace aqsol {

struct MathTarget {
  CpuTarget target;
  // e^x and ln x of x[0..n) into out, the C library's bits where libraryMathInLanes() says so;
  // null on the baseline, which has no lanes.
  void (*expArray)(const double* x, double* out, std::size_t n);
  void (*logArray)(const double* x, double* out, std::size_t n);
  // x[i]^y[i] into out[i], likewise.
  void (*powArray)(const double* x, const double* y, double* out, std::size_t n);
  // x^n, 2 <= |n| <= 32, correctly rounded where that is certainly the library's pow; false
  // where it cannot be certain (see guarded_math.hpp).
  bool (*exactPower)(double x, int n, double& result);
  // x^n for every n from `first` to `last` (-32..32) into out[n - first], as whole_powers.
  void (*powerRun)(double x, int first, int last, double* out);
};

namespace targets {
namespace avx2 {
extern const MathTarget kMath;
}
namespace avx512 {
extern const MathTarget kMath;
}
}  // namespace targets

// The table of `target`, which the processor must run.
const MathTarget& mathTarget(CpuTarget target);

// The table of the target in use, cpuTargets().active.
const MathTarget& activeMathTarget();

}  // namespace aqsol
