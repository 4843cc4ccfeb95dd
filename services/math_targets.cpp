// The baseline's maths table, and the choice among the targets' tables.
#include "services/math_targets.hpp"

#include "services/exact_powers.hpp"

namespace aqsol {
namespace targets::baseline {
namespace {

bool exactPower(double x, int n, double& result) {
  return exact_integer_power<false>(x, n, result);
}

void powerRun(double x, int first, int last, double* out) {
  power_run<false>(x, first, last, out);
}

const MathTarget kMath{CpuTarget::kBaseline, nullptr, nullptr, nullptr, exactPower, powerRun};

}  // namespace
}  // namespace targets::baseline

const MathTarget& mathTarget(CpuTarget target) {
  switch (target) {
#if AQSOL_X86_TARGETS
    case CpuTarget::kAvx512:
      return targets::avx512::kMath;
    case CpuTarget::kAvx2:
      return targets::avx2::kMath;
#endif
    default:
      break;
  }
  return targets::baseline::kMath;
}

const MathTarget& activeMathTarget() {
  static const MathTarget& active = mathTarget(cpuTargets().active);
  return active;
}

}  // namespace aqsol
