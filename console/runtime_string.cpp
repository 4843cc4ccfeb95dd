// Runtime strings: counted byte strings whose descriptors and bytes the runtime owns, with
// temporaries released at the end of each statement.
#include "console/runtime_string.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace aqsol {
namespace {

// Critical errors of exhausted string resources ("Out of memory", "Critical Error #n" with
// n = number - 500).
constexpr uint32_t kDescriptorBlockFull = 507;
constexpr uint32_t kFreeStackFull = 508;
constexpr uint32_t kLowListFull = 509;
constexpr uint32_t kMainListFull = 510;
constexpr uint32_t kTemporaryListFull = 511;
constexpr uint32_t kMainHeapFull = 512;
constexpr uint32_t kLowAreaFull = 513;
constexpr uint32_t kNoLowEntry = 514;

constexpr std::size_t kLowAreaSize = 65'536;
constexpr std::size_t kLowAreaReserved = 256;  // holds the (length, offset) entries
constexpr std::size_t kLowEntrySize = 4;
// Largest string length accepted, leaving room for slack and size arithmetic.
constexpr uint32_t kMaxLength = INT32_MAX - 1024;

// Grows a pointer list to `slots` entries, or raises the critical error `error`.
void grow_slots(ErrorSlot& errors, StringStorage::PointerList& list, std::size_t slots,
                uint32_t error) {
  try {
    list.resize(slots, nullptr);
  } catch (const std::bad_alloc&) {
    errors.raise_critical(error);
  }
}

void store16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

StringStorage::StringStorage(ErrorSlot& errors, LowMemory& low_memory, MemorySource& memory)
    : errors_(errors),
      low_memory_(low_memory),
      memory_(memory),
      blocks_(SourceAllocator<RuntimeString*>(memory)),
      free_stack_(SourceAllocator<RuntimeString*>(memory)),
      main_(std::make_unique<Area>(memory)),
      low_(std::make_unique<Area>(memory)),
      temps_(SourceAllocator<RuntimeString*>(memory)) {
  // A critical handler that unwinds (as in tests) leaves no block behind.
  try {
    main_->base = static_cast<uint8_t*>(memory_.take(kInitialHeapSize));
    if (main_->base == nullptr) errors_.raise_critical(kMainHeapFull);
    main_->size = kInitialHeapSize;
    main_->growable = true;
    main_->list_full_error = kMainListFull;
    main_->full_error = kMainHeapFull;
    grow_slots(errors_, main_->slots, kInitialListCapacity + 1, kMainListFull);

    low_->base = low_memory_.bytes() + LowMemory::kLowStringArea;
    low_->size = kLowAreaSize;
    low_->start = low_->top = kLowAreaReserved;
    low_->list_full_error = kLowListFull;
    low_->full_error = kLowAreaFull;
    grow_slots(errors_, low_->slots, kInitialListCapacity + 1, kLowListFull);

    grow_slots(errors_, temps_, kInitialListCapacity + 1, kTemporaryListFull);
    try {
      free_stack_.reserve(kDescriptorsPerBlock);
    } catch (const std::bad_alloc&) {
      errors_.raise_critical(kFreeStackFull);
    }
    shared_empty_ = string_new_low(0);
  } catch (...) {
    release_blocks();
    throw;
  }
}

StringStorage::~StringStorage() {
  release_blocks();
}

void StringStorage::release_blocks() {
  for (RuntimeString* block : blocks_) memory_.give_back(block);
  blocks_.clear();
  memory_.give_back(main_->base);
  main_->base = nullptr;
}

std::size_t StringStorage::heap_size() const {
  return main_->size;
}

RuntimeString* StringStorage::descriptor_take() {
  if (!free_stack_.empty()) {
    RuntimeString* s = free_stack_.back();
    free_stack_.pop_back();
    *s = RuntimeString{};
    return s;
  }
  if (blocks_.empty() || block_used_ == kDescriptorsPerBlock) {
    // Zeroed memory holds value-initialised descriptors (an implicit-lifetime type whose zero
    // bits are its null pointers and zeros), and pages of it not yet used cost no memory.
    static_assert(std::is_trivially_default_constructible_v<RuntimeString> &&
                  std::is_trivially_copyable_v<RuntimeString>);
    void* bytes = memory_.take_zeroed(kDescriptorsPerBlock * sizeof(RuntimeString));
    if (bytes == nullptr) errors_.raise_critical(kDescriptorBlockFull);
    auto* block = static_cast<RuntimeString*>(bytes);
    try {
      blocks_.push_back(block);
    } catch (const std::bad_alloc&) {
      memory_.give_back(bytes);
      errors_.raise_critical(kDescriptorBlockFull);
    }
    block_used_ = 0;
  }
  return &blocks_.back()[block_used_++];
}

void StringStorage::descriptor_give_back(RuntimeString* s) {
  if (free_stack_.size() == free_stack_.capacity()) {
    try {
      free_stack_.reserve(2 * free_stack_.capacity());
    } catch (const std::bad_alloc&) {
      errors_.raise_critical(kFreeStackFull);
    }
  }
  free_stack_.push_back(s);
}

void StringStorage::register_temporary(RuntimeString* s) {
  if (temp_count_ > temp_capacity_) {
    temp_capacity_ *= 2;
    grow_slots(errors_, temps_, static_cast<std::size_t>(temp_capacity_) + 1, kTemporaryListFull);
  }
  temps_[temp_count_] = s;
  s->temp_index = temp_count_++;
  s->temporary = 1;
}

void StringStorage::register_in_area(Area& area, RuntimeString* s) {
  if (area.count > area.capacity) {
    // Close the released slots first; grow only when the list stays at least half full.
    int32_t live = 0;
    for (int32_t i = 0; i < area.count; ++i) {
      RuntimeString* t = area.slots[i];
      if (t == nullptr) continue;
      area.slots[live] = t;
      t->list_index = live++;
    }
    std::fill(area.slots.begin() + live, area.slots.begin() + area.count, nullptr);
    area.count = live;
    if (area.count >= area.capacity / 2) {
      area.capacity *= 2;
      grow_slots(errors_, area.slots, static_cast<std::size_t>(area.capacity) + 1,
                 area.list_full_error);
    }
  }
  area.slots[area.count] = s;
  s->list_index = area.count++;
}

void StringStorage::compact(Area& area, std::size_t request) {
  uint8_t* end = area.base + area.start;
  for (int32_t i = 0; i < area.count; ++i) {
    RuntimeString* s = area.slots[i];
    if (s == nullptr) continue;
    if (s->data - end > kSlack) {  // gaps of up to 32 bytes stay, to move as little as possible
      std::memmove(end, s->data, static_cast<std::size_t>(s->length));
      s->data = end;
      update_low_entry(s);
    }
    end = s->data + s->length;
  }
  area.top = static_cast<std::size_t>(end - area.base);
  if (!area.growable) {
    if (area.top + request > area.size) errors_.raise_critical(area.full_error);
    return;
  }
  if (2 * area.top + request + kSlack < area.size) return;
  const std::size_t new_size = 2 * area.size + request;
  // A new buffer rather than realloc, so that the old one is still valid while every live
  // string is repointed into the new one.
  auto* moved = static_cast<uint8_t*>(memory_.take(new_size));
  if (moved == nullptr) errors_.raise_critical(area.full_error);
  std::memcpy(moved, area.base, area.top);
  for (int32_t i = 0; i < area.count; ++i)
    if (RuntimeString* s = area.slots[i]) s->data = moved + (s->data - area.base);
  memory_.give_back(area.base);
  area.base = moved;
  area.size = new_size;
}

void StringStorage::place_at_top(Area& area, RuntimeString* s, int32_t length, std::size_t slack) {
  const std::size_t need = static_cast<std::size_t>(length) + slack;
  if (area.top + need > area.size) compact(area, need);
  s->length = length;
  s->data = area.base + area.top;
  area.top += need;
  register_in_area(area, s);
}

RuntimeString* StringStorage::string_new(uint32_t length, bool temporary) {
  if (length > kMaxLength) errors_.raise_critical(kMainHeapFull);
  RuntimeString* s = descriptor_take();
  place_at_top(*main_, s, static_cast<int32_t>(length), kSlack);
  if (temporary) register_temporary(s);
  return s;
}

RuntimeString* StringStorage::string_from_literal(const void* bytes, uint32_t length) {
  if (length > kMaxLength) errors_.raise_critical(kMainHeapFull);
  RuntimeString* s = descriptor_take();
  s->data = static_cast<uint8_t*>(const_cast<void*>(bytes));
  s->length = static_cast<int32_t>(length);
  s->read_only = 1;
  register_temporary(s);
  return s;
}

RuntimeString* StringStorage::string_from_text(const char* text) {
  static const char kNothing = 0;
  if (text == nullptr) return string_from_literal(&kNothing, 0);
  return string_from_literal(text, static_cast<uint32_t>(std::strlen(text)));
}

RuntimeString* StringStorage::string_new_low(uint32_t length) {
  // Find a free (length, offset) entry; an offset of 0 marks a free one, since data always
  // lies past the reserved entries.
  uint8_t* area = low_->base;
  std::size_t entry = 0;
  while (entry < kLowAreaReserved && (area[entry + 2] | area[entry + 3]) != 0)
    entry += kLowEntrySize;
  if (entry >= kLowAreaReserved) errors_.raise_critical(kNoLowEntry);
  if (length > kLowAreaSize) errors_.raise_critical(kLowAreaFull);
  RuntimeString* s = descriptor_take();
  s->in_low_area = 1;
  s->low_area_entry = area + entry;
  s->low_area_entry_offset = static_cast<uint16_t>(entry);
  place_at_top(*low_, s, static_cast<int32_t>(length), kSlack);
  update_low_entry(s);
  return s;
}

RuntimeString* StringStorage::string_new_fixed(uint8_t* bytes, uint32_t length) {
  if (length > kMaxLength) errors_.raise_critical(kMainHeapFull);
  RuntimeString* s = descriptor_take();
  s->data = bytes;
  s->length = static_cast<int32_t>(length);
  s->fixed_length = 1;
  return s;
}

RuntimeString* StringStorage::string_make_temporary(RuntimeString* s) {
  if (s->temp_index == 0) register_temporary(s);
  return s;
}

void StringStorage::update_low_entry(RuntimeString* s) {
  if (s->low_area_entry == nullptr) return;
  store16(s->low_area_entry, static_cast<uint16_t>(s->length));
  store16(s->low_area_entry + 2, static_cast<uint16_t>(s->data - low_->base));
}

void StringStorage::steal_bytes(RuntimeString* destination, RuntimeString* source) {
  Area& area = area_of(destination);
  area.slots[destination->list_index] = nullptr;
  area.slots[source->list_index] = destination;
  destination->list_index = source->list_index;
  destination->data = source->data;
  destination->length = source->length;
  // The bytes now belong to the destination's (length, offset) entry; the temporary's own
  // entry is free again.
  if (source->low_area_entry != nullptr) std::memset(source->low_area_entry, 0, kLowEntrySize);
  temps_[source->temp_index] = nullptr;
  if (source->temp_index == temp_count_ - 1) --temp_count_;
  descriptor_give_back(source);
}

void StringStorage::grow_in_area(RuntimeString* destination, RuntimeString* source) {
  Area& area = area_of(destination);
  const int32_t length = source->length;
  // Offsets from the area base, so that no pointer is formed past the area's end.
  const auto offset = [&](const RuntimeString* s) {
    return static_cast<std::size_t>(s->data - area.base);
  };
  const std::size_t new_end = offset(destination) + static_cast<std::size_t>(length);
  const int32_t index = destination->list_index;
  const bool source_is_temporary = source->temp_index != 0;
  auto copy_in_place = [&] {
    std::memmove(destination->data, source->data, static_cast<std::size_t>(length));
    destination->length = length;
  };

  if (index == area.count - 1 && new_end <= area.size) {
    copy_in_place();
    area.top = new_end;
    return;
  }
  RuntimeString* next_live = nullptr;
  for (int32_t i = index + 1; i < area.count && next_live == nullptr; ++i) {
    RuntimeString* s = area.slots[i];
    if (s != nullptr && !(s == source && source_is_temporary)) next_live = s;
  }
  if (next_live == nullptr) {
    // Only released slots (or the source) follow: the list ends at the destination. The cut is
    // made only when the bytes fit, so that a source still listed stays under compaction.
    if (new_end <= area.size) {
      area.count = index + 1;
      copy_in_place();
      area.top = new_end;
      return;
    }
  } else if (offset(next_live) >= new_end) {
    copy_in_place();
    return;
  }
  area.slots[index] = nullptr;
  if (area.top + static_cast<std::size_t>(length) > area.size)
    compact(area, static_cast<std::size_t>(length));
  const uint8_t* bytes = source->data;  // read after compaction, which may move it
  destination->data = area.base + area.top;
  std::memmove(destination->data, bytes, static_cast<std::size_t>(length));
  destination->length = length;
  area.top += static_cast<std::size_t>(length);
  register_in_area(area, destination);
}

void StringStorage::string_assign(RuntimeString* destination, RuntimeString* source) {
  if (destination == source) return;
  bool consumed = false;
  if (destination->fixed_length) {
    const int32_t n = std::min(source->length, destination->length);
    std::memmove(destination->data, source->data, static_cast<std::size_t>(n));
    std::memset(destination->data + n, ' ', static_cast<std::size_t>(destination->length - n));
  } else if (source->temporary && !source->fixed_length && !source->read_only &&
             source->in_low_area == destination->in_low_area) {
    steal_bytes(destination, source);
    consumed = true;
  } else if (source->length <= destination->length) {
    std::memmove(destination->data, source->data, static_cast<std::size_t>(source->length));
    destination->length = source->length;
  } else {
    grow_in_area(destination, source);
  }
  if (!consumed && source->temporary) string_free(source);
  update_low_entry(destination);
}

RuntimeString* StringStorage::string_concat(RuntimeString* left, RuntimeString* right) {
  if (right->length == 0) return left;
  if (left->length == 0) return right;
  const uint64_t total = static_cast<uint64_t>(left->length) + right->length;
  if (total > kMaxLength) errors_.raise_critical(kMainHeapFull);
  RuntimeString* joined = string_new(static_cast<uint32_t>(total), true);
  std::memcpy(joined->data, left->data, static_cast<std::size_t>(left->length));
  std::memcpy(joined->data + left->length, right->data, static_cast<std::size_t>(right->length));
  if (left->temporary) string_free(left);
  if (right->temporary && right != left) string_free(right);
  return joined;
}

int32_t StringStorage::string_equal(const RuntimeString* left, const RuntimeString* right) {
  return left->view() == right->view() ? -1 : 0;
}

int32_t StringStorage::string_not_equal(const RuntimeString* left, const RuntimeString* right) {
  return left->view() != right->view() ? -1 : 0;
}

void StringStorage::release_temporary_slot(RuntimeString* s) {
  temps_[s->temp_index] = nullptr;
  while (temp_count_ > 1 && temps_[temp_count_ - 1] == nullptr) --temp_count_;
}

void StringStorage::release_from_area(RuntimeString* s) {
  Area& area = area_of(s);
  area.slots[s->list_index] = nullptr;
  if (s->in_low_area) {
    if (s->list_index == area.count - 1) --area.count;
    if (s->low_area_entry != nullptr) std::memset(s->low_area_entry, 0, kLowEntrySize);
    return;
  }
  while (area.count > 0 && area.slots[area.count - 1] == nullptr) --area.count;
  if (area.count == 0) {
    area.top = 0;
    return;
  }
  const RuntimeString* last = area.slots[area.count - 1];
  const auto end = static_cast<std::size_t>(last->data + last->length - area.base);
  area.top = std::min(end + kSlack, area.size);
}

void StringStorage::string_free(RuntimeString* s) {
  if (s->temp_index != 0) release_temporary_slot(s);
  if (!s->fixed_length && !s->read_only) release_from_area(s);
  descriptor_give_back(s);
}

int32_t StringStorage::temporaries_release(int32_t mark, int32_t value) {
  while (temp_count_ > mark) {
    --temp_count_;
    if (RuntimeString* s = temps_[temp_count_]) string_free(s);
  }
  return value;
}

}  // namespace aqsol
