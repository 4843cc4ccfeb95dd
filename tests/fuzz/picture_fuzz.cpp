// Fuzz target: any picture with any value of every front end returns, raises only the errors
// it may (a critical error would unwind out of the target and be reported), and appends no
// more text than the picture and its overflows can account for.
#include "console/picture_format.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  fuzz::StringRuntime runtime;
  ErrorSlot& errors = runtime.errors;
  StringStorage& st = runtime.strings;
  const std::string picture_text = bytes.text(60);
  RuntimeString* picture =
      st.string_from_literal(picture_text.data(), static_cast<uint32_t>(picture_text.size()));
  RuntimeString* output = st.string_new(0, false);
  int32_t start = 0;
  for (int items = 0; items < 8 && !bytes.empty() && !errors.has_error(); ++items) {
    switch (bytes.byte() % 6) {
      case 0:
        start = format_int64(st, picture, bytes.value<int64_t>(), start, output);
        break;
      case 1:
        start = format_uint64(st, picture, bytes.value<uint64_t>(), start, output);
        break;
      case 2:
        start = format_single(st, picture, bytes.value<float>(), start, output);
        break;
      case 3:
        start = format_double(st, picture, bytes.value<double>(), start, output);
        break;
      case 4: {
        const auto v = static_cast<long double>(bytes.value<double>()) * bytes.value<int8_t>();
        start = format_extended(st, picture, v, start, output);
        break;
      }
      default: {
        const std::string text = bytes.text(40);
        RuntimeString* item =
            st.string_from_literal(text.data(), static_cast<uint32_t>(text.size()));
        start = format_with_picture(st, picture, start, output, item);
      }
    }
    fuzz::check(start >= 0 && start <= static_cast<int32_t>(picture_text.size()), "start");
  }
  if (errors.has_error()) {
    const uint32_t e = errors.pending_error();
    fuzz::check(e == kIllegalFunctionCall || e == kTypeMismatch, "expected errors only");
  }
  fuzz::check(output->length <= 8 * (static_cast<int32_t>(picture_text.size()) + 400),
              "output bounded");
  return 0;
}
