// Further string operations on runtime strings: case, characters, substrings, trimming,
// repetition, search, justified copies, raw packing and ordering.
#include "console/string_ops.hpp"

#include <algorithm>

namespace aqsol {
namespace {

bool changeable_in_place(const RuntimeString* s) {
  return s->temporary && !s->fixed_length && !s->read_only && !s->in_low_area;
}

// The string to change: s itself when that is allowed, else a temporary copy of it.
RuntimeString* writable(StringStorage& st, RuntimeString* s) {
  if (changeable_in_place(s)) return s;
  RuntimeString* copy = st.string_new(static_cast<uint32_t>(s->length), true);
  std::memcpy(copy->data, s->data, static_cast<std::size_t>(s->length));
  return copy;
}

// Bytes [from, from + n) of s, as s shortened in place or as a new temporary.
RuntimeString* slice(StringStorage& st, RuntimeString* s, int32_t from, int32_t n) {
  if (changeable_in_place(s)) {
    std::memmove(s->data, s->data + from, static_cast<std::size_t>(n));
    s->length = n;
    return s;
  }
  RuntimeString* part = st.string_new(static_cast<uint32_t>(n), true);
  std::memcpy(part->data, s->data + from, static_cast<std::size_t>(n));
  return part;
}

RuntimeString* map_bytes(StringStorage& st, RuntimeString* s, int (*change)(int)) {
  RuntimeString* out = writable(st, s);
  for (int32_t i = 0; i < out->length; ++i)
    out->data[i] = static_cast<uint8_t>(change(out->data[i]));
  return out;
}

int ascii_upper(int c) {
  return c >= 'a' && c <= 'z' ? c - 32 : c;
}
int ascii_lower(int c) {
  return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

int compare(const RuntimeString* left, const RuntimeString* right) {
  const int32_t n = std::min(left->length, right->length);
  if (const int c = n > 0 ? std::memcmp(left->data, right->data, static_cast<std::size_t>(n)) : 0)
    return c;
  return (left->length > right->length) - (left->length < right->length);
}

void justify(RuntimeString* destination, const RuntimeString* source, bool right) {
  const int32_t n = std::min(source->length, destination->length);
  const int32_t pad = destination->length - n;
  uint8_t* text = destination->data + (right ? pad : 0);
  std::memmove(text, source->data, static_cast<std::size_t>(n));
  std::memset(right ? destination->data : destination->data + n, ' ',
              static_cast<std::size_t>(pad));
}

}  // namespace

RuntimeString* string_upper(StringStorage& st, RuntimeString* s) {
  return map_bytes(st, s, ascii_upper);
}
RuntimeString* string_lower(StringStorage& st, RuntimeString* s) {
  return map_bytes(st, s, ascii_lower);
}

RuntimeString* string_left(StringStorage& st, RuntimeString* s, int32_t n) {
  if (n < 0) {
    st.errors().raise_error(kIllegalFunctionCall);
    return s;
  }
  return slice(st, s, 0, std::min(n, s->length));
}

RuntimeString* string_right(StringStorage& st, RuntimeString* s, int32_t n) {
  if (n < 0) {
    st.errors().raise_error(kIllegalFunctionCall);
    return s;
  }
  n = std::min(n, s->length);
  return slice(st, s, s->length - n, n);
}

RuntimeString* string_mid(StringStorage& st, RuntimeString* s, int32_t start, int32_t n) {
  if (start < 1) {
    st.errors().raise_error(kIllegalFunctionCall);
    return s;
  }
  const int32_t from = std::min(start - 1, s->length);
  const int32_t rest = s->length - from;
  return slice(st, s, from, n < 0 ? rest : std::min(n, rest));
}

RuntimeString* string_ltrim(StringStorage& st, RuntimeString* s) {
  int32_t from = 0;
  while (from < s->length && s->data[from] == ' ') ++from;
  return slice(st, s, from, s->length - from);
}

RuntimeString* string_rtrim(StringStorage& st, RuntimeString* s) {
  int32_t n = s->length;
  while (n > 0 && s->data[n - 1] == ' ') --n;
  return slice(st, s, 0, n);
}

RuntimeString* string_chr(StringStorage& st, int32_t code) {
  if (code < 0 || code > 255) {
    st.errors().raise_error(kIllegalFunctionCall);
    return st.string_new(0, true);
  }
  return string_repeat(st, 1, static_cast<uint8_t>(code));
}

int32_t string_asc(StringStorage& st, const RuntimeString* s) {
  if (s->length == 0) {
    st.errors().raise_error(kIllegalFunctionCall);
    return 0;
  }
  return s->data[0];
}

RuntimeString* string_space(StringStorage& st, int32_t n) {
  return string_repeat(st, n, ' ');
}

RuntimeString* string_repeat(StringStorage& st, int32_t n, uint8_t code) {
  n = std::max(n, 0);
  RuntimeString* s = st.string_new(static_cast<uint32_t>(n), true);
  std::memset(s->data, code, static_cast<std::size_t>(n));
  return s;
}

void string_mid_replace(StringStorage& st, RuntimeString* destination, int32_t start, int32_t n,
                        RuntimeString* source) {
  if (start < 1 || start > destination->length) {
    st.errors().raise_error(kIllegalFunctionCall);
  } else {
    int32_t count = std::min(source->length, destination->length - start + 1);
    if (n >= 0) count = std::min(count, n);
    std::memmove(destination->data + start - 1, source->data, static_cast<std::size_t>(count));
  }
  if (source->temporary) st.string_free(source);
}

int32_t string_instr(StringStorage& st, int32_t start, const RuntimeString* haystack,
                     const RuntimeString* needle) {
  if (start < 1) {
    st.errors().raise_error(kIllegalFunctionCall);
    return 0;
  }
  if (start > haystack->length) return 0;
  const std::size_t at = haystack->view().find(needle->view(), static_cast<std::size_t>(start - 1));
  return at == std::string_view::npos ? 0 : static_cast<int32_t>(at) + 1;
}

void string_lset(StringStorage& st, RuntimeString* destination, RuntimeString* source) {
  justify(destination, source, false);
  if (source->temporary) st.string_free(source);
}

void string_rset(StringStorage& st, RuntimeString* destination, RuntimeString* source) {
  justify(destination, source, true);
  if (source->temporary) st.string_free(source);
}

int32_t string_less(const RuntimeString* l, const RuntimeString* r) {
  return compare(l, r) < 0 ? -1 : 0;
}
int32_t string_less_equal(const RuntimeString* l, const RuntimeString* r) {
  return compare(l, r) <= 0 ? -1 : 0;
}
int32_t string_greater(const RuntimeString* l, const RuntimeString* r) {
  return compare(l, r) > 0 ? -1 : 0;
}
int32_t string_greater_equal(const RuntimeString* l, const RuntimeString* r) {
  return compare(l, r) >= 0 ? -1 : 0;
}

}  // namespace aqsol
