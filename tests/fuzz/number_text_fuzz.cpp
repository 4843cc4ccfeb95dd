// Fuzz target: numbers to text and back. Integer forms promise the integer back; the double
// form (15 or 16 significant digits) promises a value within its precision.
#include <cmath>

#include "console/number_text.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  fuzz::StringRuntime runtime;
  ErrorSlot& errors = runtime.errors;
  StringStorage& st = runtime.strings;
  while (!bytes.empty()) {
    const int32_t mark = st.temporaries_mark();
    switch (bytes.byte() % 4) {
      case 0: {
        const auto v = bytes.value<int64_t>();
        fuzz::check(text_to_number(errors, number_to_text(st, v)->view()) == v, "int64");
        break;
      }
      case 1: {
        const auto v = bytes.value<uint64_t>();
        fuzz::check(text_to_number(errors, number_to_text(st, v)->view()) == v, "uint64");
        break;
      }
      case 2: {
        const auto v = bytes.value<int16_t>();
        fuzz::check(text_to_number(errors, number_to_text(st, v)->view()) == v, "int16");
        break;
      }
      default: {
        const auto v = bytes.value<double>();
        // Below 1e-300 the digits thin out; above 1e308 the 16-digit text of the largest
        // doubles lies past the largest double.
        if (!std::isfinite(v) || std::fabs(v) < 1e-300 || std::fabs(v) > 1e308) break;
        const auto back =
            static_cast<double>(text_to_number(errors, number_to_text(st, v)->view()));
        fuzz::check(std::fabs(back - v) <= 1e-14 * std::fabs(v), "double within its digits");
      }
    }
    fuzz::check(!errors.has_error(), "no error");
    st.temporaries_release(mark, 0);
  }
  return 0;
}
