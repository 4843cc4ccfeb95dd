// The rows every front end computes: one (solute, T, P) state each, its water solved with the
// others', its solute properties and its flags, or the reason it could not be computed.
#pragma once

#include <array>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "calculator/constants.hpp"
#include "calculator/infinite_dilution.hpp"
#include "calculator/validity.hpp"
#include "calculator/water.hpp"

namespace aqsol {

// A pressure asked for: a value in bar, or the saturation pressure at the temperature.
struct PressureItem {
  bool saturation = false;
  double bar = 0;
};

// One computed row. `pressureBar` is the pressure used (absent when none could be found);
// `water` and `solute` are meaningful only when `status` is empty (ok).
struct Row {
  std::string_view soluteName;
  double temperatureC = 0;
  std::optional<double> pressureBar;
  WaterState water;
  SoluteResults solute;
  double kAqGas = 0;
  Phase phase = Phase::kLiquid;  // ok rows: the phase of the water
  unsigned range = 0;            // ok rows: RangeFlag bits, where the model was not shown to work
  std::string status;            // empty for ok
};

// One state to compute: the solute (none for the water part alone), temperature and pressure.
struct RowRequest {
  const SoluteParams* solute = nullptr;
  double temperatureC = 0;
  PressureItem pressure;
};

// The values a row computes, in column order (rho to K_aq_gas): the water's (rho to lnf_H2O),
// the solute's, then K_aq_gas. The column table of every interface is checked against these
// lists' counts.
inline constexpr double WaterState::*kWaterValues[] = {
    &WaterState::rho, &WaterState::drho_dP, &WaterState::drho_dT, &WaterState::d2rho_dT2,
    &WaterState::V1,  &WaterState::Cp1,     &WaterState::lnf1};
inline constexpr double SoluteResults::*kSoluteValues[] = {&SoluteResults::lnkH, &SoluteResults::V2,
                                                           &SoluteResults::Cp2, &SoluteResults::Gaq,
                                                           &SoluteResults::S2};
inline constexpr std::size_t kWaterValueCount = std::size(kWaterValues);
inline constexpr std::size_t kComputedValueCount =
    kWaterValueCount + std::size(kSoluteValues) + 1;  // and K_aq_gas

// Computes rows[n] for requests[n] from a fresh water state each, as one pass of the calculator
// does, with the water of all the rows solved together (several states at once where the
// processor allows; the results are those of one state at a time). Never throws; a state that
// cannot be computed gets a status message, as does one with a solute and a value that is not
// finite. Without a solute the row holds the water part alone.
// rows.size() must equal requests.size(). `widest` limits the lanes (for comparisons).
void computeRows(const Constants& k, std::span<const RowRequest> requests, std::span<Row> rows,
                 LaneWidth widest = LaneWidth::kEight);

// computeRows for one state with a solute.
Row computeRow(const Constants& k, const SoluteParams& solute, double temperatureC,
               const PressureItem& pressure);

// computeRows for one state without a solute.
Row computeWaterRow(const Constants& k, double temperatureC, const PressureItem& pressure);

// Gives an ok row the status "the properties are not finite at this state" when one of
// `values` is not finite.
void checkFinite(Row& row, std::span<const double> values);

// The row's computed values in column order, from rho to K_aq_gas.
std::array<double, kComputedValueCount> computedValues(const Row& row);

}  // namespace aqsol
