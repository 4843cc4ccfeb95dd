// numpy arrays for large results, in memory the kernel may back with huge pages.
#pragma once

#include <pybind11/numpy.h>

#include <cstddef>
#include <vector>

namespace aqsol::python {

// A huge page: the unit a large array's memory comes in.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// The size from which an array is large: half a huge page, so that at most half of its memory
// goes unused.
inline constexpr std::size_t kLargeArrayBytes = kHugePageBytes / 2;

// An uninitialised C-contiguous array of `dtype` and `shape`, to be written whole: it may hold
// an earlier array's values. When large, its memory is a mapping of its own, whole huge pages
// aligned to one and advised for huge pages, released when the last array viewing it goes (and
// kept, up to 32 MiB in all, for the next array of its size): numpy's own memory, reused from
// the C library's heap, took a page fault every 4 KB at the first write in every call (some
// microseconds each), and fresh memory is zeroed by the kernel first. Smaller arrays are
// numpy's. Raises MemoryError when the system has no memory to give.
pybind11::array largeArray(const pybind11::dtype& dtype,
                           const std::vector<pybind11::ssize_t>& shape);

}  // namespace aqsol::python
