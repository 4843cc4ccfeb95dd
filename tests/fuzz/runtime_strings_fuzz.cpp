// Fuzz target: statements of string operations keep the storage invariants after each one:
// every live string sits in one list slot that names it back, in placement order below the
// area's top, temporaries are gone at the statement's end, and every value is what was stored.
#include <string>
#include <vector>

#include "console/runtime_string.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

using namespace aqsol;

void check_area(const StringStorage::Area& area) {
  const uint8_t* last_end = area.base;
  for (int32_t i = 0; i < area.count; ++i) {
    const RuntimeString* s = area.slots[i];
    if (s == nullptr) continue;
    fuzz::check(s->list_index == i, "a slot names its string");
    fuzz::check(s->data >= last_end, "placement order");
    last_end = s->data + s->length;
  }
  fuzz::check(static_cast<std::size_t>(last_end - area.base) <= area.top, "below the top");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::Bytes bytes(data, size);
  fuzz::StringRuntime runtime;
  ErrorSlot& errors = runtime.errors;
  StringStorage& st = runtime.strings;
  std::vector<std::pair<RuntimeString*, std::string>> variables;
  try {
    while (!bytes.empty()) {
      const int32_t mark = st.temporaries_mark();
      const uint8_t op = bytes.byte();
      const std::string text = bytes.text(120);
      const auto literal = [&] {
        return st.string_from_literal(text.data(), static_cast<uint32_t>(text.size()));
      };
      const auto temporary = [&](bool low) {
        RuntimeString* t =
            st.string_make_temporary(low ? st.string_new_low(static_cast<uint32_t>(text.size()))
                                         : st.string_new(static_cast<uint32_t>(text.size()), true));
        std::copy(text.begin(), text.end(), t->data);
        return t;
      };
      if (op % 7 == 0 || variables.empty()) {
        RuntimeString* v = op & 0x80 ? st.string_new_low(0) : st.string_new(0, false);
        st.string_assign(v, literal());
        variables.emplace_back(v, text);
      } else {
        const std::size_t chosen = bytes.byte() % variables.size();
        auto& [v, expected] = variables[chosen];
        switch (op % 7) {
          case 1:
            st.string_assign(v, literal()), expected = text;
            break;
          case 2:
            st.string_assign(v, st.string_concat(v, literal())), expected += text;
            break;
          case 3:
            st.string_assign(v, temporary(false)), expected = text;
            break;
          case 4:
            st.string_assign(v, temporary(true)), expected = text;
            break;
          case 5:
            st.string_assign(v, st.string_concat(temporary(op & 8), temporary(op & 16)));
            expected = text + text;
            break;
          default:
            st.string_free(v);
            variables.erase(variables.begin() + static_cast<std::ptrdiff_t>(chosen));
        }
      }
      if (errors.has_error()) return 0;  // a string past the longest allowed: nothing more runs
      st.temporaries_release(mark, 0);
      fuzz::check(st.temporaries_mark() == mark, "temporaries released");
      check_area(st.main_area());
      for (const auto& [v, expected] : variables) fuzz::check(v->view() == expected, "values");
    }
  } catch (const CriticalError&) {
    // Running out of string space is the storage's own answer to too much text.
  }
  return 0;
}
