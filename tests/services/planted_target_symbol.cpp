// A processor target's source with a global function planted in its region: the object that
// target_objects_export_only_their_table must refuse.
#include "services/math_targets.hpp"

// clang-format off
#include "services/target_region_begin.hpp"
// clang-format on

double plantedGlobal(double x);
double plantedGlobal(double x) {
  return x * 2;
}

#include "services/target_region_end.hpp"

namespace aqsol::targets::AQSOL_TARGET {
const MathTarget kMath{CpuTarget::AQSOL_TARGET_ENUM, nullptr, nullptr, nullptr, nullptr, nullptr};
}
