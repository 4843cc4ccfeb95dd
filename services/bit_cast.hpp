// The bits of one type as another, as std::bit_cast gives them, through the compiler's builtin:
// the standard library of the WebAssembly toolchain has no std::bit_cast.
#pragma once

#include <type_traits>

namespace aqsol {

template <class To, class From>
constexpr To bitCast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> &&
                std::is_trivially_copyable_v<From>);
  return __builtin_bit_cast(To, from);
}

}  // namespace aqsol
