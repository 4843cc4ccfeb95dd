// The same density solves done one state at a time and together in vector lanes, for tests and
// fuzz targets to compare bit for bit.
#pragma once

#include <vector>

#include "calculator/water.hpp"

namespace aqsol {

// A state to solve: temperature (K), pressure (bar) and start value.
struct DensityCase {
  double T, P, start;
};

// Each case's solution, error slot and status.
struct DensityRun {
  explicit DensityRun(std::size_t count) : states(count), errors(count), statuses(count) {}
  std::vector<WaterState> states;
  std::vector<ErrorSlot> errors;
  std::vector<WaterStatus> statuses;
};

inline DensityRun solveOneAtATime(const Constants& k, const std::vector<DensityCase>& cases) {
  DensityRun run(cases.size());
  for (std::size_t n = 0; n < cases.size(); ++n) {
    run.states[n].delta = cases[n].start;
    run.statuses[n] = waterDensity(k, run.states[n], cases[n].T, cases[n].P, run.errors[n]);
  }
  return run;
}

inline DensityRun solveInLanes(const Constants& k, const std::vector<DensityCase>& cases,
                               LaneWidth width, DensityResults results = DensityResults::kAll) {
  DensityRun run(cases.size());
  std::vector<DensitySolve> solves;
  for (std::size_t n = 0; n < cases.size(); ++n) {
    run.states[n].delta = cases[n].start;
    solves.push_back({&run.states[n], cases[n].T, cases[n].P, &run.errors[n]});
  }
  waterDensityMany(k, solves, width, results);
  for (std::size_t n = 0; n < cases.size(); ++n) run.statuses[n] = solves[n].status;
  return run;
}

}  // namespace aqsol
