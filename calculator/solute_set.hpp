// Solutes beyond the built-in twenty: species files, and the set of solutes a caller computes
// with (the built-in ones, some perhaps replaced, and those its files add).
//
// A species file is CSV: lines starting with # and blank lines skipped; a header naming the
// columns, then one solute a line. Required columns: name, xi, a, b, gf298, s298, cpA, cpB, cpC
// (the built-in records' parameters, in their units: cm3/g for a and b, cal/mol for gf298,
// cal/(mol K) for s298 and Cp = cpA + cpB 1e-3 T - cpC 1e5 / T^2). Optional: source (free
// text, no commas), T_min_C and T_max_C (the temperatures its ln kH was compared or fitted
// over: outside them its rows are flagged solute-extrapolated; without them, unreferenced),
// worst_residual (its largest |residual| in ln kH there: over 0.1 flags reference-deviates),
// rms_residual, se_xi, se_a, se_b (kept with the record), and replaces (yes: the row replaces
// the built-in solute of its name; otherwise a built-in name is refused).
#pragma once

#include <cstddef>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calculator/solutes.hpp"

namespace aqsol {

// The largest species file read, and the most solutes a set holds beyond the built-in ones.
inline constexpr std::size_t kMostSpeciesFileBytes = 1 << 20;
inline constexpr std::size_t kMostAddedSpecies = 1000;

// The solutes a caller computes with. Built-in ones first, in menu order (a replaced one in its
// place), then those species files add, in the order read. Not copyable: the solutes' names
// live here, and the rows computed with them point to those names.
class SoluteSet {
 public:
  SoluteSet();
  SoluteSet(const SoluteSet&) = delete;
  SoluteSet& operator=(const SoluteSet&) = delete;

  // Adds the solutes of a species file's text; `file` names it in messages. False with `error`
  // as "FILE:LINE: why" for the first bad line, and nothing added.
  bool addSpecies(std::string_view file, std::string_view text, std::string& error);

  // Reads the species file at `path` (at most kMostSpeciesFileBytes) and adds its solutes. A
  // short name without "/" or "." that names no file here is a set shipped with aqsol
  // (share/aqsol/species/NAME.csv): "g704".
  bool addSpeciesFile(const std::string& path, std::string& error);

  std::span<const SoluteParams> all() const { return solutes_; }

  // The solute a text names: a name in any case, or a built-in menu number in plain digits.
  const SoluteParams* find(std::string_view text) const;

 private:
  struct Pending;
  bool pend(std::string_view line, const int* column, std::size_t columns, Pending& pending,
            std::string& why) const;
  void commit(Pending& pending);

  std::deque<std::string> names_;
  std::deque<SoluteProvenance> provenances_;
  std::vector<SoluteParams> solutes_;
};

// The built-in twenty alone, made once; safe from any thread.
const SoluteSet& builtInSolutes();

}  // namespace aqsol
