// The C interface of aqsol, on the rows every front end computes.
#include "aqsol/aqsol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "bindings/chunk_rows.hpp"
#include "bindings/columns.hpp"
#include "bindings/requests.hpp"
#include "calculator/solute_set.hpp"
#include "calculator/state_rows.hpp"
#include "calculator/validity.hpp"
#include "services/cpu_targets.hpp"
#include "services/parallel_chunks.hpp"
#include "services/version.hpp"

namespace aqsol {
namespace {

using table::ResolvedColumn;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The model's constants, built on first use (safely from any thread) and read-only afterwards.
const Constants* constants() {
  static const Constants k = [] {
    ErrorSlot errors;
    return setupConstants(errors);
  }();
  return &k;
}

void copyMessage(std::string_view text, char* message, std::size_t size) {
  if (message == nullptr || size == 0) return;
  const std::size_t length = std::min(text.size(), size - 1);
  std::memcpy(message, text.data(), length);
  message[length] = '\0';
}

// Why a state cannot be asked for, or empty: the pressure in the pressure unit of `units`, 0 for
// the saturation pressure.
std::string badState(double temperatureC, double pressure, const table::Units& units = {}) {
  if (std::string why = requests::temperatureProblem(temperatureC); !why.empty())
    return "T_C: " + why;
  if (std::string why = requests::pressureProblem(pressure, units); !why.empty())
    return std::string(table::columnName(table::kPressureColumn, units)) + ": " + why;
  return {};
}

// Whether badState would be empty: checked cheaply for every state of a call.
bool stateAllowed(double temperatureC, double pressure) {
  return requests::temperatureAllowed(temperatureC) && requests::pressureAllowed(pressure);
}

table::Units unitsOf(unsigned bits);

// The columns of aqsol_values' number fields in `bits`' units.
std::vector<ResolvedColumn> numberFields(unsigned bits) {
  std::vector<ResolvedColumn> fields;
  for (const ResolvedColumn& column :
       table::ColumnSet(unitsOf(bits)).between(table::kTemperatureColumn, table::kLastValueColumn))
    if (column.index != table::kPhaseColumn) fields.push_back(column);
  return fields;
}

// The units a call's bits name (AQSOL_UNITS_SI, AQSOL_PRESSURE_MPA).
table::Units unitsOf(unsigned bits) {
  return {(bits & AQSOL_UNITS_SI) != 0, (bits & AQSOL_PRESSURE_MPA) != 0};
}

// The column of field `field` of aqsol_values in `bits`' units (T_C to K_aq_gas, the phase
// skipped), resolved once for each of the four units; null for any other field.
const ResolvedColumn* fieldColumn(int field, unsigned bits) {
  static const std::vector<ResolvedColumn> fields[4] = {numberFields(0), numberFields(1),
                                                        numberFields(2), numberFields(3)};
  if (field < 0 || static_cast<std::size_t>(field) >= table::kRowNumberCount) return nullptr;
  return &fields[bits & 3][static_cast<std::size_t>(field)];
}

// The solute a text names, nullptr for the water alone (no text, or an empty one); false with
// `error` set when it names none.
bool soluteOf(const SoluteSet& set, const char* text, const SoluteParams*& solute,
              std::string& error) {
  solute = nullptr;
  if (text == nullptr || *text == '\0') return true;
  solute = requests::readOneSolute(text, set, error);
  return solute != nullptr;
}

aqsol_values valuesOf(const Row& row, const table::Units& units) {
  std::array<double, table::kRowNumberCount> numbers;
  table::rowNumbers(row, units, numbers);
  aqsol_values v;
  double* out[] = {&v.T_C,       &v.P_bar, &v.rho,    &v.drho_dP, &v.drho_dT,
                   &v.d2rho_dT2, &v.V_H2O, &v.Cp_H2O, &v.lnf_H2O, &v.lnkH,
                   &v.V2,        &v.Cp2,   &v.Gaq,    &v.S2,      &v.K_aq_gas};
  static_assert(std::size(out) == table::kRowNumberCount, "a column without its field");
  for (std::size_t n = 0; n < numbers.size(); ++n) *out[n] = numbers[n];
  const bool ok = row.status.empty();
  if (row.soluteName.empty()) v.lnkH = v.V2 = v.Cp2 = v.Gaq = v.S2 = v.K_aq_gas = kNaN;
  v.phase = ok ? static_cast<int>(row.phase) : AQSOL_PHASE_NONE;
  v.range = ok ? row.range : 0;
  return v;
}

int statusOf(const Row& row) {
  return row.status.empty() ? AQSOL_OK : AQSOL_NOT_COMPUTED;
}

std::string_view messageOf(const Row& row) {
  return row.status.empty() ? std::string_view("ok") : std::string_view(row.status);
}

// A caller's array: where it starts, how many bytes it spans, and its name in messages.
struct Span {
  const void* start;
  std::size_t bytes;
  const char* name;
  bool overlaps(const Span& other) const {
    if (start == nullptr || other.start == nullptr || bytes == 0 || other.bytes == 0) return false;
    const auto a = reinterpret_cast<std::uintptr_t>(start);
    const auto b = reinterpret_cast<std::uintptr_t>(other.start);
    return a < b + other.bytes && b < a + bytes;
  }
};

// The first pair of arrays that share memory where one of them is written ("values and T_C"),
// or empty: results written over the states still being read, or over each other, would be
// corrupted silently.
std::string overlappingArrays(std::span<const Span> inputs, std::span<const Span> outputs) {
  for (std::size_t o = 0; o < outputs.size(); ++o) {
    for (const Span& input : inputs)
      if (outputs[o].overlaps(input)) return std::string(outputs[o].name) + " and " + input.name;
    for (std::size_t p = o + 1; p < outputs.size(); ++p)
      if (outputs[o].overlaps(outputs[p]))
        return std::string(outputs[o].name) + " and " + outputs[p].name;
  }
  return {};
}

// The states of aqsol_properties_many; each message takes `messageSize` bytes.
int computeStates(const SoluteSet& set, const table::Units& units, const char* soluteText,
                  std::size_t count, const double* temperatures, const double* pressures,
                  unsigned threads, aqsol_values* values, int* statuses, char* messages,
                  std::size_t messageSize) try {
  const auto refuse = [&](const std::string& why) {
    copyMessage(why, messages, messageSize);
    return AQSOL_BAD_ARGUMENT;
  };
  const SoluteParams* solute = nullptr;
  std::string why;
  if (!soluteOf(set, soluteText, solute, why)) return refuse("solute: " + why);
  unsigned workers = 0;
  if (!requests::readThreads(static_cast<long long>(threads), workers, why))
    return refuse("threads: " + why);
  if (count > 0 && (temperatures == nullptr || pressures == nullptr || values == nullptr))
    return refuse("T_C, P_bar and values must not be null");
  // Sizes in bytes cannot overflow where the caller's arrays exist; a count that would is refused.
  if (count > SIZE_MAX / std::max(sizeof(aqsol_values), messageSize))
    return refuse("count: too many states for the address space");
  const Span inputs[] = {{temperatures, count * sizeof(double), "T_C"},
                         {pressures, count * sizeof(double), "P_bar"}};
  const Span outputs[] = {{values, count * sizeof(aqsol_values), "values"},
                          {statuses, count * sizeof(int), "statuses"},
                          {messages, count * messageSize, "messages"}};
  if (const std::string pair = overlappingArrays(inputs, outputs); !pair.empty())
    return refuse("arrays overlap: " + pair +
                  " share memory (no array written may overlap another)");
  for (std::size_t i = 0; i < count; ++i)
    if (!stateAllowed(temperatures[i], pressures[i]))
      return refuse(badState(temperatures[i], pressures[i], units) + " (state " +
                    std::to_string(i) + ")");
  const Constants& k = *constants();
  const auto requestOf = [&](std::size_t i) {
    return RowRequest{
        solute, temperatures[i], {pressures[i] == 0, table::pressureInBar(pressures[i], units)}};
  };
  const auto take = [&](std::size_t i, const Row& row) {
    values[i] = valuesOf(row, units);
    if (statuses != nullptr) statuses[i] = statusOf(row);
    if (messages != nullptr) copyMessage(messageOf(row), messages + i * messageSize, messageSize);
  };
  forEachChunk(count, workers, [&](std::size_t first, std::size_t end) {
    computeChunkRows(k, first, end, requestOf, take);
  });
  return AQSOL_OK;
} catch (const std::bad_alloc&) {
  copyMessage("out of memory", messages, messageSize);
  return AQSOL_OUT_OF_MEMORY;
} catch (const CriticalError&) {
  copyMessage("out of memory", messages, messageSize);
  return AQSOL_OUT_OF_MEMORY;
}

}  // namespace
}  // namespace aqsol

extern "C" {

const char* aqsol_version(void) {
  return aqsol::version().data();
}

const char* aqsol_cpu_target(void) {
  return aqsol::targetName(aqsol::cpuTargets().active).data();
}

int aqsol_solute_count(void) {
  return static_cast<int>(aqsol::soluteTable().size());
}

const char* aqsol_solute_name(int index) {
  if (index < 0 || index >= aqsol_solute_count()) return nullptr;
  return aqsol::soluteTable()[static_cast<std::size_t>(index)].name.data();
}

int aqsol_solute_index(const char* solute) {
  const aqsol::SoluteParams* found = solute == nullptr ? nullptr : aqsol::findSolute(solute);
  return found == nullptr ? -1 : static_cast<int>(found - aqsol::soluteTable().data());
}

const char* aqsol_range_flag_name(unsigned flag) {
  // The words are those of the range column, each a literal with its terminator.
  for (int bit = 0; bit < aqsol::kRangeFlagCount; ++bit)
    if (flag == 1u << bit) return aqsol::kRangeFlagWords[bit].data();
  return nullptr;
}

const char* aqsol_phase_name(int phase) {
  switch (phase) {
    case AQSOL_PHASE_LIQUID:
      return "liquid";
    case AQSOL_PHASE_VAPOUR:
      return "vapour";
    case AQSOL_PHASE_SUPERCRITICAL:
      return "supercritical";
    default:
      return nullptr;
  }
}

int aqsol_properties(const char* solute, double T_C, double P_bar, aqsol_values* values,
                     char* message, size_t message_size) {
  int status = AQSOL_OK;
  const int call = aqsol::computeStates(aqsol::builtInSolutes(), {}, solute, 1, &T_C, &P_bar, 1,
                                        values, &status, message, message_size);
  return call == AQSOL_OK ? status : call;
}

int aqsol_properties_many(const char* solute, size_t count, const double* T_C, const double* P_bar,
                          unsigned threads, aqsol_values* values, int* statuses, char* messages) {
  return aqsol::computeStates(aqsol::builtInSolutes(), {}, solute, count, T_C, P_bar, threads,
                              values, statuses, messages, AQSOL_MESSAGE_SIZE);
}

int aqsol_units_of(const char* units, const char* pressure_unit, unsigned* bits, char* message) {
  aqsol::table::Units chosen;
  std::string why;
  if (units != nullptr && !aqsol::requests::readUnits(units, chosen, why)) {
    why = "units: " + why;
  } else if (pressure_unit != nullptr &&
             !aqsol::requests::readPressureUnit(pressure_unit, chosen, why)) {
    why = "pressure_unit: " + why;
  } else if (bits == nullptr) {
    why = "bits must not be null";
  } else {
    *bits = (chosen.si ? unsigned{AQSOL_UNITS_SI} : 0u) |
            (chosen.megapascal ? unsigned{AQSOL_PRESSURE_MPA} : 0u);
    aqsol::copyMessage("ok", message, AQSOL_MESSAGE_SIZE);
    return AQSOL_OK;
  }
  aqsol::copyMessage(why, message, AQSOL_MESSAGE_SIZE);
  return AQSOL_BAD_ARGUMENT;
}

const char* aqsol_field_name(int field, unsigned units) {
  const aqsol::ResolvedColumn* column = aqsol::fieldColumn(field, units);
  return column == nullptr ? nullptr : column->name.c_str();
}

const char* aqsol_field_unit(int field, unsigned units) {
  const aqsol::ResolvedColumn* column = aqsol::fieldColumn(field, units);
  return column == nullptr ? nullptr : column->unit.c_str();
}

// A set of solutes with species files: the built-in ones, and those the files add or replace.
struct aqsol_species {
  aqsol::SoluteSet set;
};

aqsol_species* aqsol_species_new(void) {
  return new (std::nothrow) aqsol_species;
}

int aqsol_species_read(aqsol_species* species, const char* file, char* message) try {
  std::string why;
  if (species == nullptr || file == nullptr) {
    why = "species and file must not be null";
  } else if (species->set.addSpeciesFile(file, why)) {
    aqsol::copyMessage("ok", message, AQSOL_MESSAGE_SIZE);
    return AQSOL_OK;
  }
  aqsol::copyMessage(why, message, AQSOL_MESSAGE_SIZE);
  return AQSOL_BAD_ARGUMENT;
} catch (const std::bad_alloc&) {
  aqsol::copyMessage("out of memory", message, AQSOL_MESSAGE_SIZE);
  return AQSOL_OUT_OF_MEMORY;
}

void aqsol_species_free(aqsol_species* species) {
  delete species;
}

const char* aqsol_species_solute_name(const aqsol_species* species, const char* solute) {
  const aqsol::SoluteSet& set = species != nullptr ? species->set : aqsol::builtInSolutes();
  const aqsol::SoluteParams* found = solute == nullptr ? nullptr : set.find(solute);
  return found == nullptr ? nullptr : found->name.data();
}

int aqsol_check_request(const aqsol_species* species, unsigned units, const char* solute,
                        double T_C, double P, long long threads, char* message) {
  const aqsol::SoluteParams* found = nullptr;
  std::string why;
  unsigned workers = 0;
  if (!aqsol::soluteOf(species != nullptr ? species->set : aqsol::builtInSolutes(), solute, found,
                       why)) {
    why = "solute: " + why;
  } else if (!aqsol::requests::readThreads(threads, workers, why)) {
    why = "threads: " + why;
  } else {
    why = aqsol::badState(T_C, P, aqsol::unitsOf(units));
  }
  aqsol::copyMessage(why.empty() ? "ok" : why, message, AQSOL_MESSAGE_SIZE);
  return why.empty() ? AQSOL_OK : AQSOL_BAD_ARGUMENT;
}

int aqsol_species_properties_many(const aqsol_species* species, const char* solute, size_t count,
                                  const double* T_C, const double* P_bar, unsigned threads,
                                  aqsol_values* values, int* statuses, char* messages) {
  return aqsol_species_properties_in_units(species, 0, solute, count, T_C, P_bar, threads, values,
                                           statuses, messages);
}

int aqsol_species_properties_in_units(const aqsol_species* species, unsigned units,
                                      const char* solute, size_t count, const double* T_C,
                                      const double* P, unsigned threads, aqsol_values* values,
                                      int* statuses, char* messages) {
  return aqsol::computeStates(species != nullptr ? species->set : aqsol::builtInSolutes(),
                              aqsol::unitsOf(units), solute, count, T_C, P, threads, values,
                              statuses, messages, AQSOL_MESSAGE_SIZE);
}

}  // extern "C"
