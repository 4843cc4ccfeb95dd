// Fuzz target: reading numbers from any text returns, and agrees with itself.
#include "console/number_text.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  const std::string_view text = bytes.rest();
  ErrorSlot errors;
  const long double value = text_to_number(errors, text);
  if (errors.has_error()) {
    fuzz::check(errors.pending_error() == kOverflow, "only overflow is raised");
    fuzz::check(value == 0, "a failed read gives 0");
  }
  // Leading spaces and tabs are skipped: the same text behind them reads the same.
  ErrorSlot again;
  const long double spaced = text_to_number(again, " \t" + std::string(text));
  fuzz::check(spaced == value || (spaced != spaced && value != value), "spaces are skipped");
  return 0;
}
