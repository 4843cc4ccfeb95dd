// The sums over the coefficient tables of water's Helmholtz function, written once for one state
// (Number = double) and for several states in vector lanes (Number a vector of doubles), over
// the tables as compile-time data: entry by entry in row-major order, each of the six sums in
// that order, so that every lane takes exactly the operations of the one-state evaluation.
//
// The sums of a table: S (Phi's part), S_d and S_dd (its delta-derivatives), and S_t, S_tt and
// S_dt (the theta-derivatives), the first three needed at every Newton step, the others once at
// the solution. `Sums` has the six as members; `theta(k)` gives theta^k; `dp(n)` gives delta^n;
// `f.g[i]`, `f.g_d[i]`, `f.g_dd[i]` are the density functions and their delta-derivatives.
//
// Included, like helmholtz_terms.hpp, by each source that instantiates it after its processor
// target is set.
#pragma once

#include <cstddef>
#include <utility>

#include "calculator/constants.hpp"
#include "calculator/eos_tables.hpp"

namespace aqsol::terms {

// Calls add(entry) for each entry of `table`, in order, unrolled.
template <const auto& table, class Add>
[[gnu::always_inline]] inline void forEachEntry(const Add& add) {
  [&]<std::size_t... n>(std::index_sequence<n...>) __attribute__((always_inline)) {
    (add(table[n]), ...);
  }
  (std::make_index_sequence<table.size()>{});
}

// Tables A and D: sum of T[i][j] g_i theta^(j-1) and its delta-derivatives.
template <const auto& table, class Functions, class Theta, class Sums>
[[gnu::always_inline]] inline void sumDensityFunctions(const Functions& f, const Theta& theta,
                                                       Sums& s) {
  forEachEntry<table>([&](const TableEntry& e) __attribute__((always_inline)) {
    s.S += e.value * f.g[e.i] * theta(e.j - 1);
    s.S_d += e.value * f.g_d[e.i] * theta(e.j - 1);
    s.S_dd += e.value * f.g_dd[e.i] * theta(e.j - 1);
  });
}

// The theta-derivatives of the same sum.
template <const auto& table, class Functions, class Theta, class Sums>
[[gnu::always_inline]] inline void sumDensityFunctions_theta(const Functions& f, const Theta& theta,
                                                             Sums& s) {
  forEachEntry<table>([&](const TableEntry& e) __attribute__((always_inline)) {
    const double j1 = e.j - 1, j2 = e.j - 2;
    s.S_t += e.value * f.g[e.i] * j1 * theta(e.j - 2);
    s.S_tt += e.value * f.g[e.i] * j1 * j2 * theta(e.j - 3);
    s.S_dt += e.value * f.g_d[e.i] * j1 * theta(e.j - 2);
  });
}

// Table B: sum of B[i][j] delta^i theta^(j-1) and its delta-derivatives.
template <class Powers, class Theta, class Sums>
[[gnu::always_inline]] inline void sumB(const Powers& dp, const Theta& theta, Sums& s) {
  forEachEntry<kRowMajorB>([&](const TableEntry& e) __attribute__((always_inline)) {
    const double i = e.i;
    s.S += e.value * dp(e.i) * theta(e.j - 1);
    s.S_d += e.value * i * dp(e.i - 1) * theta(e.j - 1);
    s.S_dd += e.value * i * (i - 1) * dp(e.i - 2) * theta(e.j - 1);
  });
}

template <class Powers, class Theta, class Sums>
[[gnu::always_inline]] inline void sumB_theta(const Powers& dp, const Theta& theta, Sums& s) {
  forEachEntry<kRowMajorB>([&](const TableEntry& e) __attribute__((always_inline)) {
    const double i = e.i, j1 = e.j - 1, j2 = e.j - 2;
    s.S_t += e.value * dp(e.i) * j1 * theta(e.j - 2);
    s.S_tt += e.value * dp(e.i) * j1 * j2 * theta(e.j - 3);
    s.S_dt += e.value * i * dp(e.i - 1) * j1 * theta(e.j - 2);
  });
}

// Table C: sum of C[i][j] delta^(i+1) theta^(j+1) and its delta-derivatives.
template <class Powers, class Theta, class Sums>
[[gnu::always_inline]] inline void sumC(const Powers& dp, const Theta& theta, Sums& s) {
  forEachEntry<kRowMajorC>([&](const TableEntry& e) __attribute__((always_inline)) {
    const double i1 = e.i + 1, i = e.i;
    s.S += e.value * dp(e.i + 1) * theta(e.j + 1);
    s.S_d += e.value * i1 * dp(e.i) * theta(e.j + 1);
    s.S_dd += e.value * i1 * i * dp(e.i - 1) * theta(e.j + 1);
  });
}

template <class Powers, class Theta, class Sums>
[[gnu::always_inline]] inline void sumC_theta(const Powers& dp, const Theta& theta, Sums& s) {
  forEachEntry<kRowMajorC>([&](const TableEntry& e) __attribute__((always_inline)) {
    const double i1 = e.i + 1, j1 = e.j + 1, j = e.j;
    s.S_t += e.value * dp(e.i + 1) * j1 * theta(e.j);
    s.S_tt += e.value * dp(e.i + 1) * j1 * j * theta(e.j - 1);
    s.S_dt += e.value * i1 * dp(e.i) * j1 * theta(e.j);
  });
}

// The delta-derivative sums of all four tables (for a Newton step).
template <class Functions, class Powers, class Theta, class Sums>
[[gnu::always_inline]] inline void sumTables(const Functions& f, const Powers& dp,
                                             const Theta& theta, Sums& A, Sums& B, Sums& C,
                                             Sums& D) {
  sumDensityFunctions<kRowMajorA>(f, theta, A);
  sumB(dp, theta, B);
  sumC(dp, theta, C);
  sumDensityFunctions<kRowMajorD>(f, theta, D);
}

// The theta-derivative sums of all four tables (once, at the solution).
template <class Functions, class Powers, class Theta, class Sums>
[[gnu::always_inline]] inline void sumTables_theta(const Functions& f, const Powers& dp,
                                                   const Theta& theta, Sums& A, Sums& B, Sums& C,
                                                   Sums& D) {
  sumDensityFunctions_theta<kRowMajorA>(f, theta, A);
  sumB_theta(dp, theta, B);
  sumC_theta(dp, theta, C);
  sumDensityFunctions_theta<kRowMajorD>(f, theta, D);
}

}  // namespace aqsol::terms
