// Where the runtime's stores take their memory from: one hook, so that tests can make any
// request fail and reach every out-of-memory path.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>

namespace aqsol {

class MemorySource {
 public:
  virtual ~MemorySource() = default;
  // `size` bytes aligned for any object, or nullptr when they cannot be had.
  virtual void* take(std::size_t size) = 0;
  // The same, every byte zero. A source that can hand out pages the system already zeroed
  // (the process heap, for large blocks) does so without touching them, so that the unused part
  // of a large store costs no memory.
  virtual void* take_zeroed(std::size_t size) {
    void* block = take(size);
    if (block != nullptr) std::memset(block, 0, size);
    return block;
  }
  // Gives back a block that take returned; nullptr is ignored.
  virtual void give_back(void* block) = 0;
};

// The process heap (malloc and free); never fails on its own account.
MemorySource& process_memory();

// The machine's physical memory in bytes (0 where it cannot be told): a result larger than this
// can never be held, and is better refused before the work than found out after it.
std::size_t physical_memory_bytes();

// A standard-library allocator over a MemorySource: containers built with it take their memory
// from the source and throw std::bad_alloc when it fails.
template <class T>
class SourceAllocator {
 public:
  using value_type = T;
  explicit SourceAllocator(MemorySource& source) : source_(&source) {}
  template <class U>
  SourceAllocator(const SourceAllocator<U>& other) : source_(&other.source()) {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* block = source_->take(n * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* p, std::size_t) { source_->give_back(p); }
  MemorySource& source() const { return *source_; }

  template <class U>
  bool operator==(const SourceAllocator<U>& other) const {
    return source_ == &other.source();
  }

 private:
  MemorySource* source_;
};

}  // namespace aqsol
