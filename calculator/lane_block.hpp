// The states a vector-lane evaluation of Phi and its derivatives reads and writes.
#pragma once

#include <utility>

#include "calculator/helmholtz.hpp"

namespace aqsol::lanes {

// Reduced densities below this are evaluated one state at a time: there 1 - exp(-delta^2)
// takes another form and the whole powers leave the range the lanes are made for.
inline constexpr double kLaneMinDelta = 1e-3;

// The largest delta a step taken in the lanes goes to; those beyond are taken by
// NewtonIteration, which pulls an iterate above 9.2 (in single precision) back.
inline constexpr double kLaneOrdinaryMaxDelta = 9;

// How near (in ulps) a rounding midpoint the lanes' powers x^n with |n ln x| <= 48.4 may lie
// before the library's pow may round them the other way: delta^n for |n| <= 7 and delta within
// 1e-3..10, and squares of numbers from 1e-3 to 10 in size. The library's pow errs beyond
// correct rounding by its exponential's error (0.009 ulp with fused multiply-add, 0.011 without)
// plus its logarithm's error times |n ln x| (2^-15 ulp per unit, at most 0.002 here): under
// 0.013 ulp. Measured on 450 million powers delta^n: at most 0.0086 ulp.
inline constexpr double kLanePowerMidpointMargin = 1.0 / 64;

// Phi and its derivatives at the last evaluation, one row of W lanes per quantity.
template <int W>
struct LaneResults {
  alignas(64) double Phi[W]{};
  alignas(64) double dPhi_dDelta[W]{};
  alignas(64) double d2Phi_dDelta2[W]{};
  alignas(64) double dPhi_dTheta[W]{};
  alignas(64) double d2Phi_dTheta2[W]{};
  alignas(64) double d2Phi_dDelta_dTheta[W]{};
  alignas(64) double Z[W]{};          // a step's Z
  alignas(64) double stepTaken[W]{};  // and its Newton step (newtonTerms)
};

// The rows of what a Newton step's evaluation keeps of each lane (LaneStepParts).
enum KeptRow : int {
  kKeptDeltaPow,  // delta^n, n = -3..7: DeltaPowers::kCount rows from here
  kKeptLnDelta = kKeptDeltaPow + DeltaPowers::kCount,
  kKeptE,
  kKeptE_d,
  kKeptSumB,    // table B's sum
  kKeptSumC,    // table C's sum
  kKeptSumC_d,  // and its delta-derivative
  kKeptGaussian,
  kKeptRowCount
};

// A weight and its derivatives (d, dd, t, tt, dt).
inline constexpr int kWeightParts = 6;

// What a Newton step's evaluation keeps of each lane for completing that evaluation once the
// lane's iteration has converged: the parts of Phi it computed that the theta-derivatives need,
// or need to recompute the others with the same operations; one row of W lanes per KeptRow, so
// that one loop copies a lane whatever is kept.
template <int W>
struct LaneStepParts {
  alignas(64) double rows[kKeptRowCount][W]{};
  // The crossover switch and its derivatives, zero in every lane unless `crossover` says some
  // lane has them.
  alignas(64) double crossoverWeight[kWeightParts][W]{};
  bool crossover = false;
};

// W states side by side: their reduced densities and temperature terms (one row of lanes per
// quantity), which lanes hold a state, which failed, Phi and its derivatives at the last
// evaluation, and what a step keeps for completing it.
template <int W>
struct LaneBlock {
  alignas(64) double delta[W]{};
  alignas(64) double reducedP[W]{};  // the Newton iteration's target
  // The Newton iteration's running state, carried by the lanes while its steps are ordinary
  // (see `stepped`): the size of the last step (NewtonIteration::kNoLastStep before the first)
  // and the evaluations made.
  alignas(64) double lastStepSize[W]{};
  alignas(64) double evaluations[W]{};
  alignas(64) double thetaPow[TemperatureTerms::kPowerCount][W]{};  // theta^k, k = -2..11
  alignas(64) double t[W]{};
  alignas(64) double t2[W]{};
  alignas(64) double tr2[W]{};
  alignas(64) double Hs[W]{};
  alignas(64) double dHs_dTheta[W]{};
  alignas(64) double d2Hs_dTheta2[W]{};
  alignas(64) double Acr[W]{};
  alignas(64) double dAcr_dTheta[W]{};
  alignas(64) double Phi0[W]{};
  alignas(64) double dPhi0_dTheta[W]{};
  alignas(64) double d2Phi0_dTheta2[W]{};
  const TemperatureTerms* tt[W] = {};
  double loadedT[W] = {};  // K, the temperature of each lane's terms (0 K: none yet)
  bool active[W] = {};
  bool failed[W] = {};           // a weight raised a guarded-maths error: evaluate the state alone
  bool transcribedMath = false;  // exp, log and pow transcribed in the lanes (libraryMathInLanes())
  // Lanes (bit i for lane i) whose step from the last evaluation the evaluation took itself, as
  // NewtonIteration::step would: within kMaxEvaluations, not ending the iteration, to a delta
  // from kLaneMinDelta to kLaneOrdinaryMaxDelta; their delta, lastStepSize and evaluations
  // moved on. Every other lane is left as it was evaluated, for NewtonIteration to step.
  unsigned stepped = 0;
  LaneResults<W> results;
  LaneStepParts<W> kept;

  // Each temperature term a lane holds beside theta's powers, and its row.
  static constexpr std::pair<double TemperatureTerms::*, double (LaneBlock::*)[W]> kTermRows[] = {
      {&TemperatureTerms::t, &LaneBlock::t},
      {&TemperatureTerms::t2, &LaneBlock::t2},
      {&TemperatureTerms::tr2, &LaneBlock::tr2},
      {&TemperatureTerms::Hs, &LaneBlock::Hs},
      {&TemperatureTerms::dHs_dTheta, &LaneBlock::dHs_dTheta},
      {&TemperatureTerms::d2Hs_dTheta2, &LaneBlock::d2Hs_dTheta2},
      {&TemperatureTerms::Acr, &LaneBlock::Acr},
      {&TemperatureTerms::dAcr_dTheta, &LaneBlock::dAcr_dTheta},
      {&TemperatureTerms::Phi0, &LaneBlock::Phi0},
      {&TemperatureTerms::dPhi0_dTheta, &LaneBlock::dPhi0_dTheta},
      {&TemperatureTerms::d2Phi0_dTheta2, &LaneBlock::d2Phi0_dTheta2}};

  // Puts a state's temperature terms into a lane (delta is set before each evaluation). A lane
  // that held a state at the same temperature holds them already.
  void load(int lane, const TemperatureTerms& terms) {
    tt[lane] = &terms;
    failed[lane] = false;
    if (loadedT[lane] == terms.T) return;
    loadedT[lane] = terms.T;
    // Unrolled, these copies and those of takeStep are a load and a store each, with no loop
    // (or table of members) around them.
#pragma GCC unroll 16
    for (int n = 0; n < TemperatureTerms::kPowerCount; ++n) thetaPow[n][lane] = terms.thetaPow[n];
#pragma GCC unroll 16
    for (const auto& [term, row] : kTermRows) (this->*row)[lane] = terms.*term;
  }

  // Puts into a lane, for completing, another block's lane after its last step: what the step
  // kept and the delta-derivatives it gave (the temperature terms are load()ed separately).
  void takeStep(int lane, const LaneBlock& from, int fromLane) {
    const LaneStepParts<W>& f = from.kept;
    LaneStepParts<W>& to = kept;
#pragma GCC unroll 32
    for (int n = 0; n < kKeptRowCount; ++n) to.rows[n][lane] = f.rows[n][fromLane];
    if (f.crossover) {
      for (int n = 0; n < kWeightParts; ++n)
        to.crossoverWeight[n][lane] = f.crossoverWeight[n][fromLane];
      to.crossover = true;
    }
    results.dPhi_dDelta[lane] = from.results.dPhi_dDelta[fromLane];
    results.d2Phi_dDelta2[lane] = from.results.d2Phi_dDelta2[fromLane];
  }

  // Zeros the crossover weights kept, after they have been used.
  void clearCrossover() {
    if (!kept.crossover) return;
    for (auto& row : kept.crossoverWeight)
      for (double& value : row) value = 0;
    kept.crossover = false;
  }

  // Phi and its derivatives at one lane's last evaluation, as completeHelmholtz gives them.
  HelmholtzValues values(int lane) const {
    const LaneResults<W>& r = results;
    return {r.Phi[lane],         r.dPhi_dDelta[lane],   r.d2Phi_dDelta2[lane],
            r.dPhi_dTheta[lane], r.d2Phi_dTheta2[lane], r.d2Phi_dDelta_dTheta[lane]};
  }
};

// The evaluations of a block of 4 or 8 lanes (see density_lanes.hpp): `step` gives Phi's
// delta-derivatives at every lane's delta and keeps what `complete` needs; `complete` gives Phi
// and its theta-derivatives from what a step kept (copied, lane by lane, into the block it is
// given); `completeMixed` gives only d2Phi/ddelta dtheta, the others NaN.
template <int W>
struct LaneEvaluator {
  void (*step)(const Constants& k, LaneBlock<W>& block);
  void (*complete)(const Constants& k, LaneBlock<W>& block);
  void (*completeMixed)(const Constants& k, LaneBlock<W>& block);
};

}  // namespace aqsol::lanes

// Each processor target's table (density_lanes_target.cpp), called only where the processor runs
// that target.
namespace aqsol::targets {
namespace avx2 {
extern const lanes::LaneEvaluator<4> kLanes;
}
namespace avx512 {
extern const lanes::LaneEvaluator<8> kLanes;
}
}  // namespace aqsol::targets
