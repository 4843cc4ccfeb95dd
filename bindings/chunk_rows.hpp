// The rows of a chunk of states, as the interfaces for other languages compute them.
#pragma once

#include <cstddef>
#include <vector>

#include "calculator/state_rows.hpp"

namespace aqsol {

// Computes the rows of states first..end-1, requestOf(i) giving state i, and hands each to
// take(i, row) in order (the row may be moved from).
template <class RequestOf, class Take>
void computeChunkRows(const Constants& k, std::size_t first, std::size_t end,
                      const RequestOf& requestOf, const Take& take) {
  std::vector<RowRequest> requests;
  requests.reserve(end - first);
  for (std::size_t i = first; i < end; ++i) requests.push_back(requestOf(i));
  std::vector<Row> rows(end - first);
  computeRows(k, requests, rows);
  for (std::size_t i = first; i < end; ++i) take(i, rows[i - first]);
}

}  // namespace aqsol
