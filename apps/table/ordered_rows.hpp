// Rows made on several threads and handed over one by one in their order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace aqsol::table {

// Makes rows 0..count-1 with `make` on `threads` threads and passes each to `take` on the
// calling thread, in order. Threads claim small chunks of rows as they become free, so uneven
// rows do not leave a thread idle, and at most a fixed window of rows waits to be taken, so
// memory stays bounded for any count. `make` must be safe to call from several threads at
// once. When `take` returns false, no further row is taken, the threads stop after their
// current row, and the function returns false; otherwise it returns true. The rows taken are
// the same for any thread count.
bool makeRowsInOrder(std::size_t count, unsigned threads,
                     const std::function<std::string(std::size_t)>& make,
                     const std::function<bool(const std::string&)>& take);

}  // namespace aqsol::table
