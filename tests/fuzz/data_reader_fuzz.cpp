// Fuzz target: the data reader over any text ends, always moves forward or stops with an
// error, and raises only its own errors.
#include "services/data_reader.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  const std::string_view text = bytes.rest();
  DataReader reader(text);
  for (std::size_t items = 0; items <= text.size() + 1; ++items) {
    ErrorSlot errors;
    const std::size_t before = reader.position();
    const double value = reader.read_number(errors);
    if (errors.has_error()) {
      const uint32_t e = errors.pending_error();
      fuzz::check(e == kSyntaxError || e == kOutOfData || e == kOverflow, "its own errors");
      fuzz::check(value == 0, "a failed read gives 0");
      return 0;
    }
    fuzz::check(reader.position() > before || text.empty(), "moves forward");
    fuzz::check(reader.position() <= text.size() + 1, "stays in the text");
  }
  fuzz::fail("more items than bytes");
}
