// Fuzz target: the water solve and a full state (water and a solute) at any doubles, NaN,
// infinities, negatives and subnormals included, return in bounded time with results or a
// clear status; results that are ok are finite where the table prints them. Several states
// solved together in vector lanes give exactly the bits each gives solved alone.
#include <cmath>
#include <cstring>
#include <vector>

#include "apps/table/rows.hpp"
#include "tests/calculator/density_runs.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

const aqsol::Constants& constants() {
  static const aqsol::Constants k = [] {
    aqsol::ErrorSlot errors;
    return aqsol::setupConstants(errors);
  }();
  return k;
}

// A state to solve: raw doubles, or (every other one) a temperature, pressure and start value
// spread over the range where the lanes work.
aqsol::DensityCase nextCase(aqsol::fuzz::Bytes& bytes) {
  if (bytes.byte() & 1) {
    const double T = bytes.value<double>(), P = bytes.value<double>();
    return {T, P, bytes.value<double>()};
  }
  const auto fraction = [&] { return bytes.value<uint16_t>() / 65535.0; };
  const double T = 200 + 1800 * fraction(), P = std::pow(10, -8 + 12.5 * fraction());
  return {T, P, 10 * fraction()};
}

bool sameBits(const aqsol::WaterState& a, const aqsol::WaterState& b) {
  const double x[] = {a.theta,
                      a.t,
                      a.delta,
                      a.Z,
                      a.dZ_dDelta,
                      a.dZ_dTheta,
                      a.phi.Phi,
                      a.phi.dPhi_dTheta,
                      a.phi.d2Phi_dTheta2,
                      a.phi.d2Phi_dDelta_dTheta};
  const double y[] = {b.theta,
                      b.t,
                      b.delta,
                      b.Z,
                      b.dZ_dDelta,
                      b.dZ_dTheta,
                      b.phi.Phi,
                      b.phi.dPhi_dTheta,
                      b.phi.d2Phi_dTheta2,
                      b.phi.d2Phi_dDelta_dTheta};
  return std::memcmp(x, y, sizeof x) == 0 && a.evaluations == b.evaluations;
}

// The remaining bytes as states, solved alone and together at every lane width.
void checkLanes(const aqsol::Constants& k, aqsol::fuzz::Bytes& bytes) {
  using namespace aqsol;
  std::vector<DensityCase> cases;
  while (!bytes.empty() && cases.size() < 20) cases.push_back(nextCase(bytes));
  const DensityRun alone = solveOneAtATime(k, cases);
  for (LaneWidth width : {LaneWidth::kFour, LaneWidth::kEight}) {
    const DensityRun many = solveInLanes(k, cases, width);
    for (std::size_t n = 0; n < cases.size(); ++n) {
      fuzz::check(many.statuses[n] == alone.statuses[n], "lanes give the same status");
      fuzz::check(many.errors[n].pending_error() == alone.errors[n].pending_error(),
                  "lanes give the same error");
      fuzz::check(sameBits(many.states[n], alone.states[n]), "lanes give the same bits");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  const Constants& k = constants();
  const double T = bytes.value<double>(), P = bytes.value<double>(), start = bytes.value<double>();

  // The solver from any start value.
  WaterState w;
  w.delta = start;
  ErrorSlot errors;
  const WaterStatus status = waterDensity(k, w, T, P, errors);
  fuzz::check(w.evaluations <= 6 * 200, "bounded iterations");
  if (status == WaterStatus::kOk) fuzz::check(std::isfinite(w.delta) && w.delta > 0, "a root");
  fuzz::check(!waterOutcomeMessage({status, WaterStep::kDensity, T, P}, errors).empty() ||
                  status == WaterStatus::kOk,
              "a failure says why");

  // A full row as aqsol-table and the Python module compute it.
  const auto& solutes = soluteTable();
  const SoluteParams& solute = solutes[bytes.byte() % solutes.size()];
  const Row row = computeRow(k, solute, T, {P == 0, P});
  if (row.status.empty()) {
    for (double v : computedValues(row)) fuzz::check(std::isfinite(v), "ok is finite");
    fuzz::check(row.water.Cp1 > 0 && row.water.drho_dP > 0, "ok is possible");
  }
  checkLanes(k, bytes);
  return 0;
}
