// The processor-dependent choices, made once.
#include "services/cpu_targets.hpp"

#include <algorithm>
#include <cstdlib>

namespace aqsol {

int targetLanes(CpuTarget target) {
  switch (target) {
    case CpuTarget::kAvx512:
      return 8;
    case CpuTarget::kAvx2:
      return 4;
    case CpuTarget::kBaseline:
      break;
  }
  return 1;
}

CpuTarget targetWithLanes(int lanes, CpuTarget widest) {
  const CpuTarget wanted = lanes >= 8   ? CpuTarget::kAvx512
                           : lanes >= 4 ? CpuTarget::kAvx2
                                        : CpuTarget::kBaseline;
  return std::min(wanted, widest);
}

std::string_view targetName(CpuTarget target) {
  switch (target) {
    case CpuTarget::kAvx512:
      return "avx512";
    case CpuTarget::kAvx2:
      return "avx2";
    case CpuTarget::kBaseline:
      break;
  }
  return "baseline";
}

CpuTargets chooseCpuTargets(bool fma, bool avx2, bool avx512f, const char* forcedLanes) {
  CpuTargets targets;
  targets.widest = !(avx2 && fma) ? CpuTarget::kBaseline
                   : avx512f      ? CpuTarget::kAvx512
                                  : CpuTarget::kAvx2;
  targets.active = targets.widest;
  const std::string_view forced = forcedLanes != nullptr ? forcedLanes : "";
  if (forced == "1" || forced == "4" || forced == "8")
    targets.active = targetWithLanes(forced[0] - '0', targets.widest);
  return targets;
}

const CpuTargets& cpuTargets() {
  static const CpuTargets targets = [] {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();  // before any feature test, even in a static initialiser
    return chooseCpuTargets(__builtin_cpu_supports("fma"), __builtin_cpu_supports("avx2"),
                            __builtin_cpu_supports("avx512f"), std::getenv("AQSOL_LANES"));
#else  // another processor (WebAssembly): the baseline path only
    return chooseCpuTargets(false, false, false, nullptr);
#endif
  }();
  return targets;
}

}  // namespace aqsol
