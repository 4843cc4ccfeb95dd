// Test helper: a memory source that counts its requests and fails from the n-th on.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "services/errors.hpp"
#include "services/memory_source.hpp"

namespace aqsol {

class FailingMemory final : public MemorySource {
 public:
  // Fails request number `fail_from` (1-based) and every later one; 0: never fails.
  explicit FailingMemory(long fail_from = 0) : fail_from_(fail_from) {}

  void* take(std::size_t size) override {
    ++requests_;
    if (fail_from_ > 0 && requests_ >= fail_from_) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
  }
  void give_back(void* block) override { std::free(block); }

  long requests() const { return requests_; }
  // From now on, fails the request after the next `left` ones.
  void fail_after(long left) { fail_from_ = requests_ + left + 1; }

 private:
  long fail_from_;
  long requests_ = 0;
};

}  // namespace aqsol
