// Fuzz target: any bytes as a --states list either give states that can be computed or a
// message that names the line, whatever the blocks it is read in.
#include <cmath>
#include <cstdio>
#include <vector>

#include "apps/table/state_list.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  if (size == 0) return 0;
  const bool megapascal = (data[0] & 1) != 0;
  std::FILE* in = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "r");
  if (in == nullptr) return 0;
  table::StateBlock block;
  std::string error;
  bool ok = true;
  {
    table::StateReader reader({false, megapascal, (data[0] & 2) != 0});
    reader.open(in, "fuzz");
    while (ok && !reader.atEnd()) ok = reader.read(1 + data[0] % 7, block, error);
  }
  std::fclose(in);
  const std::vector<table::StateItem>& states = block.states;
  if (!ok) {
    fuzz::check(error.starts_with("fuzz:"), "a refusal names the input");
    fuzz::check(error.size() < 1000, "messages quote fields briefly");
    return 0;
  }
  fuzz::check(!states.empty(), "states");
  for (const table::StateItem& s : states) {
    fuzz::check(std::isfinite(s.temperatureC) && s.temperatureC > -273.15, "T");
    fuzz::check(std::isfinite(s.pressure.bar) && s.pressure.bar >= 0 &&
                    s.pressure.saturation == (s.pressure.bar == 0),
                "P");
  }
  return 0;
}
