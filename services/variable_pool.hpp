// The variable pool: a bump region from which the calculator carves its variable cells once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "services/errors.hpp"
#include "services/memory_source.hpp"

namespace aqsol {

// Storage handed out by pool_take is never given back; it lives as long as the pool. Blocks
// that fill up stay allocated.
class VariablePool {
 public:
  static constexpr std::size_t kInitialSize = 1'048'576;

  // A pool of `size` bytes from `memory`; raising into `errors`. Both must outlive it. When the
  // first block cannot be had, critical error 504.
  explicit VariablePool(ErrorSlot& errors, std::size_t size = kInitialSize,
                        MemorySource& memory = process_memory());
  ~VariablePool();
  VariablePool(const VariablePool&) = delete;
  VariablePool& operator=(const VariablePool&) = delete;

  // n zero-filled bytes, aligned for any scalar. When the current block cannot hold them, a new
  // block of n + 2 x (current block size) bytes is made and the request is carved from its
  // start; if that fails, critical error 504 (which ends the process).
  void* pool_take(std::size_t n);

  std::size_t block_size() const { return size_; }

 private:
  // A zero-filled block of `size` bytes, kept in blocks_; null when the memory fails.
  std::byte* new_block(std::size_t size);

  ErrorSlot& errors_;
  MemorySource& memory_;
  std::vector<std::byte*> blocks_;
  std::size_t size_;
  std::size_t used_ = 0;
};

}  // namespace aqsol
