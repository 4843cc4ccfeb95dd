// Fuzz target: any bytes as aqsol-fit's measurements either are refused with a message naming
// the input, or give a fit that is refused with a reason or has finite parameters and standard
// errors.
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "apps/table/state_list.hpp"
#include "calculator/solute_fit.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  static const Constants k = [] {
    ErrorSlot errors;
    return setupConstants(errors);
  }();
  std::FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (in == nullptr) return 0;
  constexpr std::string_view kColumns[] = {"lnkH", "u_lnkH"};
  table::StateBlock list;
  std::string error;
  bool ok = true;
  {
    table::StateReader reader({}, {kColumns, {}});
    reader.open(in, "fuzz");
    while (ok && !reader.atEnd()) ok = reader.read(1000, list, error);
  }
  std::fclose(in);
  const std::vector<table::StateItem>& states = list.states;
  const std::vector<double>& values = list.numbers;
  if (!ok) {
    fuzz::check(error.starts_with("fuzz"), "a refusal names the input");
    return 0;
  }
  fuzz::check(values.size() == 2 * states.size(), "two values a state");
  std::vector<HenryPoint> points;
  for (std::size_t n = 0; n < states.size(); ++n)
    if (std::isfinite(values[2 * n]) && !(values[2 * n + 1] <= 0))
      points.push_back({states[n].temperatureC, states[n].pressure, values[2 * n],
                        std::isnan(values[2 * n + 1]) ? 0 : values[2 * n + 1]});
  const SoluteFit fit = fitSolute(k, points);
  if (!fit.error.empty()) return 0;
  fuzz::check(std::isfinite(fit.xi) && std::isfinite(fit.a) && std::isfinite(fit.b), "finite");
  fuzz::check(fit.pointsUsed >= kFewestFitPoints && fit.residuals.size() == points.size(),
              "points");
  return 0;
}
