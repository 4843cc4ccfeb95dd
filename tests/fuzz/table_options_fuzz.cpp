// Fuzz target: aqsol-table's options, split from any bytes at NULs, parse or name an error,
// and never promise more rows than the limits allow.
#include <algorithm>
#include <cmath>
#include <vector>

#include "apps/table/options.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  const std::string_view text = bytes.rest();
  std::vector<std::string_view> args;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    args.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  table::Options options;
  std::string error;
  if (!table::parseOptions(args, options, error)) {
    fuzz::check(!error.empty(), "a refusal says why");
    fuzz::check(error.size() < 1000, "messages quote arguments briefly");
    return 0;
  }
  if (options.help || options.version) return 0;
  fuzz::check(options.solutes.size() <= kMostSolutesNamed, "solutes");
  if (options.stateList)
    fuzz::check(options.temperaturesC.empty() && options.pressures.empty(), "a list or a grid");
  fuzz::check(options.temperaturesC.size() <= table::kMaxListValues, "temperatures");
  fuzz::check(options.pressures.size() <= table::kMaxListValues, "pressures");
  fuzz::check(options.force || options.rowCount() <= table::kMaxRowsUnforced, "rows");
  for (double t : options.temperaturesC) fuzz::check(std::isfinite(t) && t > -273.15, "T");
  for (const auto& p : options.pressures)
    fuzz::check(std::isfinite(p.bar) && p.bar >= 0 && p.saturation == (p.bar == 0), "P");
  return 0;
}
