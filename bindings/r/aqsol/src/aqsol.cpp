// The R interface of aqsol, over its C library.
#include <Rcpp.h>
#include <aqsol/aqsol.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// States computed at a time: R's interrupts are looked for between slices.
constexpr std::size_t kSlice = 65'536;

// The first element (1-based, as R counts) that cannot be computed at all, and why, in the
// C library's words; empty when every element can.
std::string badElement(const aqsol_species* species, unsigned units,
                       const Rcpp::CharacterVector& solute, const Rcpp::NumericVector& T_C,
                       const Rcpp::NumericVector& P) {
  char why[AQSOL_MESSAGE_SIZE];
  for (R_xlen_t i = 0; i < T_C.size(); ++i) {
    const std::string name = Rcpp::as<std::string>(solute[i]);
    if (aqsol_check_request(species, units, name.c_str(), T_C[i], P[i], 0, why) != AQSOL_OK)
      return std::string(why) + " (element " + std::to_string(i + 1) + ")";
  }
  return {};
}

// Why a result of `n` states could never be held in this machine's memory (its columns take
// about `bytesPerState` a state), or empty.
std::string tooLarge(R_xlen_t n) {
  constexpr double bytesPerState = sizeof(aqsol_values) + 4 * sizeof(SEXP);
  const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
  const double memory = pages > 0 && size > 0 ? static_cast<double>(pages) * size : 0;
  const double needed = static_cast<double>(n) * bytesPerState;
  if (memory == 0 || needed <= memory) return {};
  char text[200];
  std::snprintf(text, sizeof text,
                "aqsol: the result of %.0f states would take about %.0f GB, more than this "
                "machine's %.0f GB of memory: ask for fewer states at a time",
                static_cast<double>(n), needed / 1e9, memory / 1e9);
  return text;
}

// The result's columns, filled state by state.
struct Columns {
  explicit Columns(R_xlen_t n) : names(n), phase(n), range(n), status(n) {
    for (auto& column : numbers) column = Rcpp::NumericVector(n);
  }
  static constexpr double aqsol_values::*kFields[] = {
      &aqsol_values::T_C,     &aqsol_values::P_bar,   &aqsol_values::rho,
      &aqsol_values::drho_dP, &aqsol_values::drho_dT, &aqsol_values::d2rho_dT2,
      &aqsol_values::V_H2O,   &aqsol_values::Cp_H2O,  &aqsol_values::lnf_H2O,
      &aqsol_values::lnkH,    &aqsol_values::V2,      &aqsol_values::Cp2,
      &aqsol_values::Gaq,     &aqsol_values::S2,      &aqsol_values::K_aq_gas};
  Rcpp::NumericVector numbers[std::size(kFields)];
  Rcpp::CharacterVector names, phase, range, status;

  // Row i: `solute` is the solute's name as its record writes it ("" for water alone).
  void set(R_xlen_t i, const std::string& solute, const aqsol_values& v, int code,
           const char* message) {
    for (std::size_t c = 0; c < std::size(kFields); ++c) {
      const double x = v.*kFields[c];
      numbers[c][i] = std::isnan(x) ? NA_REAL : x;
    }
    names[i] = solute;
    const char* phaseName = aqsol_phase_name(v.phase);
    phase[i] = phaseName != nullptr ? phaseName : "";
    std::string words;
    for (unsigned bit = 1; bit <= AQSOL_RANGE_UNREFERENCED; bit <<= 1)
      if (code == AQSOL_OK && (v.range & bit) != 0)
        words += (words.empty() ? "" : " ") + std::string(aqsol_range_flag_name(bit));
    range[i] = words;
    status[i] = message;
  }

  // The columns, named as aqsol-table names them in `units`.
  Rcpp::List frame(unsigned units) const {
    Rcpp::List out;
    out.push_back(names, "solute");
    for (std::size_t c = 0; c < std::size(kFields); ++c) {
      out.push_back(numbers[c], aqsol_field_name(static_cast<int>(c), units));
      if (c == 1) out.push_back(phase, "phase");  // after the pressure, as in aqsol-table
    }
    out.push_back(range, "range");
    out.push_back(status, "status");
    return out;
  }
};

}  // namespace

// The states, one solute name each ("" for water alone), computed one solute at a time in
// slices, R's interrupts looked for between them; a data frame's columns as a list, or the
// message of a bad argument as a character string.
// [[Rcpp::export]]
SEXP aqsol_compute(Rcpp::CharacterVector solute, Rcpp::NumericVector T_C, Rcpp::NumericVector P,
                   int threads, Rcpp::CharacterVector species, int units) {
  const R_xlen_t n = T_C.size();
  char refused[AQSOL_MESSAGE_SIZE];
  const std::unique_ptr<aqsol_species, void (*)(aqsol_species*)> set(
      species.size() > 0 ? aqsol_species_new() : nullptr, aqsol_species_free);
  for (R_xlen_t i = 0; i < species.size(); ++i)
    if (aqsol_species_read(set.get(), Rcpp::as<std::string>(species[i]).c_str(), refused) !=
        AQSOL_OK)
      return Rcpp::wrap("species: " + std::string(refused));
  const auto bits = static_cast<unsigned>(units);
  if (aqsol_check_request(set.get(), bits, nullptr, 25, 1, threads, refused) != AQSOL_OK)
    return Rcpp::wrap(std::string(refused));
  if (const std::string why = badElement(set.get(), bits, solute, T_C, P); !why.empty())
    return Rcpp::wrap(why);
  if (const std::string why = tooLarge(n); !why.empty()) return Rcpp::wrap(why);
  std::map<std::string, std::vector<R_xlen_t>> bySolute;
  for (R_xlen_t i = 0; i < n; ++i) bySolute[Rcpp::as<std::string>(solute[i])].push_back(i);
  Columns columns(n);
  std::vector<double> t, p;
  std::vector<aqsol_values> values;
  std::vector<int> codes;
  std::vector<char> texts;
  for (const auto& [name, indices] : bySolute) {
    const char* recorded = name.empty() ? "" : aqsol_species_solute_name(set.get(), name.c_str());
    for (std::size_t first = 0; first < indices.size(); first += kSlice) {
      Rcpp::checkUserInterrupt();
      const std::size_t count = std::min(kSlice, indices.size() - first);
      t.resize(count);
      p.resize(count);
      values.resize(count);
      codes.resize(count);
      texts.resize(count * AQSOL_MESSAGE_SIZE);
      for (std::size_t k = 0; k < count; ++k) {
        t[k] = T_C[indices[first + k]];
        p[k] = P[indices[first + k]];
      }
      const int call = aqsol_species_properties_in_units(
          set.get(), bits, name.c_str(), count, t.data(), p.data(), static_cast<unsigned>(threads),
          values.data(), codes.data(), texts.data());
      if (call != AQSOL_OK) return Rcpp::wrap("aqsol: " + std::string(texts.data()));
      for (std::size_t k = 0; k < count; ++k)
        columns.set(indices[first + k], recorded, values[k], codes[k],
                    &texts[k * AQSOL_MESSAGE_SIZE]);
    }
  }
  return columns.frame(bits);
}

// The units bits of unit words, or the message of bad ones.
// [[Rcpp::export]]
SEXP aqsol_unit_bits(std::string units, std::string pressure_unit) {
  unsigned bits = 0;
  char why[AQSOL_MESSAGE_SIZE];
  if (aqsol_units_of(units.c_str(), pressure_unit.c_str(), &bits, why) != AQSOL_OK)
    return Rcpp::wrap(std::string(why));
  return Rcpp::wrap(static_cast<int>(bits));
}

// Each number column's unit in `units`, named by its column.
// [[Rcpp::export]]
Rcpp::CharacterVector aqsol_field_units(int units) {
  Rcpp::CharacterVector unit;
  Rcpp::CharacterVector names;
  const auto bits = static_cast<unsigned>(units);
  for (int field = 0; aqsol_field_name(field, bits) != nullptr; ++field) {
    unit.push_back(aqsol_field_unit(field, bits));
    names.push_back(aqsol_field_name(field, bits));
  }
  unit.attr("names") = names;
  return unit;
}

// [[Rcpp::export]]
Rcpp::CharacterVector aqsol_solute_names() {
  Rcpp::CharacterVector names;
  for (int i = 0; i < aqsol_solute_count(); ++i) names.push_back(aqsol_solute_name(i));
  return names;
}

// [[Rcpp::export]]
std::string aqsol_library_version() {
  return aqsol_version();
}
