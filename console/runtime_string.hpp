// Runtime strings: counted byte strings whose descriptors and bytes the runtime owns, with
// temporaries released at the end of each statement.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "services/errors.hpp"
#include "services/low_memory.hpp"
#include "services/memory_source.hpp"

namespace aqsol {

// A string descriptor. Bytes are not terminated and may hold any value.
struct RuntimeString {
  uint8_t* data;
  int32_t length;
  uint8_t in_low_area;             // bytes live in the low string area
  uint8_t* low_area_entry;         // low-area variable: its (length, offset) entry, else null
  uint16_t low_area_entry_offset;  // position of that entry inside the low area
  int32_t list_index;              // slot in the main or low-area list
  uint8_t temporary;               // temporary of the current statement
  int32_t temp_index;              // slot in the temporary list, 0 when not registered
  uint8_t fixed_length;            // length never changes; assignment pads or truncates
  uint8_t read_only;               // bytes belong to a literal: never written, moved or freed

  std::string_view view() const {
    return {reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)};
  }
};

// The string storage of one runtime: descriptor blocks and free stack, the main heap and the low
// string area with their lists, and the temporary list. Only the calculator thread uses it.
// Exhausted resources raise the critical "Out of memory" errors through the error slot (which
// end the process); no operation raises a recoverable error except where stated.
class StringStorage {
 public:
  static constexpr std::size_t kDescriptorsPerBlock = 65'536;
  static constexpr std::size_t kInitialHeapSize = 1'048'576;
  static constexpr int32_t kInitialListCapacity = 65'535;
  static constexpr int32_t kSlack = 32;  // bytes left free behind every new heap string

  // A list of descriptor pointers, its memory from the storage's source.
  using PointerList = std::vector<RuntimeString*, SourceAllocator<RuntimeString*>>;

  // strings_init: sets up the storage, with the low area inside `low_memory`, and creates the
  // shared empty string. Raises into `errors`, which must outlive the storage. Every byte the
  // storage holds (heap, descriptor blocks, lists) comes from `memory`, which must outlive it;
  // when it fails, the critical error of the store that could not grow is raised.
  StringStorage(ErrorSlot& errors, LowMemory& low_memory, MemorySource& memory = process_memory());
  ~StringStorage();
  StringStorage(const StringStorage&) = delete;
  StringStorage& operator=(const StringStorage&) = delete;

  // The permanent empty string of the low area that ends printed lines.
  RuntimeString* shared_empty() const { return shared_empty_; }

  // A new main-heap string of `length` bytes (not initialised), temporary when asked.
  RuntimeString* string_new(uint32_t length, bool temporary);
  // A new temporary read-only string pointing at `length` bytes (no copy).
  RuntimeString* string_from_literal(const void* bytes, uint32_t length);
  // As string_from_literal with the length of a zero-terminated text; null gives length 0.
  RuntimeString* string_from_text(const char* text);
  // A new low-area variable of `length` bytes, with its (length, offset) entry.
  RuntimeString* string_new_low(uint32_t length);
  // A fixed-length string over `length` caller-owned bytes that must outlive it; in no list.
  RuntimeString* string_new_fixed(uint8_t* bytes, uint32_t length);
  // Registers s as a temporary of the current statement; returns s.
  RuntimeString* string_make_temporary(RuntimeString* s);

  // destination takes a copy of source's value; a temporary source is consumed.
  void string_assign(RuntimeString* destination, RuntimeString* source);
  // left followed by right; temporary operands are consumed when a new string is made.
  RuntimeString* string_concat(RuntimeString* left, RuntimeString* right);
  // -1 for true, 0 for false; operands are not released.
  static int32_t string_equal(const RuntimeString* left, const RuntimeString* right);
  static int32_t string_not_equal(const RuntimeString* left, const RuntimeString* right);
  // Releases the descriptor and its bytes.
  void string_free(RuntimeString* s);

  // The current temporary-list count, to be given to temporaries_release at statement end.
  int32_t temporaries_mark() const { return temp_count_; }
  // Frees every temporary registered at or above `mark`; returns `value` unchanged.
  int32_t temporaries_release(int32_t mark, int32_t value);

  ErrorSlot& errors() const { return errors_; }

  // Read-only view for tests of the storage invariants.
  struct Area;
  const Area& main_area() const { return *main_; }
  const Area& low_area() const { return *low_; }
  const PointerList& temporary_slots() const { return temps_; }
  std::size_t heap_size() const;

 private:
  RuntimeString* descriptor_take();
  void descriptor_give_back(RuntimeString* s);
  void register_temporary(RuntimeString* s);
  void register_in_area(Area& area, RuntimeString* s);
  void compact(Area& area, std::size_t request);
  void place_at_top(Area& area, RuntimeString* s, int32_t length, std::size_t slack);
  void grow_in_area(RuntimeString* destination, RuntimeString* source);
  void release_from_area(RuntimeString* s);
  void release_temporary_slot(RuntimeString* s);
  void steal_bytes(RuntimeString* destination, RuntimeString* source);
  void update_low_entry(RuntimeString* s);
  // Gives the heap and the descriptor blocks back to the memory source.
  void release_blocks();
  Area& area_of(const RuntimeString* s) { return s->in_low_area ? *low_ : *main_; }

  ErrorSlot& errors_;
  LowMemory& low_memory_;
  MemorySource& memory_;
  PointerList blocks_;  // descriptor blocks; the last is being handed out
  std::size_t block_used_ = 0;
  PointerList free_stack_;
  std::unique_ptr<Area> main_;
  std::unique_ptr<Area> low_;
  PointerList temps_;  // slot 0 unused; nullptr marks a released slot
  int32_t temp_count_ = 1;
  int32_t temp_capacity_ = kInitialListCapacity;
  RuntimeString* shared_empty_ = nullptr;
};

// A byte area holding string data (the main heap or the low string area) and its list of live
// strings in placement order; nullptr marks a released slot.
struct StringStorage::Area {
  explicit Area(MemorySource& memory) : slots(SourceAllocator<RuntimeString*>(memory)) {}

  uint8_t* base = nullptr;
  std::size_t size = 0;
  std::size_t start = 0;  // first usable byte (the low area reserves its first 256)
  std::size_t top = 0;    // fill mark, from the base
  bool growable = false;
  PointerList slots;
  int32_t count = 0;
  int32_t capacity = kInitialListCapacity;
  uint32_t list_full_error = 0;  // critical error when the list cannot grow
  uint32_t full_error = 0;       // critical error when the bytes cannot grow
};

}  // namespace aqsol
