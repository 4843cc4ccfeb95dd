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

VariablePool::VariablePool(ErrorSlot& errors, std::size_t size, MemorySource& memory)
    : errors_(errors), memory_(memory), size_(size) {
  if (new_block(size) == nullptr) errors_.raise_critical(504);
}

VariablePool::~VariablePool() {
  for (std::byte* block : blocks_) memory_.give_back(block);
}

std::byte* VariablePool::new_block(std::size_t size) {
  auto* block = static_cast<std::byte*>(memory_.take_zeroed(size));
  if (block == nullptr) return nullptr;
  try {
    blocks_.push_back(block);
  } catch (const std::bad_alloc&) {
    memory_.give_back(block);
    return nullptr;
  }
  return block;
}

void* VariablePool::pool_take(std::size_t n) {
  const std::size_t length = aligned(n == 0 ? 1 : n);
  if (used_ + length >= size_) {
    const std::size_t new_size = length + 2 * size_;
    if (new_block(new_size) == nullptr) errors_.raise_critical(504);
    size_ = new_size;
    used_ = 0;
  }
  void* start = blocks_.back() + used_;
  used_ += length;
  return start;
}

}  // namespace aqsol
