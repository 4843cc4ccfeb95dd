// The processor-dependent choices, made once.
#include "services/cpu_targets.hpp"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace aqsol {

CpuTargets chooseCpuTargets(bool fma, bool avx2, bool avx512f, const char* forcedLanes) {
  CpuTargets targets;
  targets.widestLanes = avx512f ? 8 : avx2 && fma ? 4 : 1;
  targets.lanes = targets.widestLanes;
  const std::string_view forced = forcedLanes != nullptr ? forcedLanes : "";
  if (forced == "1" || forced == "4" || forced == "8")
    targets.lanes = std::min(targets.widestLanes, forced[0] - '0');
  targets.fusedMultiplyAdd = fma && targets.lanes > 1;
  return targets;
}

const CpuTargets& cpuTargets() {
  static const CpuTargets targets = [] {
    __builtin_cpu_init();  // before any feature test, even in a static initialiser
    return chooseCpuTargets(__builtin_cpu_supports("fma"), __builtin_cpu_supports("avx2"),
                            __builtin_cpu_supports("avx512f"), std::getenv("AQSOL_LANES"));
  }();
  return targets;
}

}  // namespace aqsol
