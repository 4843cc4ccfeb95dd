// The subroutine return stack: return-point numbers pushed on entry and popped on leaving.
#pragma once

#include <cstdint>
#include <vector>

#include "services/errors.hpp"
#include "services/memory_source.hpp"

namespace aqsol {

class ReturnStack {
 public:
  static constexpr int32_t kInitialCapacity = 16'384;
  static constexpr int32_t kHighestPoint = 40;  // return points are 1..40; 0 leaves the routine

  // A stack whose points take their memory from `memory`, raising into `errors`; both must
  // outlive it. When the first points cannot be had, critical error 256.
  explicit ReturnStack(ErrorSlot& errors, MemorySource& memory = process_memory());

  // Pushes return point `point`. When the stack is then full it doubles; if it cannot, critical
  // error 256, "Out of stack space".
  void call(int32_t point);

  // Pops the return point to continue at. An empty stack, or a popped number above 40, raises
  // error 3, "RETURN without GOSUB", and gives 0.
  int32_t return_point();

  int32_t count() const { return count_; }
  int32_t capacity() const { return capacity_; }

 private:
  ErrorSlot& errors_;
  std::vector<int32_t, SourceAllocator<int32_t>> points_;
  int32_t count_ = 0;
  int32_t capacity_ = kInitialCapacity;
};

}  // namespace aqsol
