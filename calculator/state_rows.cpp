// The rows every front end computes.
#include "calculator/state_rows.hpp"

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace aqsol {
namespace {

// The temperature terms of the last solute and temperature asked, for the rows that follow at
// the same ones (a grid's pressures). Terms that raised an error are not kept.
class SoluteTermsMemo {
 public:
  const SoluteTemperatureTerms* termsAt(const Constants& k, const SoluteParams& solute, double T) {
    if (solute_ != &solute || terms_.T != T) {
      ErrorSlot scratch;
      terms_ = soluteTemperatureTerms(k, solute, T, scratch);
      solute_ = scratch.has_error() ? nullptr : &solute;
    }
    return solute_ == nullptr ? nullptr : &terms_;
  }

 private:
  const SoluteParams* solute_ = nullptr;
  SoluteTemperatureTerms terms_;
};

// The solute part of an ok row: its properties, K(aq=>gas) and the check for finite values.
void addSolute(const Constants& k, const SoluteParams& solute, SoluteTermsMemo& memo, Row& row) {
  ErrorSlot errors;
  const SoluteTemperatureTerms* terms = memo.termsAt(k, solute, row.water.T);
  row.solute = terms != nullptr ? computeInfiniteDilution(k, row.water, solute, *terms, errors)
                                : computeInfiniteDilution(k, row.water, solute, errors);
  row.kAqGas = static_cast<double>(kAqToGas(k, row.solute.lnkH, errors));
  if (errors.has_error()) {
    row.status = runtimeErrorMessage(errors, "the properties of " + std::string(solute.name),
                                     row.water.T, row.water.P);
    return;
  }
  checkFinite(row, computedValues(row));
}

}  // namespace

void computeRows(const Constants& k, std::span<const RowRequest> requests, std::span<Row> rows,
                 LaneWidth widest) {
  const std::size_t count = requests.size();
  // Start values row by row (a grid's pressures share their temperature's saturation pressure),
  // then the water of every row that started, solved together.
  std::vector<ErrorSlot> errors(count);
  std::vector<WaterJob> jobs;
  std::vector<std::size_t> rowOfJob;
  jobs.reserve(count);
  rowOfJob.reserve(count);
  WaterStarts starts;
  for (std::size_t n = 0; n < count; ++n) {
    Row& row = rows[n];
    std::destroy_at(&row);  // made afresh in its place, without a temporary to copy
    std::construct_at(&row);
    row.temperatureC = requests[n].temperatureC;
    WaterState& w = row.water;
    w.T = requests[n].temperatureC + k.T0K;
    w.P = requests[n].pressure.saturation ? 0 : requests[n].pressure.bar;
    WaterStatus start = starts.start(k, w, errors[n]);
    if (start != WaterStatus::kNoSaturationPressure) row.pressureBar = w.P;
    if (start == WaterStatus::kOk && errors[n].has_error()) start = WaterStatus::kRuntimeError;
    if (start == WaterStatus::kOk) {
      jobs.push_back({&w, &errors[n], {}});
      rowOfJob.push_back(n);
    } else {
      row.status = waterOutcomeMessage({start, WaterStep::kStart, w.T, w.P}, errors[n]);
    }
  }
  solveWaterMany(k, jobs, widest);
  for (std::size_t m = 0; m < jobs.size(); ++m) {
    if (jobs[m].outcome.status != WaterStatus::kOk)
      rows[rowOfJob[m]].status = waterOutcomeMessage(jobs[m].outcome, *jobs[m].errors);
    rows[rowOfJob[m]].range = jobs[m].outcome.range;
    const WaterState& w = rows[rowOfJob[m]].water;
    rows[rowOfJob[m]].phase = phaseOf(k, w.T, w.P, w.delta);
  }

  SoluteTermsMemo memo;
  const SoluteParams* compared = nullptr;  // the solute of `comparison`
  std::optional<SoluteComparison> comparison;
  for (std::size_t n = 0; n < count; ++n) {
    const SoluteParams* solute = requests[n].solute;
    if (solute == nullptr) {
      const auto values = computedValues(rows[n]);
      checkFinite(rows[n], std::span(values).first(kWaterValueCount));
      continue;
    }
    rows[n].soluteName = solute->name;
    if (rows[n].status.empty()) addSolute(k, *solute, memo, rows[n]);
    if (!rows[n].status.empty()) continue;
    if (solute != compared) {
      compared = solute;
      comparison.emplace(*solute);
    }
    rows[n].range |= comparison->flagsAt(rows[n].water.T);
  }
}

Row computeRow(const Constants& k, const SoluteParams& solute, double temperatureC,
               const PressureItem& pressure) {
  const RowRequest request{&solute, temperatureC, pressure};
  Row row;
  computeRows(k, {&request, 1}, {&row, 1});
  return row;
}

Row computeWaterRow(const Constants& k, double temperatureC, const PressureItem& pressure) {
  const RowRequest request{nullptr, temperatureC, pressure};
  Row row;
  computeRows(k, {&request, 1}, {&row, 1});
  return row;
}

void checkFinite(Row& row, std::span<const double> values) {
  if (!row.status.empty()) return;
  for (double v : values) {
    if (std::isfinite(v)) continue;
    row.status = "the properties are not finite at this state";
    return;
  }
}

std::array<double, kComputedValueCount> computedValues(const Row& r) {
  std::array<double, kComputedValueCount> values;
  std::size_t n = 0;
  // Unrolled: a load and a store a value, with no table of members read at run time.
#pragma GCC unroll 8
  for (const auto member : kWaterValues) values[n++] = r.water.*member;
#pragma GCC unroll 8
  for (const auto member : kSoluteValues) values[n++] = r.solute.*member;
  values[n] = r.kAqGas;
  return values;
}

}  // namespace aqsol
