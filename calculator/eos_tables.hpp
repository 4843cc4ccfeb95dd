// The coefficient tables of water's Helmholtz function, as data the compiler sees.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

#include "calculator/constants.hpp"

namespace aqsol {

// Coefficients of the dimensionless Helmholtz function of water, as assigned (i, j, value).
inline constexpr TableEntry kTableA[] = {
    {4, 1, 0.3384249125},    {5, 1, -0.07153393406}, {7, 1, 0.0005493680814},
    {3, 2, 0.04933218501},   {6, 2, -0.02328491212}, {7, 2, 0.00240209518},
    {1, 3, 0.7529422956},    {3, 3, -2.28026007},    {2, 4, 1.142004144},
    {3, 4, -2.619059624},    {5, 4, 0.4395237702},   {6, 4, -0.03161046646},
    {7, 4, 0.0006814467692}, {1, 5, -0.3924227294},  {3, 5, -0.2738770648},
    {4, 6, -0.01943443857},  {5, 6, 0.003048860434}, {3, 7, 0.003946510403},
};

inline constexpr TableEntry kTableB[] = {
    {1, 1, 0.2243610314},     {2, 1, 0.1193250201},  {5, 1, 0.06582959348}, {5, 2, 0.1651430628},
    {1, 3, -2.178969357},     {2, 3, 0.2674090542},  {3, 3, 0.8647490995},  {1, 4, -0.1530432257},
    {3, 4, 2.059881454},      {6, 4, -0.4888628703}, {7, 4, 0.1375328753},  {5, 5, -0.9015180666},
    {6, 5, -0.1444258609},    {7, 5, 0.1558046279},  {4, 6, -2.740652563},  {6, 6, 0.4983771706},
    {4, 7, -3.261978564},     {5, 7, 1.609338784},   {1, 8, 0.03484674963}, {2, 8, -1.537646434},
    {5, 8, 0.2316225257},     {2, 9, -1.419249232},  {3, 9, 0.7969984635},  {5, 10, 0.007510544627},
    {1, 12, 0.0005364384732},
};

inline constexpr TableEntry kTableC[] = {
    {1, 1, 0.610938129},  {3, 1, -0.01906644459}, {5, 1, 0.007976092188}, {1, 2, 1.934466766},
    {1, 3, 1.921820547},  {3, 3, -0.0441010591},  {1, 4, 0.6130354419},   {2, 4, -0.2855258689},
    {5, 4, 0.0252613708}, {2, 5, -0.2374074642},  {4, 5, 0.03855866402},  {5, 5, 0.00804167215},
};

inline constexpr TableEntry kTableD[] = {
    {3, 1, -16.35439033},    {1, 2, -50.25818675},      {2, 4, 0.164900304},
    {1, 5, -0.8499893502},   {1, 9, 0.008314382544},    {2, 9, 0.0008781327858},
    {2, 10, 0.001537391213}, {3, 10, -0.0009016873786}, {5, 10, 0.0003326628664},
};

// Whether every entry lies within the table's extents (rows x columns, counted from 1), holds a
// value other than zero, and has a place of its own.
template <std::size_t N>
constexpr bool wellFormed(const TableEntry (&entries)[N], int rows, int columns) {
  for (std::size_t n = 0; n < N; ++n) {
    const TableEntry& e = entries[n];
    if (e.i < 1 || e.i > rows || e.j < 1 || e.j > columns || e.value == 0) return false;
    for (std::size_t m = 0; m < n; ++m)
      if (entries[m].i == e.i && entries[m].j == e.j) return false;
  }
  return true;
}

static_assert(wellFormed(kTableA, 7, 7) && wellFormed(kTableB, 7, 12) &&
              wellFormed(kTableC, 5, 5) && wellFormed(kTableD, 5, 10));

// A table's entries in row-major order (i, then j), the order in which its sums are accumulated
// (table_sums.hpp), by the one-state evaluation and the lanes alike.
template <std::size_t N>
constexpr std::array<TableEntry, N> rowMajor(const TableEntry (&assigned)[N]) {
  std::array<TableEntry, N> sorted{};
  std::copy(assigned, assigned + N, sorted.begin());
  std::sort(sorted.begin(), sorted.end(), [](const TableEntry& a, const TableEntry& b) {
    return a.i != b.i ? a.i < b.i : a.j < b.j;
  });
  return sorted;
}

inline constexpr auto kRowMajorA = rowMajor(kTableA);
inline constexpr auto kRowMajorB = rowMajor(kTableB);
inline constexpr auto kRowMajorC = rowMajor(kTableC);
inline constexpr auto kRowMajorD = rowMajor(kTableD);

}  // namespace aqsol
