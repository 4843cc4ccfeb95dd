// The states a vector-lane evaluation of Phi's delta-derivatives reads and writes.
#pragma once

#include "calculator/helmholtz.hpp"

namespace aqsol::lanes {

// Reduced densities below this are evaluated one state at a time: there 1 - exp(-delta^2)
// takes another form and the whole powers leave the range the lanes are made for.
inline constexpr double kLaneMinDelta = 1e-3;

// Everything evaluateDensityDerivatives computes, one row of W lanes per quantity.
template <int W>
struct LaneResults {
  alignas(64) double dPhi_dDelta[W]{};
  alignas(64) double d2Phi_dDelta2[W]{};
  alignas(64) double lnDelta[W]{};
  alignas(64) double dp[11][W]{};  // delta^n, n = -3..7
  alignas(64) double E[4][W]{};    // E, E_d, E_dd, E1
  alignas(64) double g[8][W]{};    // density functions, i = 1..7
  alignas(64) double g_d[8][W]{};
  alignas(64) double g_dd[8][W]{};
  alignas(64) double sums[4][6][W]{};  // tables A..D: S, S_d, S_dd, S_t, S_tt, S_dt
  alignas(64) double G[6][W]{};        // Gaussian weight and its derivatives
  alignas(64) double S[6][W]{};        // crossover switch and its derivatives
};

// W states side by side: their reduced densities and temperature terms (one row of lanes per
// quantity), which lanes hold a state, which failed, and the results of the last evaluation.
template <int W>
struct LaneBlock {
  alignas(64) double delta[W]{};
  alignas(64) double thetaPow[14][W]{};  // theta^k, k = -2..11
  alignas(64) double t[W]{};
  alignas(64) double t2[W]{};
  alignas(64) double tr2[W]{};
  alignas(64) double Hs[W]{};
  alignas(64) double Acr[W]{};
  const TemperatureTerms* tt[W] = {};
  bool active[W] = {};
  bool failed[W] = {};  // a weight raised a guarded-maths error: evaluate the state alone
  LaneResults<W> results;

  // Puts a state's temperature terms into a lane (delta is set before each evaluation).
  void load(int lane, const TemperatureTerms& terms) {
    for (int n = 0; n < 14; ++n) thetaPow[n][lane] = terms.thetaPow[n];
    t[lane] = terms.t;
    t2[lane] = terms.t2;
    tr2[lane] = terms.tr2;
    Hs[lane] = terms.Hs;
    Acr[lane] = terms.Acr;
    tt[lane] = &terms;
    failed[lane] = false;
  }

  // The last evaluation of one lane as evaluateDensityDerivatives leaves it.
  void extract(int lane, DensityEvaluation& e) const {
    const LaneResults<W>& r = results;
    e.delta = delta[lane];
    e.lnDelta = r.lnDelta[lane];
    for (int n = 0; n < 11; ++n) e.dp.pow[n] = r.dp[n][lane];
    e.E = {r.E[0][lane], r.E[1][lane], r.E[2][lane], r.E[3][lane]};
    for (int i = 1; i <= 7; ++i) {
      e.f.g[i] = r.g[i][lane];
      e.f.g_d[i] = r.g_d[i][lane];
      e.f.g_dd[i] = r.g_dd[i][lane];
    }
    TableSums* sums[4] = {&e.A, &e.B, &e.C, &e.D};
    for (int n = 0; n < 4; ++n)
      *sums[n] = {r.sums[n][0][lane], r.sums[n][1][lane], r.sums[n][2][lane],
                  r.sums[n][3][lane], r.sums[n][4][lane], r.sums[n][5][lane]};
    e.hasThetaSums = true;
    e.G = {r.G[0][lane], r.G[1][lane], r.G[2][lane], r.G[3][lane], r.G[4][lane], r.G[5][lane]};
    e.S = {r.S[0][lane], r.S[1][lane], r.S[2][lane], r.S[3][lane], r.S[4][lane], r.S[5][lane]};
    e.dPhi_dDelta = r.dPhi_dDelta[lane];
    e.d2Phi_dDelta2 = r.d2Phi_dDelta2[lane];
  }
};

// Evaluates every lane of a block of 4 or 8 (see density_lanes.hpp); null where the processor
// lacks the instructions.
using LaneEvaluator4 = void (*)(const Constants& k, LaneBlock<4>& block);
using LaneEvaluator8 = void (*)(const Constants& k, LaneBlock<8>& block);
LaneEvaluator4 laneEvaluator4();
LaneEvaluator8 laneEvaluator8();

}  // namespace aqsol::lanes
