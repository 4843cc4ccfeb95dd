// numpy arrays in mappings of their own, advised for huge pages.
#include "bindings/python/large_arrays.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

namespace py = pybind11;

namespace aqsol::python {
namespace {

// An anonymous mapping of `bytes` rounded up to whole huge pages, aligned to one: the unaligned
// head and the tail beyond are given back at once.
class Mapping {
 public:
  explicit Mapping(std::size_t bytes) : bytes_(roundedUp(bytes)) {
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

  // The size of a mapping for `bytes`: whole huge pages.
  static std::size_t roundedUp(std::size_t bytes) {
    return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  }

  void* address() const { return address_; }
  std::size_t bytes() const { return bytes_; }

 private:
  std::size_t bytes_;
  void* address_;
};

// Mappings whose arrays have gone, kept (kKeptBytes in all at most) for the next arrays of the
// same size: a loop of calls of one size then writes into memory already in place, with no
// page fault and no zeroing by the kernel. Arrays are made and freed by several threads.
class KeptMappings {
 public:
  KeptMappings() { kept_.reserve(kKeptBytes / kHugePageBytes); }

  // A mapping for `bytes`: one kept of that size, or a new one.
  std::unique_ptr<Mapping> take(std::size_t bytes) {
    const std::size_t size = Mapping::roundedUp(bytes);
    {
      const std::lock_guard<std::mutex> hold(lock_);
      for (auto m = kept_.begin(); m != kept_.end(); ++m)
        if ((*m)->bytes() == size) {
          std::unique_ptr<Mapping> found = std::move(*m);
          kept_.erase(m);
          keptBytes_ -= found->bytes();
          return found;
        }
    }
    return std::make_unique<Mapping>(bytes);
  }

  // Keeps the mapping while there is room, else gives it back to the system. (No allocation:
  // the room for the most mappings that can be kept is reserved.)
  void giveBack(std::unique_ptr<Mapping> mapping) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (keptBytes_ + mapping->bytes() > kKeptBytes) return;
    keptBytes_ += mapping->bytes();
    kept_.push_back(std::move(mapping));
  }

 private:
  static constexpr std::size_t kKeptBytes = 16 * kHugePageBytes;  // a call of 150,000 states
  std::mutex lock_;
  std::vector<std::unique_ptr<Mapping>> kept_;
  std::size_t keptBytes_ = 0;
};

// Never destroyed: an array may be freed after static objects are, as the interpreter ends.
KeptMappings& keptMappings() {
  static KeptMappings* const kept = new KeptMappings;
  return *kept;
}

}  // namespace

py::array largeArray(const py::dtype& dtype, const std::vector<py::ssize_t>& shape) {
  auto bytes = static_cast<std::size_t>(dtype.itemsize());
  for (const py::ssize_t extent : shape) bytes *= static_cast<std::size_t>(extent);
  if (bytes < kLargeArrayBytes) return py::array(dtype, shape);
  std::unique_ptr<Mapping> mapping = keptMappings().take(bytes);
  void* const address = mapping->address();
  const py::capsule owner(mapping.get(), [](void* m) {
    keptMappings().giveBack(std::unique_ptr<Mapping>(static_cast<Mapping*>(m)));
  });
  mapping.release();  // the capsule's now
  return py::array(dtype, shape, {}, address, owner);
}

}  // namespace aqsol::python
