// Fuzz target: any bytes as a species file either add solutes whose heat capacity stays positive
// and whose names can be found again, or are refused with a message that names the line, adding
// nothing.
#include <string>
#include <string_view>

#include "calculator/solute_set.hpp"
#include "services/ascii_text.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  SoluteSet set;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (!set.addSpecies("fuzz", text, error)) {
    fuzz::check(error.starts_with("fuzz:"), "a refusal names the input");
    fuzz::check(error.size() < 1000, "messages quote fields briefly");
    fuzz::check(set.all().size() == soluteTable().size(), "nothing added");
    return 0;
  }
  fuzz::check(set.all().size() <= soluteTable().size() + kMostAddedSpecies, "at most the limit");
  for (const SoluteParams& s : set.all()) {
    fuzz::check(set.find(s.name) == &s, "every name finds its solute");
    fuzz::check(!equalsIgnoringCase(s.name, "all") && s.name.find(',') == std::string_view::npos,
                "names");
    for (double T = 273.15; T <= 1273.15; T += 50)
      fuzz::check(s.cpA + s.cpB * 1e-3 * T - s.cpC * 1e5 / (T * T) > 0, "a positive Cp");
  }
  return 0;
}
