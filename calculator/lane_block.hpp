// The states a vector-lane evaluation of Phi and its derivatives reads and writes.
#pragma once

#include "calculator/helmholtz.hpp"

namespace aqsol::lanes {

// Reduced densities below this are evaluated one state at a time: there 1 - exp(-delta^2)
// takes another form and the whole powers leave the range the lanes are made for.
inline constexpr double kLaneMinDelta = 1e-3;

// Phi and its derivatives at the last evaluation, one row of W lanes per quantity.
template <int W>
struct LaneResults {
  alignas(64) double Phi[W]{};
  alignas(64) double dPhi_dDelta[W]{};
  alignas(64) double d2Phi_dDelta2[W]{};
  alignas(64) double dPhi_dTheta[W]{};
  alignas(64) double d2Phi_dTheta2[W]{};
  alignas(64) double d2Phi_dDelta_dTheta[W]{};
};

// W states side by side: their reduced densities and temperature terms (one row of lanes per
// quantity), which lanes hold a state, which failed, and Phi and its derivatives at the last
// evaluation.
template <int W>
struct LaneBlock {
  alignas(64) double delta[W]{};
  alignas(64) double thetaPow[14][W]{};  // theta^k, k = -2..11
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
  bool active[W] = {};
  bool failed[W] = {};           // a weight raised a guarded-maths error: evaluate the state alone
  bool transcribedMath = false;  // exp and log transcribed in the lanes (libraryMathInLanes())
  LaneResults<W> results;

  // Puts a state's temperature terms into a lane (delta is set before each evaluation).
  void load(int lane, const TemperatureTerms& terms) {
    for (int n = 0; n < 14; ++n) thetaPow[n][lane] = terms.thetaPow[n];
    t[lane] = terms.t;
    t2[lane] = terms.t2;
    tr2[lane] = terms.tr2;
    Hs[lane] = terms.Hs;
    dHs_dTheta[lane] = terms.dHs_dTheta;
    d2Hs_dTheta2[lane] = terms.d2Hs_dTheta2;
    Acr[lane] = terms.Acr;
    dAcr_dTheta[lane] = terms.dAcr_dTheta;
    Phi0[lane] = terms.Phi0;
    dPhi0_dTheta[lane] = terms.dPhi0_dTheta;
    d2Phi0_dTheta2[lane] = terms.d2Phi0_dTheta2;
    tt[lane] = &terms;
    failed[lane] = false;
  }

  // Phi and its derivatives at one lane's last evaluation, as completeHelmholtz gives them.
  HelmholtzValues values(int lane) const {
    const LaneResults<W>& r = results;
    return {r.Phi[lane],         r.dPhi_dDelta[lane],   r.d2Phi_dDelta2[lane],
            r.dPhi_dTheta[lane], r.d2Phi_dTheta2[lane], r.d2Phi_dDelta_dTheta[lane]};
  }
};

// Evaluates every lane of a block of 4 or 8 (see density_lanes.hpp); null where the processor
// lacks the instructions.
using LaneEvaluator4 = void (*)(const Constants& k, LaneBlock<4>& block);
using LaneEvaluator8 = void (*)(const Constants& k, LaneBlock<8>& block);
LaneEvaluator4 laneEvaluator4();
LaneEvaluator8 laneEvaluator8();

}  // namespace aqsol::lanes
