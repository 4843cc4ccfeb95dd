// Density solves of many states at once, one state per vector lane.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "calculator/lane_block.hpp"
#include "calculator/newton_iteration.hpp"
#include "calculator/water.hpp"
#include "services/cpu_targets.hpp"
#include "services/library_math.hpp"

namespace aqsol {
namespace {

// Start values above this are solved alone (the lanes' whole powers are made for 1e-3..10).
constexpr double kLaneMaxStart = 10;

void solveAlone(const Constants& k, DensitySolve& solve) {
  solve.status = waterDensity(k, *solve.solution, solve.T, solve.P, *solve.errors);
}

// A solve in a lane: what it needs besides the lane's rows, and its state on entry, from which
// it is redone alone if it leaves the ordinary range.
struct LaneSolve {
  DensitySolve* solve = nullptr;
  DensitySolution entry;
  TemperatureTerms tt;
  NewtonIteration iteration{0, 0};
};

// Temperature terms of the last few temperatures, for solves at a temperature seen just before
// (the pressures of a grid, the re-solutions of neighbouring rows). Terms that raised an error
// are not kept.
class TemperatureTermsCache {
 public:
  // The terms at T (K) into `tt`, which only this function fills (and which may hold them
  // already); false when computing them raised an error.
  bool termsAt(const Constants& k, double T, TemperatureTerms& tt) {
    if (tt.T == T) return true;
    for (const TemperatureTerms& entry : entries_)
      if (entry.T == T) {
        tt = entry;
        return true;
      }
    ErrorSlot scratch;
    const TemperatureTerms computed = temperatureTerms(k, T, scratch);
    if (scratch.has_error()) return false;
    tt = entries_[next_] = computed;
    next_ = (next_ + 1) % entries_.size();
    return true;
  }

 private:
  std::array<TemperatureTerms, 4> entries_;  // T = 0 in those not yet filled: 0 K is never asked
  std::size_t next_ = 0;
};

// Sets up the solve as waterDensity does before its iteration, when that part is ordinary: a
// temperature above 0 K whose terms raise no error, no error pending, a reduced pressure above
// the ideal-gas limit and a start value in the lanes' range. False (nothing changed) otherwise.
// (Unused where no processor target has lanes, as in WebAssembly.)
[[maybe_unused]] bool startInLane(const Constants& k, DensitySolve& solve,
                                  TemperatureTermsCache& terms, LaneSolve& lane) {
  DensitySolution& w = *solve.solution;
  if (!(solve.T > 0) || solve.errors->has_error()) return false;
  if (!(w.delta >= lanes::kLaneMinDelta && w.delta <= kLaneMaxStart)) return false;
  const double reducedP = solve.P / (k.rho_c * k.R_w * solve.T);
  if (!std::isfinite(reducedP) || (reducedP > 0 && reducedP < kIdealGasLimitDelta)) return false;
  if (!terms.termsAt(k, solve.T, lane.tt)) return false;
  lane.solve = &solve;
  lane.entry = w;
  lane.iteration = NewtonIteration(w.delta, reducedP);
  w.theta = lane.tt.theta;
  w.theta2 = lane.tt.thetaPower(2);
  w.t = lane.tt.t;
  w.evaluations = 0;
  return true;
}

// Puts solves into lanes and steps every lane's iteration together until all are done. A step
// evaluates only the delta-derivatives a Newton step needs; the evaluation a converged lane
// ended on is completed later, with those of other converged lanes, W at a time.
template <int W>
class LaneSolver {
 public:
  LaneSolver(const Constants& k, std::span<DensitySolve> solves, lanes::LaneEvaluator<W> evaluate,
             DensityResults results)
      : k_(k),
        solves_(solves),
        evaluate_(evaluate),
        complete_(results == DensityResults::kAll ? evaluate.complete : evaluate.completeMixed) {
    block_.transcribedMath = libraryMathInLanes();
    // Slots not yet filled are completed with the rest, at a harmless delta of 1.
    for (int n = 0; n < DeltaPowers::kCount; ++n)
      std::fill_n(completion_.kept.rows[lanes::kKeptDeltaPow + n], W, 1.0);
  }

  void run() {
    for (int lane = 0; lane < W; ++lane) fill(lane);
    while (anyActive()) {
      evaluate_.step(k_, block_);
      for (int lane = 0; lane < W; ++lane)
        if (block_.active[lane] && (block_.failed[lane] || !(block_.stepped >> lane & 1)))
          takeEvaluation(lane);
    }
    completeConverged();
  }

 private:
  // Gives the lane the next solve that can start in one, doing those that cannot alone.
  void fill(int lane) {
    block_.active[lane] = false;
    block_.delta[lane] = 1;  // an idle lane evaluates a harmless state
    while (next_ < solves_.size()) {
      DensitySolve& solve = solves_[next_++];
      if (startInLane(k_, solve, terms_, lanes_[lane])) {
        const NewtonIteration& iteration = lanes_[lane].iteration;
        block_.load(lane, lanes_[lane].tt);
        block_.delta[lane] = iteration.delta();
        block_.reducedP[lane] = iteration.reducedP();
        block_.lastStepSize[lane] = iteration.lastStepSize();
        block_.evaluations[lane] = iteration.evaluations();
        block_.active[lane] = true;
        return;
      }
      solveAlone(k_, solve);
    }
  }

  bool anyActive() const {
    for (bool active : block_.active)
      if (active) return true;
    return false;
  }

  // The solve left the lanes' path: from its entry state, alone, as if it had never been in
  // one (the iteration is deterministic, so it takes the same steps up to where it left).
  void redoAlone(int lane) {
    LaneSolve& s = lanes_[lane];
    *s.solve->solution = s.entry;
    solveAlone(k_, *s.solve);
    fill(lane);
  }

  // Takes the lane's last evaluation where the lanes did not take its step themselves: the
  // iteration takes it up, ends it or steps on, or the solve is redone alone.
  void takeEvaluation(int lane) {
    LaneSolve& s = lanes_[lane];
    DensitySolution& w = *s.solve->solution;
    const lanes::LaneResults<W>& r = block_.results;
    s.iteration.resume(block_.delta[lane], block_.lastStepSize[lane],
                       static_cast<int>(block_.evaluations[lane]), w);
    if (block_.failed[lane] || s.iteration.evaluations() > kMaxEvaluations ||
        !s.iteration.step({r.Z[lane], r.stepTaken[lane]}, w))
      return redoAlone(lane);
    if (s.iteration.goesOn()) {
      block_.delta[lane] = s.iteration.delta();
      block_.lastStepSize[lane] = s.iteration.lastStepSize();
      if (!(s.iteration.delta() >= lanes::kLaneMinDelta)) redoAlone(lane);
      return;
    }
    // Failures and unstable roots go to the retries of the one-state solver.
    if (s.iteration.outcome() != WaterStatus::kOk) return redoAlone(lane);
    if (!(s.iteration.dZ_dDelta(r.dPhi_dDelta[lane], r.d2Phi_dDelta2[lane]) > 0))
      return redoAlone(lane);
    s.solve->status = WaterStatus::kOk;
    keepForCompleting(lane);
    fill(lane);
  }

  // Moves a converged lane's last evaluation into the completion block, and completes the
  // block when it is full.
  void keepForCompleting(int lane) {
    const int slot = converged_++;
    completion_.load(slot, lanes_[lane].tt);
    completion_.takeStep(slot, block_, lane);
    pending_[slot] = {lanes_[lane].iteration, lanes_[lane].solve->solution};
    if (converged_ == W) completeConverged();
  }

  // Phi and its theta-derivatives for the converged lanes waiting, and their solutions.
  void completeConverged() {
    if (converged_ == 0) return;
    complete_(k_, completion_);
    completion_.clearCrossover();
    for (int slot = 0; slot < converged_; ++slot)
      pending_[slot].iteration.accept(completion_.values(slot), *pending_[slot].solution);
    converged_ = 0;
  }

  // A converged iteration waiting for its last evaluation to be completed.
  struct Pending {
    NewtonIteration iteration{0, 0};
    DensitySolution* solution = nullptr;
  };

  const Constants& k_;
  std::span<DensitySolve> solves_;
  lanes::LaneEvaluator<W> evaluate_;
  void (*complete_)(const Constants& k, lanes::LaneBlock<W>& block);
  std::size_t next_ = 0;
  TemperatureTermsCache terms_;
  lanes::LaneBlock<W> block_;
  LaneSolve lanes_[W];
  lanes::LaneBlock<W> completion_;
  Pending pending_[W];
  int converged_ = 0;
};

}  // namespace

LaneWidth widestLaneWidth() {
  return static_cast<LaneWidth>(cpuTargets().widestLanes());
}

void waterDensityMany(const Constants& k, std::span<DensitySolve> solves, LaneWidth widest,
                      [[maybe_unused]] DensityResults results) {
  if (solves.size() > 1) {
    switch (targetWithLanes(static_cast<int>(widest), cpuTargets().active)) {
#if AQSOL_X86_TARGETS
      case CpuTarget::kAvx512:
        LaneSolver<8>(k, solves, targets::avx512::kLanes, results).run();
        return;
      case CpuTarget::kAvx2:
        LaneSolver<4>(k, solves, targets::avx2::kLanes, results).run();
        return;
#endif
      default:
        break;
    }
  }
  for (DensitySolve& solve : solves) solveAlone(k, solve);
}

}  // namespace aqsol
