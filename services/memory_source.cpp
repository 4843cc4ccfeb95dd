// The process heap as a memory source.
#include "services/memory_source.hpp"

#include <cstdlib>

namespace aqsol {
namespace {

class ProcessMemory final : public MemorySource {
 public:
  void* take(std::size_t size) override { return std::malloc(size == 0 ? 1 : size); }
  void* take_zeroed(std::size_t size) override { return std::calloc(1, size == 0 ? 1 : size); }
  void give_back(void* block) override { std::free(block); }
};

}  // namespace

MemorySource& process_memory() {
  static ProcessMemory memory;  // stateless: one for the whole process
  return memory;
}

}  // namespace aqsol
