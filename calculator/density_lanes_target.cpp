// Phi and its derivatives in vector lanes for one instruction set, chosen by AQSOL_LANES when
// this file is compiled: 4 (AVX2 with fused multiply-add) or 8 (AVX-512).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "calculator/constants.hpp"
#include "calculator/eos_tables.hpp"
#include "calculator/helmholtz.hpp"
#include "calculator/lane_block.hpp"
#include "services/cpu_targets.hpp"
#include "services/errors.hpp"
#include "services/guarded_math.hpp"

// The instruction set first, then the code compiled for it.
// clang-format off
#include "services/lane_target_begin.hpp"
#include "calculator/density_lanes.hpp"
// clang-format on

namespace aqsol::lanes {
namespace {
void step(const Constants& k, LaneBlock<AQSOL_LANES>& block) {
  stepLanes<Vector>(k, block);
}

void complete(const Constants& k, LaneBlock<AQSOL_LANES>& block) {
  completeLanes<Vector, false>(k, block);
}

void completeMixed(const Constants& k, LaneBlock<AQSOL_LANES>& block) {
  completeLanes<Vector, true>(k, block);
}
}  // namespace
}  // namespace aqsol::lanes

#include "services/lane_target_end.hpp"

namespace aqsol::lanes {

#if AQSOL_LANES == 4
LaneEvaluator4 laneEvaluator4() {
  return cpuTargets().widestLanes >= 4 ? LaneEvaluator4{step, complete, completeMixed}
                                       : LaneEvaluator4{};
}
#else
LaneEvaluator8 laneEvaluator8() {
  return cpuTargets().widestLanes >= 8 ? LaneEvaluator8{step, complete, completeMixed}
                                       : LaneEvaluator8{};
}
#endif

}  // namespace aqsol::lanes
