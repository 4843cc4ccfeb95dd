// numpy arrays in mappings of their own, advised for huge pages.
#include "bindings/python/large_arrays.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <memory>
#include <new>

namespace py = pybind11;

namespace aqsol::python {
namespace {

// An anonymous mapping of `bytes` rounded up to whole huge pages, aligned to one: the unaligned
// head and the tail beyond are given back at once.
class Mapping {
 public:
  explicit Mapping(std::size_t bytes)
      : bytes_((bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes) {
    const std::size_t span = bytes_ + kHugePageBytes;
    void* const mapped =
        mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    if (start + span > aligned + bytes_)
      munmap(reinterpret_cast<void*>(aligned + bytes_), start + span - aligned - bytes_);
    address_ = reinterpret_cast<void*>(aligned);
    madvise(address_, bytes_, MADV_HUGEPAGE);  // advice: where refused, small pages serve
  }
  ~Mapping() { munmap(address_, bytes_); }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;

  void* address() const { return address_; }

 private:
  std::size_t bytes_;
  void* address_;
};

}  // namespace

py::array largeArray(const py::dtype& dtype, const std::vector<py::ssize_t>& shape) {
  auto bytes = static_cast<std::size_t>(dtype.itemsize());
  for (const py::ssize_t extent : shape) bytes *= static_cast<std::size_t>(extent);
  if (bytes < kLargeArrayBytes) return py::array(dtype, shape);
  auto mapping = std::make_unique<Mapping>(bytes);
  void* const address = mapping->address();
  const py::capsule owner(mapping.get(), [](void* m) { delete static_cast<Mapping*>(m); });
  mapping.release();  // the capsule's now
  return py::array(dtype, shape, {}, address, owner);
}

}  // namespace aqsol::python
