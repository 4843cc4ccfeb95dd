// Phi and its derivatives for several states at once, one state per lane of a vector register.
//
// Each lane performs exactly the operations evaluateDensityDerivatives and completeHelmholtz
// perform for its state, in the same order, so every double it produces is the one those
// functions give. Whole powers
// are the correctly rounded ones wherever those are certainly the library's, and the library's
// pow elsewhere, as in the guarded maths; exponentials and logarithms are the library's,
// transcribed into the lanes (library_math_lanes.hpp) or called lane by lane. The weights near the
// critical point are computed lane by lane by the one-state functions wherever they differ from
// their far-field constants.
//
// Compiled only inside a processor target's region (target_region_begin.hpp), after <cmath>,
// <cstdint>, constants.hpp, helmholtz.hpp, lane_block.hpp, guarded_math.hpp and
// library_math_tables.hpp; helmholtz_terms.hpp, newton_terms.hpp and table_sums.hpp, whose
// templates must take the target too, are included here. Everything here has internal linkage, so
// each instruction set keeps its own copy.
//
// Short loops over the powers, the lanes or a few constants carry `#pragma GCC unroll`: at -O2
// GCC keeps them as loops, testing the index at run time (n == 0 || n == 1) and computing each
// row's address from it; unrolled, the indices fold into constants. The same holds for the
// lanes' maths (library_math_lanes.hpp), the density functions (helmholtz_terms.hpp) and the
// copies in and out of the lane blocks (lane_block.hpp).
#pragma once

#ifndef AQSOL_TARGET_REGION
#error "density_lanes.hpp is compiled only inside a processor target's region"
#endif

#include "calculator/helmholtz_terms.hpp"
#include "calculator/newton_terms.hpp"
#include "calculator/table_sums.hpp"
#include "services/library_math_lanes.hpp"

namespace aqsol::lanes {
namespace {

template <class V>
[[gnu::always_inline]] inline V load(const double* from) {
  V v;
  __builtin_memcpy(&v, from, sizeof v);
  return v;
}

template <class V>
[[gnu::always_inline]] inline void store(double* to, V v) {
  __builtin_memcpy(to, &v, sizeof v);
}

// A value per lane as the unevaluated sum hi + lo.
template <class V>
struct DoubleDouble {
  V hi, lo;
};

template <class V>
[[gnu::always_inline]] inline DoubleDouble<V> twoProduct(V a, V b) {
  const V p = a * b;
  return {p, fusedMultiplyAdd(a, b, -p)};
}

template <class V>
[[gnu::always_inline]] inline DoubleDouble<V> multiply(DoubleDouble<V> a, DoubleDouble<V> b) {
  DoubleDouble<V> p = twoProduct(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  const V sum = p.hi + p.lo;
  return {sum, p.lo - (sum - p.hi)};
}

template <class V>
[[gnu::always_inline]] inline DoubleDouble<V> multiply(DoubleDouble<V> a, V x) {
  DoubleDouble<V> p = twoProduct(a.hi, x);
  p.lo += a.lo * x;
  const V sum = p.hi + p.lo;
  return {sum, p.lo - (sum - p.hi)};
}

template <class V>
[[gnu::always_inline]] inline DoubleDouble<V> reciprocal(V a) {
  const V q = 1.0 / a;
  const DoubleDouble<V> qa = twoProduct(q, a);
  const V remainder = (1.0 - qa.hi) - qa.lo;
  const V correction = q * remainder;
  const V sum = q + correction;
  return {sum, correction - (sum - q)};
}

// What widens a distance from a double of (1/2 - margin) of the spacing of doubles there to
// half that spacing.
constexpr double widening(double margin) {
  return 1 / (1 - 2 * margin);
}

// Lanes whose power hi + lo (within 2^-128..2^128, accurate to about 2^-96; hi is hi + lo
// rounded) lies within a margin of a rounding midpoint, where hi is not certainly the library's
// pow: those where hi + lo widen (widening(margin)), rounded once, is not hi, as lo is then at
// least (1/2 - margin) of the spacing of doubles on its side of hi. Those lanes take library_pow,
// never std::pow with a constant exponent, which the compiler may rewrite as products (x^2 as
// x*x, x^-1 as 1/x: correctly rounded, but not the library's pow where that rounds the other
// way).
template <class V>
[[gnu::always_inline]] inline MaskOf<V> nearMidpoint(DoubleDouble<V> p, V widen) {
  return fusedMultiplyAdd(widen, p.lo, p.hi) != p.hi;
}

// x^y in every lane as the library's pow gives it: the transcription, kept out of line, as it is
// large and seldom called.
template <class V>
[[gnu::noinline]] V transcribedPowOutOfLine(V x, V y) {
  return transcribedPow(x, y);
}

// x^n as the library's pow gives it into the lanes of `out` that `which` selects: transcribed
// where that reproduces this process's library, else called lane by lane.
template <class V>
[[gnu::always_inline]] inline void libraryPowerInto(V x, int n, MaskOf<V> which, bool transcribed,
                                                    V& out) {
  if (!anyLane(which)) return;
  if (transcribed) {
    out = which ? transcribedPowOutOfLine(x, laneSplat<V>(n)) : out;
    return;
  }
  for (int lane = 0; lane < kLaneCount<V>; ++lane)
    if (which[lane]) out[lane] = library_pow(x[lane], n);
}

// The (power, lane) pairs whose delta^n the library's pow gives: bit (n + 3) W + lane set for
// n = -3..7, W lanes to a power (W divides 64, so a power's lanes share a word).
template <int W>
struct NearPairs {
  std::uint64_t words[(DeltaPowers::kCount * W + 63) / 64] = {};

  void add(int n, unsigned lanes) {
    const int bit = (n + 3) * W;
    words[bit / 64] |= std::uint64_t{lanes} << (bit % 64);
  }

  int count() const {
    int pairs = 0;
    for (const std::uint64_t word : words) pairs += __builtin_popcountll(word);
    return pairs;
  }

  // Calls f(n, lane) for each pair, by power and lane.
  template <class F>
  [[gnu::always_inline]] void forEach(const F& f) const {
    for (int w = 0; w < static_cast<int>(std::size(words)); ++w)
      for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
        const int pair = 64 * w + __builtin_ctzll(bits);
        f(pair / W - 3, pair % W);
      }
  }
};

// delta^n as the library's pow gives it into dp[n + 3] for the lanes and powers (n = -3..7, but
// 0 and 1) that `nearN` selects. Where the transcription reproduces this process's library and
// the pairs fill half a vector or more, they are packed into whole vectors of it; else each is
// a call.
template <class V>
[[gnu::noinline]] void libraryPowersNear(V x, const MaskOf<V>* nearN, V* dp, bool transcribed) {
  constexpr int kWidth = kLaneCount<V>;
  NearPairs<kWidth> near;
#pragma GCC unroll 16
  for (int n = -3; n <= 7; ++n)
    if (n != 0 && n != 1) near.add(n, laneBits(nearN[n + 3]));
  if (!transcribed || 2 * near.count() < kWidth) {
    near.forEach([&](int n, int lane) { dp[n + 3][lane] = library_pow(x[lane], n); });
    return;
  }
  double base[kWidth], power[kWidth];
  int slots[kWidth];  // (n + 3) kWidth + lane of each packed pair
  int packed = 0;
  const auto flush = [&] {
    for (int i = packed; i < kWidth; ++i) base[i] = power[i] = 2;  // any ordinary pair
    V b, p;
    __builtin_memcpy(&b, base, sizeof b);
    __builtin_memcpy(&p, power, sizeof p);
    const V result = transcribedPowOutOfLine(b, p);
    for (int i = 0; i < packed; ++i) dp[slots[i] / kWidth][slots[i] % kWidth] = result[i];
    packed = 0;
  };
  near.forEach([&](int n, int lane) {
    base[packed] = x[lane];
    power[packed] = n;
    slots[packed++] = (n + 3) * kWidth + lane;
    if (packed == kWidth) flush();
  });
  if (packed > 0) flush();
}

// delta^n for n = -3..7 into dp[n + 3]; the library's pow for lanes near a midpoint.
template <class V>
[[gnu::always_inline]] inline void deltaPowers(V x, V* dp, bool transcribed) {
  using M = MaskOf<V>;
  // x^2 .. x^7 by a tree of products three deep rather than a chain six deep: each is accurate
  // to far below the margin either way, so the rounding and the checks below decide alike.
  DoubleDouble<V> exact[11];
  const DoubleDouble<V> x2 = twoProduct(x, x), x3 = multiply(x2, x), x4 = multiply(x2, x2);
  exact[2 + 3] = x2;
  exact[3 + 3] = x3;
  exact[4 + 3] = x4;
  exact[5 + 3] = multiply(x4, x);
  exact[6 + 3] = multiply(x3, x3);
  exact[7 + 3] = multiply(x4, x3);
  const DoubleDouble<V> inverse = reciprocal(x);
  DoubleDouble<V> power = inverse;
#pragma GCC unroll 4
  for (int n = -1; n >= -3; --n) exact[n + 3] = power = n < -1 ? multiply(power, inverse) : power;
  M near[11];
  M anyNear{};
#pragma GCC unroll 16
  for (int n = -3; n <= 7; ++n) {
    if (n == 0 || n == 1) continue;
    near[n + 3] = nearMidpoint(exact[n + 3], laneSplat<V>(widening(kLanePowerMidpointMargin)));
    anyNear |= near[n + 3];
    dp[n + 3] = exact[n + 3].hi;
  }
  dp[3] = laneSplat<V>(1);
  dp[4] = x;
  if (anyLane(anyNear)) libraryPowersNear(x, near, dp, transcribed);
}

// The library's exponential and logarithm: transcribed in the lanes where that reproduces this
// process's library (b.transcribedMath), else called lane by lane.
template <class V>
[[gnu::always_inline]] inline V expLanes(V x, bool transcribed) {
  if (transcribed) return transcribedExp(x);
  V r;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) r[lane] = std::exp(x[lane]);
  return r;
}

template <class V>
[[gnu::always_inline]] inline V logLanes(V x, bool transcribed) {
  if (transcribed) return transcribedLog(x);
  V r;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) r[lane] = std::log(x[lane]);
  return r;
}

// The density functions g_i and their delta-derivatives, as densityFunctions computes them.
template <class V>
struct LaneFunctions {
  V g[8], g_d[8], g_dd[8];
};

// The powers delta^n as the shared formulas ask for them.
template <class V>
struct LanePowers {
  const V* dp;  // dp[n + 3] = delta^n
  V operator()(int n) const { return dp[n + 3]; }
};

// A table's sum and its five derivatives, as the one-state functions accumulate them.
template <class V>
struct LaneSums {
  V S{}, S_d{}, S_dd{}, S_t{}, S_tt{}, S_dt{};
};

template <class V>
struct LaneWeight {
  V W, W_d, W_dd, W_t, W_tt, W_dt;  // each set by its maker: zeros() or all six computed
  bool any = false;  // some lane's weight was computed (the crossover switch's are often all 0)

  // A weight of zeros, a vector stored at a time (the whole struct zero-initialized compiles to a
  // string instruction, slow to start for a block this size).
  static LaneWeight zeros() {
    LaneWeight w;
    w.W = w.W_d = w.W_dd = w.W_t = w.W_tt = w.W_dt = V{};
    return w;
  }

  void storeInto(double (*to)[kLaneCount<V>]) const {
    const V* parts[kWeightParts] = {&W, &W_d, &W_dd, &W_t, &W_tt, &W_dt};
    for (int n = 0; n < kWeightParts; ++n) store(to[n], *parts[n]);
  }

  void loadFrom(const double (*from)[kLaneCount<V>]) {
    V* parts[kWeightParts] = {&W, &W_d, &W_dd, &W_t, &W_tt, &W_dt};
    for (int n = 0; n < kWeightParts; ++n) *parts[n] = load<V>(from[n]);
  }

  void setLane(int lane, const Weight& w) {
    W[lane] = w.W;
    W_d[lane] = w.W_d;
    W_dd[lane] = w.W_dd;
    W_t[lane] = w.W_t;
    W_tt[lane] = w.W_tt;
    W_dt[lane] = w.W_dt;
  }
};

// theta^k of each lane's temperature, as the shared formulas ask for it.
template <class V>
struct LaneTheta {
  const LaneBlock<kLaneCount<V>>& b;
  [[gnu::always_inline]] V operator()(int power) const {
    return load<V>(b.thetaPow[power - TemperatureTerms::kMinPower]);
  }
};

// The parts of Phi at each lane's delta, with the lanes' temperature terms.
template <class V>
using LaneParts = terms::Parts<V, LaneSums<V>, LaneWeight<V>>;

template <class V>
[[gnu::always_inline]] inline LaneParts<V> laneParts(V delta, V delta2, V lnDelta, V E, V E_d,
                                                     V E_dd, const LaneSums<V>& A,
                                                     const LaneSums<V>& B, const LaneSums<V>& C,
                                                     const LaneSums<V>& D, const LaneWeight<V>& G,
                                                     const LaneWeight<V>& S,
                                                     const LaneBlock<kLaneCount<V>>& b) {
  return {delta,
          delta2,
          lnDelta,
          E,
          E_d,
          E_dd,
          A,
          B,
          C,
          D,
          G,
          S,
          load<V>(b.Phi0),
          load<V>(b.dPhi0_dTheta),
          load<V>(b.d2Phi0_dTheta2),
          load<V>(b.Hs),
          load<V>(b.dHs_dTheta),
          load<V>(b.d2Hs_dTheta2),
          load<V>(b.Acr),
          load<V>(b.dAcr_dTheta)};
}

// x^2 as guarded_pow gives it: the exact square rounded once, or the library's pow for lanes
// near a rounding midpoint (the lanes' margin from 1e-3 in size up, the guarded maths' wider one
// below) or so small that the square leaves the normal range.
template <class V>
[[gnu::always_inline]] inline V square(V x, bool transcribed) {
  const DoubleDouble<V> exact = twoProduct(x, x);
  const V widen = x * x >= 1e-6 ? laneSplat<V>(widening(kLanePowerMidpointMargin))
                                : laneSplat<V>(widening(kPowerMidpointMargin));
  const MaskOf<V> libraryLanes = nearMidpoint(exact, widen) | (x * x < 0x1p-900);
  V result = exact.hi;
  libraryPowerInto(x, 2, libraryLanes, transcribed, result);
  return result;
}

// The Gaussian weight exp(q) and its derivatives, as gaussianWeight computes them: exp(q) where
// q is not below -88 (in single precision), a tiny negative constant elsewhere.
template <class V>
[[gnu::always_inline]] inline LaneWeight<V> gaussianWeight(const Constants& k, V d,
                                                           LaneBlock<kLaneCount<V>>& b) {
  const V t = load<V>(b.t);
  const V q = terms::gaussianExponent(k, t, load<V>(b.t2), d, square(d, b.transcribedMath));
  LaneWeight<V> g;
  g.W = laneSplat<V>(-1.01e-38);
  // Where q rounded to single precision is not below -88: q from -88 - 2^-18 up (that number
  // lies halfway between -88 and the float below, and rounds to -88, whose last bit is even).
  const MaskOf<V> exponential = ~(q < -88.0 - 0x1p-18);  // NaN too, as the cast takes it
  if (anyLane(exponential)) {
    const MaskOf<V> tooLarge = exponential & ~(q <= 700.0);  // judged alone
    if (anyLane(tooLarge))
      for (int lane = 0; lane < kLaneCount<V>; ++lane)
        if (tooLarge[lane]) b.failed[lane] = true;
    const V argument = exponential ? q : V{};  // the others: not used, any value taken fast
    g.W = exponential ? expLanes(argument, b.transcribedMath) : g.W;
  }
  terms::gaussianDerivatives(k, d, t, g);
  return g;
}

// The crossover switch: 0 with all its derivatives where the scaled distance r is certainly so
// large that (r/k)^4 > 88, else lane by lane.
template <class V>
[[gnu::always_inline]] inline LaneWeight<V> crossoverSwitch(const Constants& k, V d,
                                                            LaneBlock<kLaneCount<V>>& b) {
  // An estimate (products by reciprocals, a few ulps off) suffices for a bound with this margin.
  const V dr = d * (1 / k.w_delta);
  const V r2 = dr * dr + load<V>(b.tr2);
  const V scaled2 = r2 * (1 / (k.k * k.k));
  const MaskOf<V> near = scaled2 * scaled2 <= 100.0;
  LaneWeight<V> s = LaneWeight<V>::zeros();
  if (!anyLane(near)) return s;
  s.any = true;
  for (int lane = 0; lane < kLaneCount<V>; ++lane) {
    if (!near[lane] || !b.active[lane]) continue;
    ErrorSlot errors;
    s.setLane(lane, aqsol::crossoverSwitch(k, d[lane], *b.tt[lane], errors));
    if (errors.has_error()) b.failed[lane] = true;
  }
  return s;
}

// The Newton step from delta in the lanes where it is ordinary (LaneBlock::stepped): the
// evaluation counted, the step neither ending the iteration nor leaving
// kLaneMinDelta..kLaneOrdinaryMaxDelta (a NaN step does neither), as NewtonIteration::step
// takes it there.
template <class V>
[[gnu::always_inline]] inline void takeOrdinarySteps(V delta, V step, LaneBlock<kLaneCount<V>>& b) {
  const V size = magnitude(step), scale = magnitude(delta);
  const V lastSize = load<V>(b.lastStepSize);
  const V evaluations = load<V>(b.evaluations) + 1.0;
  const V next = delta + step;
  const MaskOf<V> ordinary = ~endsIteration(size, scale, lastSize) & (next >= kLaneMinDelta) &
                             (next <= kLaneOrdinaryMaxDelta) &
                             (evaluations <= static_cast<double>(kMaxEvaluations));
  store(b.delta, ordinary ? next : delta);
  store(b.lastStepSize, ordinary ? size : lastSize);
  store(b.evaluations, evaluations);
  b.stepped = laneBits(ordinary);
}

// Phi's delta-derivatives for every lane of b at b.delta (each within [kLaneMinDelta, 10]) into
// b.results, what completeLanes needs into b.kept, and the ordinary Newton steps taken. Lanes
// whose weights raised a guarded-maths error are marked failed.
template <class V>
[[gnu::always_inline]] inline void stepLanes(const Constants& k, LaneBlock<kLaneCount<V>>& b) {
  const V delta = load<V>(b.delta);
  V dp[DeltaPowers::kCount];
  deltaPowers(delta, dp, b.transcribedMath);
  const V delta2 = dp[2 + 3];
  const V lnDelta = logLanes(delta, b.transcribedMath);
  const V E = expLanes(-delta2, b.transcribedMath);
  const V E_d = -2.0 * delta * E;
  const V E_dd = -2.0 * E - 2.0 * delta * E_d;
  const V E1 = 1.0 - E;
  LaneFunctions<V> f;
  terms::densityFunctions(delta, lnDelta, LanePowers<V>{dp}, E1, E_d, E_dd, f);
  const LanePowers<V> powers{dp};
  LaneSums<V> A, B, C, D;
  terms::sumTables(f, powers, LaneTheta<V>{b}, A, B, C, D);
  const V d = delta - 1;
  const LaneWeight<V> G = gaussianWeight(k, d, b);
  const LaneWeight<V> S = crossoverSwitch(k, d, b);
  const LaneParts<V> parts = laneParts(delta, delta2, lnDelta, E, E_d, E_dd, A, B, C, D, G, S, b);
  const V dPhi_dDelta = terms::dPhi_dDelta(parts), d2Phi_dDelta2 = terms::d2Phi_dDelta2(parts);
  store(b.results.dPhi_dDelta, dPhi_dDelta);
  store(b.results.d2Phi_dDelta2, d2Phi_dDelta2);
  const NewtonTerms<V> newton = newtonTerms(delta, dPhi_dDelta, d2Phi_dDelta2, load<V>(b.reducedP));
  store(b.results.Z, newton.Z);
  store(b.results.stepTaken, newton.step);
  takeOrdinarySteps(delta, newton.step, b);

  LaneStepParts<kLaneCount<V>>& kept = b.kept;
#pragma GCC unroll 16
  for (int n = 0; n < DeltaPowers::kCount; ++n) store(kept.rows[kKeptDeltaPow + n], dp[n]);
  store(kept.rows[kKeptLnDelta], lnDelta);
  store(kept.rows[kKeptE], E);
  store(kept.rows[kKeptE_d], E_d);
  store(kept.rows[kKeptSumB], B.S);
  store(kept.rows[kKeptSumC], C.S);
  store(kept.rows[kKeptSumC_d], C.S_d);
  store(kept.rows[kKeptGaussian], G.W);
  if (S.any) {
    S.storeInto(kept.crossoverWeight);
    kept.crossover = true;
  } else if (kept.crossover) {
    S.storeInto(kept.crossoverWeight);  // zeros
    kept.crossover = false;
  }
}

// Phi and its theta-derivatives for every lane of b from what a step kept there (b.kept, see
// LaneBlock::takeStep) into b.results: the density functions again, the sums and weights the
// step did not need, and the formulas, as the one-state evaluation completes them. With
// kMixedOnly, only d2Phi/ddelta dtheta (what the others alone need is left uncomputed), and NaN
// for the others.
template <class V, bool kMixedOnly>
[[gnu::always_inline]] inline void completeLanes(const Constants& k, LaneBlock<kLaneCount<V>>& b) {
  const LaneStepParts<kLaneCount<V>>& kept = b.kept;
  V dp[DeltaPowers::kCount];
#pragma GCC unroll 16
  for (int n = 0; n < DeltaPowers::kCount; ++n) dp[n] = load<V>(kept.rows[kKeptDeltaPow + n]);
  const V delta = dp[1 + 3], delta2 = dp[2 + 3];
  const V lnDelta = load<V>(kept.rows[kKeptLnDelta]), E = load<V>(kept.rows[kKeptE]),
          E_d = load<V>(kept.rows[kKeptE_d]);
  const V E_dd = -2.0 * E - 2.0 * delta * E_d;
  LaneFunctions<V> f;
  terms::densityFunctions(delta, lnDelta, LanePowers<V>{dp}, 1.0 - E, E_d, E_dd, f);
  const LanePowers<V> powers{dp};
  const LaneTheta<V> theta{b};
  LaneSums<V> A, B, C, D;
  terms::sumDensityFunctions<kRowMajorA>(f, theta, A);
  terms::sumDensityFunctions<kRowMajorD>(f, theta, D);
  B.S = load<V>(kept.rows[kKeptSumB]);
  C.S = load<V>(kept.rows[kKeptSumC]);
  C.S_d = load<V>(kept.rows[kKeptSumC_d]);
  terms::sumTables_theta(f, powers, theta, A, B, C, D);
  LaneWeight<V> G;
  G.W = load<V>(kept.rows[kKeptGaussian]);
  terms::gaussianDerivatives(k, delta - 1, load<V>(b.t), G);
  LaneWeight<V> S = LaneWeight<V>::zeros();
  if (kept.crossover) S.loadFrom(kept.crossoverWeight);
  const LaneParts<V> parts = laneParts(delta, delta2, lnDelta, E, E_d, E_dd, A, B, C, D, G, S, b);
  LaneResults<kLaneCount<V>>& r = b.results;
  store(r.d2Phi_dDelta_dTheta, terms::d2Phi_dDelta_dTheta(parts));
  if constexpr (kMixedOnly) {
    const V unspecified = laneSplat<V>(__builtin_nan(""));
    for (double* to : {r.Phi, r.dPhi_dTheta, r.d2Phi_dTheta2}) store(to, unspecified);
  } else {
    store(r.Phi, terms::Phi(parts));
    store(r.dPhi_dTheta, terms::dPhi_dTheta(parts));
    store(r.d2Phi_dTheta2, terms::d2Phi_dTheta2(parts));
  }
}

}  // namespace
}  // namespace aqsol::lanes
