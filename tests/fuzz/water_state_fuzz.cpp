// Fuzz target: the water solve and a full state (water and a solute) at any doubles, NaN,
// infinities, negatives and subnormals included, return in bounded time with results or a
// clear status; results that are ok are finite where the table prints them.
#include <cmath>

#include "apps/table/rows.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

const aqsol::Constants& constants() {
  static const aqsol::Constants k = [] {
    aqsol::ErrorSlot errors;
    return aqsol::setupConstants(errors);
  }();
  return k;
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
  fuzz::check(w.evaluations <= 5 * 200, "bounded iterations");
  if (status == WaterStatus::kOk) fuzz::check(std::isfinite(w.delta) && w.delta > 0, "a root");
  fuzz::check(!waterStatusMessage(status, T, P, errors).empty() || status == WaterStatus::kOk,
              "a failure says why");

  // A full row as aqsol-table and the Python module compute it.
  const auto& solutes = soluteTable();
  const SoluteParams& solute = solutes[bytes.byte() % solutes.size()];
  const table::Row row = table::computeRow(k, solute, T, {P == 0, P});
  if (row.status.empty()) {
    for (double v : table::computedValues(row)) fuzz::check(std::isfinite(v), "ok is finite");
    fuzz::check(row.water.Cp1 > 0 && row.water.drho_dP > 0, "ok is possible");
  }
  return 0;
}
