// The subroutine return stack: return-point numbers pushed on entry and popped on leaving.
#include "services/return_stack.hpp"

#include <limits>
#include <new>

namespace aqsol {

ReturnStack::ReturnStack(ErrorSlot& errors, MemorySource& memory)
    : errors_(errors), points_(SourceAllocator<int32_t>(memory)) {
  try {
    points_.resize(kInitialCapacity);
  } catch (const std::bad_alloc&) {
    errors_.raise_critical(kOutOfStackSpace);
  }
}

void ReturnStack::call(int32_t point) {
  points_[static_cast<std::size_t>(count_)] = point;
  ++count_;
  if (count_ < capacity_) return;
  if (capacity_ > std::numeric_limits<int32_t>::max() / 2) {
    errors_.raise_error(kOutOfStackSpace);
    return;
  }
  try {
    points_.resize(static_cast<std::size_t>(capacity_) * 2);
  } catch (const std::bad_alloc&) {
    errors_.raise_critical(kOutOfStackSpace);
  }
  capacity_ *= 2;
}

int32_t ReturnStack::return_point() {
  if (count_ == 0) {
    errors_.raise_error(kReturnWithoutGosub);
    return 0;
  }
  const int32_t point = points_[static_cast<std::size_t>(--count_)];
  if (point > kHighestPoint) {
    errors_.raise_error(kReturnWithoutGosub);
    return 0;
  }
  return point;
}

}  // namespace aqsol
