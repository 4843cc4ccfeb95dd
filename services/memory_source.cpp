// The process heap as a memory source.
#include "services/memory_source.hpp"

#include <unistd.h>

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

std::size_t physical_memory_bytes() {
  const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && size > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(size)
                               : 0;
}

}  // namespace aqsol
