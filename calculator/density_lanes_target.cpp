// Phi and its derivatives in vector lanes for one processor target (AQSOL_TARGET, with
// AQSOL_LANES lanes).
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
#include "services/errors.hpp"
#include "services/guarded_math.hpp"
#include "services/library_math_tables.hpp"

// The region compiled for the target, and the headers that belong to it.
// clang-format off
#include "services/target_region_begin.hpp"
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

#include "services/target_region_end.hpp"

namespace aqsol::targets::AQSOL_TARGET {
const lanes::LaneEvaluator<AQSOL_LANES> kLanes{lanes::step, lanes::complete, lanes::completeMixed};
}
