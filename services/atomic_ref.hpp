// Atomic access to a plain field that several threads share, as std::atomic_ref gives it; the
// compiler's atomic builtins where the standard library has no std::atomic_ref (the WebAssembly
// toolchain's).
#pragma once

#include <atomic>

namespace aqsol {

#if defined(__cpp_lib_atomic_ref)
template <class T>
using AtomicRef = std::atomic_ref<T>;
#else
template <class T>
class AtomicRef {
 public:
  explicit AtomicRef(T& field) : field_(&field) {}
  T load(std::memory_order order = std::memory_order_seq_cst) const {
    return __atomic_load_n(field_, static_cast<int>(order));
  }
  void store(T value, std::memory_order order = std::memory_order_seq_cst) const {
    __atomic_store_n(field_, value, static_cast<int>(order));
  }

 private:
  T* field_;
};
#endif

}  // namespace aqsol
