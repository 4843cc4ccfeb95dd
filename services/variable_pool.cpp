// The variable pool: a bump region from which the calculator carves its variable cells once.
#include "services/variable_pool.hpp"

#include <new>

namespace aqsol {
namespace {

constexpr std::size_t kAlignment = alignof(std::max_align_t);

std::size_t aligned(std::size_t n) {
  return (n + kAlignment - 1) / kAlignment * kAlignment;
}

}  // namespace

VariablePool::VariablePool(ErrorSlot& errors, std::size_t size) : errors_(errors), size_(size) {
  blocks_.emplace_back(new std::byte[size]());
}

void* VariablePool::pool_take(std::size_t n) {
  const std::size_t length = aligned(n == 0 ? 1 : n);
  if (used_ + length >= size_) {
    const std::size_t new_size = length + 2 * size_;
    std::byte* block = new (std::nothrow) std::byte[new_size]();
    if (block == nullptr) {
      errors_.raise_error(504);
      return nullptr;
    }
    blocks_.emplace_back(block);
    size_ = new_size;
    used_ = 0;
  }
  void* start = blocks_.back().get() + used_;
  used_ += length;
  return start;
}

}  // namespace aqsol
