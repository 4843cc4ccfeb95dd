// Further string operations on runtime strings: case, characters, substrings, trimming,
// repetition, search, justified copies, raw packing and ordering.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "console/runtime_string.hpp"

namespace aqsol {

// Operations that transform one operand change it in place and return it when it is a
// temporary that is neither fixed-length, read-only nor in the low area; otherwise they return a
// new temporary and leave the operand alone.
RuntimeString* string_upper(StringStorage& st, RuntimeString* s);
RuntimeString* string_lower(StringStorage& st, RuntimeString* s);
// The first n bytes (all when n exceeds the length). n < 0 raises error 5 and returns s as is.
RuntimeString* string_left(StringStorage& st, RuntimeString* s, int32_t n);
// The last n bytes. n < 0 raises error 5 and returns s as is.
RuntimeString* string_right(StringStorage& st, RuntimeString* s, int32_t n);
// n bytes from 1-based `start` (n < 0: to the end). start < 1 raises error 5.
RuntimeString* string_mid(StringStorage& st, RuntimeString* s, int32_t start, int32_t n);
RuntimeString* string_ltrim(StringStorage& st, RuntimeString* s);  // leading spaces removed
RuntimeString* string_rtrim(StringStorage& st, RuntimeString* s);  // trailing spaces removed

// A one-byte temporary; a code outside 0..255 raises error 5 and gives an empty temporary.
RuntimeString* string_chr(StringStorage& st, int32_t code);
// The code of the first byte; an empty string raises error 5 and gives 0.
int32_t string_asc(StringStorage& st, const RuntimeString* s);
// n spaces, or n copies of byte `code`; n below 0 counts as 0.
RuntimeString* string_space(StringStorage& st, int32_t n);
RuntimeString* string_repeat(StringStorage& st, int32_t n, uint8_t code);

// Replaces, in place, up to n bytes of `destination` from 1-based `start` with the bytes of
// `source` (n < 0: as many as source has), never changing the destination's length. A start
// outside 1..length raises error 5.
void string_mid_replace(StringStorage& st, RuntimeString* destination, int32_t start, int32_t n,
                        RuntimeString* source);
// 1-based position of needle in haystack at or after `start`, 0 when absent. An empty needle is
// found at `start` when start <= length. start < 1 raises error 5 and gives 0.
int32_t string_instr(StringStorage& st, int32_t start, const RuntimeString* haystack,
                     const RuntimeString* needle);
// Copies source into a fixed-length destination, left-justified (lset) or right-justified
// (rset), padding with spaces and truncating to the destination's length.
void string_lset(StringStorage& st, RuntimeString* destination, RuntimeString* source);
void string_rset(StringStorage& st, RuntimeString* destination, RuntimeString* source);

// Ordering comparisons on unsigned bytes, a proper prefix ordering first: -1 true, 0 false.
int32_t string_less(const RuntimeString* left, const RuntimeString* right);
int32_t string_less_equal(const RuntimeString* left, const RuntimeString* right);
int32_t string_greater(const RuntimeString* left, const RuntimeString* right);
int32_t string_greater_equal(const RuntimeString* left, const RuntimeString* right);

// The raw bytes of a number as a new temporary.
template <typename T>
RuntimeString* string_pack(StringStorage& st, T value) {
  static_assert(std::is_arithmetic_v<T>);
  RuntimeString* s = st.string_new(sizeof(T), true);
  std::memcpy(s->data, &value, sizeof(T));
  return s;
}

// A number read back from the first bytes of s; a string too short raises error 5 and gives 0.
template <typename T>
T string_unpack(StringStorage& st, const RuntimeString* s) {
  static_assert(std::is_arithmetic_v<T>);
  T value{};
  if (static_cast<std::size_t>(s->length) < sizeof(T)) {
    st.errors().raise_error(kIllegalFunctionCall);
    return value;
  }
  std::memcpy(&value, s->data, sizeof(T));
  return value;
}

}  // namespace aqsol
