// The aqsol Python module: water and solute properties over numpy arrays of states.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bindings/chunk_rows.hpp"
#include "bindings/columns.hpp"
#include "bindings/python/large_arrays.hpp"
#include "bindings/requests.hpp"
#include "calculator/solute_fit.hpp"
#include "calculator/solute_set.hpp"
#include "calculator/state_rows.hpp"
#include "calculator/validity.hpp"
#include "services/ascii_text.hpp"
#include "services/cpu_targets.hpp"
#include "services/memory_source.hpp"
#include "services/parallel_chunks.hpp"
#include "services/version.hpp"

namespace py = pybind11;

namespace aqsol::python {
namespace {

using table::kColumns;
using table::kLastWaterColumn;

// The model's constants, built on first use and read-only afterwards.
const Constants& constants() {
  static const Constants k = [] {
    ErrorSlot errors;
    Constants built = setupConstants(errors);
    if (errors.has_error()) throw std::runtime_error("aqsol: the constants could not be set up");
    return built;
  }();
  return k;
}

// The states asked for: solutes, and temperatures and pressures broadcast to one shape.
struct States {
  std::shared_ptr<const SoluteSet> set;  // the solutes' names live here
  std::vector<SoluteParams> solutes;
  bool soluteAxis = false;  // a list of solutes adds a leading axis to the results
  py::array_t<double> temperaturesC, pressuresBar;  // C-contiguous, the broadcast shape
  std::vector<py::ssize_t> shape;                   // of the results

  std::size_t stateCount() const { return static_cast<std::size_t>(temperaturesC.size()); }
};

[[noreturn]] void badArgument(const std::string& message) {
  throw py::value_error(message);
}

// Names (any case), menu numbers or "all", comma-separated as aqsol-table takes them; every
// solute named, in the order named (one entry per solute asked for).
void addSolutes(const std::string& list, const SoluteSet& set, std::vector<SoluteParams>& solutes) {
  std::string why;
  if (!requests::readSolutes(list, set, solutes, why)) badArgument("solute: " + why);
}

// The solutes with the species files named (a path, or a list of paths), or the built-in ones.
std::shared_ptr<const SoluteSet> readSpecies(py::handle species) {
  if (species.is_none()) return {&builtInSolutes(), [](const SoluteSet*) {}};
  std::vector<std::string> files;
  if (py::isinstance<py::str>(species) ||
      py::isinstance(species, py::module_::import("os").attr("PathLike"))) {
    files.push_back(py::str(py::module_::import("os").attr("fspath")(species)));
  } else if (py::isinstance<py::sequence>(species)) {
    for (py::handle file : species)
      files.push_back(py::str(py::module_::import("os").attr("fspath")(file)));
  } else {
    badArgument("species: expected a species file's path or a list of them");
  }
  auto set = std::make_shared<SoluteSet>();
  for (const std::string& file : files) {
    std::string why;
    if (!set->addSpeciesFile(file, why)) badArgument("species: " + why);
  }
  return set;
}

bool isMenuNumber(py::handle item) {
  return PyIndex_Check(item.ptr()) && !PyBool_Check(item.ptr());
}

// A name, a menu number or "all" (an integer of any size: one past the menu is refused by the
// solute reader like any other).
void addSolute(py::handle item, const SoluteSet& set, std::vector<SoluteParams>& solutes) {
  if (py::isinstance<py::str>(item)) {
    addSolutes(item.cast<std::string>(), set, solutes);
  } else if (isMenuNumber(item)) {
    addSolutes(py::str(py::int_(py::reinterpret_borrow<py::object>(item))), set, solutes);
  } else {
    badArgument("solute: expected a name, a menu number 1-20, or a list of them");
  }
}

// A name, a menu number, "all", or a flat list of them (a list of lists is refused, so that no
// nesting, however deep or self-referring, is followed).
void readSolutes(py::handle solute, States& states) {
  const bool one = py::isinstance<py::str>(solute) || isMenuNumber(solute);
  if (one) {
    addSolute(solute, *states.set, states.solutes);
    states.soluteAxis = states.solutes.size() > 1;
  } else if (py::isinstance<py::sequence>(solute) || py::isinstance<py::array>(solute)) {
    for (py::handle item : solute) {
      if (!py::isinstance<py::str>(item) && !isMenuNumber(item))
        badArgument("solute: a list of solutes holds names or menu numbers, not " +
                    std::string(py::str(item.get_type().attr("__name__"))) + "s");
      addSolute(item, *states.set, states.solutes);
    }
    states.soluteAxis = true;
  } else {
    badArgument("solute: expected a name, a menu number 1-20, or a list of them");
  }
  if (states.solutes.empty()) badArgument("solute: no solute given");
}

py::array_t<double> asDoubles(py::handle value, const char* name) {
  auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
  if (!array) badArgument(std::string(name) + ": expected a number or an array of numbers");
  return array;
}

// The temperatures, in the temperature unit of `units`, in degrees Celsius.
py::array_t<double> readTemperatures(py::handle T, const table::Units& units) {
  const std::string name(table::columnName(table::kTemperatureColumn, units));
  py::array_t<double> t = asDoubles(T, name.c_str());
  const double* v = t.data();
  for (py::ssize_t n = 0; n < t.size(); ++n)
    if (!requests::temperatureAllowed(v[n], units))
      badArgument(name + ": " + requests::temperatureProblem(v[n], units));
  if (!units.kelvin) return t;
  py::array_t<double> celsius(std::vector<py::ssize_t>(t.shape(), t.shape() + t.ndim()));
  double* c = celsius.mutable_data();
  for (py::ssize_t n = 0; n < t.size(); ++n) c[n] = table::temperatureInCelsius(v[n], units);
  return celsius;
}

// The temperature argument: T_C in degrees Celsius or T_K in kelvin (which `units` then
// records), one of them.
py::handle temperatureArgument(py::handle T_C, py::handle T_K, table::Units& units) {
  if (T_C.is_none() == T_K.is_none())
    badArgument(T_C.is_none() ? "T_C: no temperature given (T_C in degrees Celsius, or T_K)"
                              : "T_C and T_K: give one of them");
  units.kelvin = !T_K.is_none();
  return units.kelvin ? T_K : T_C;
}

// The pressure argument: `P` in the pressure unit of `units`, or `P_bar` in bar, never both;
// "sat" (any case) and 0 stand for the saturation pressure. In bar.
py::array_t<double> readPressures(py::handle P, py::handle P_bar, const table::Units& units) {
  if (P.is_none() == P_bar.is_none())
    badArgument(P.is_none() ? "P: no pressure given (P, or P_bar in bar)"
                            : "P and P_bar: give the pressures once");
  const bool inBar = P.is_none();
  const table::Units unitsOfArgument = inBar ? table::Units{units.si, false} : units;
  const py::handle given = inBar ? P_bar : P;
  const std::string name = inBar ? "P_bar" : "P";
  if (py::isinstance<py::str>(given)) {
    if (!equalsIgnoringCase(given.cast<std::string>(), "sat"))
      badArgument(name + ": expected pressures in " +
                  table::unitText(table::Dimension::kPressure, unitsOfArgument) + ", 0 or \"sat\"");
    return asDoubles(py::float_(0.0), name.c_str());
  }
  py::array_t<double> p = asDoubles(given, name.c_str());
  double* v = p.mutable_data();
  for (py::ssize_t n = 0; n < p.size(); ++n)
    if (!requests::pressureAllowed(v[n]))
      badArgument(name + ": " + requests::pressureProblem(v[n], unitsOfArgument));
  if (unitsOfArgument.megapascal) {
    py::array_t<double> bar(p.request().shape);
    double* out = bar.mutable_data();
    for (py::ssize_t n = 0; n < p.size(); ++n) out[n] = table::pressureInBar(v[n], unitsOfArgument);
    return bar;
  }
  return p;
}

std::string shapeText(const py::array& a) {
  return py::str(a.attr("shape"));
}

// Refuses, with MemoryError, a result that could never fit in this machine's memory: its arrays
// take about `bytesPerState` a state (the columns, codes, range, phase and solute texts).
void refuseImpossibleResults(std::size_t total, std::size_t columns) {
  const std::size_t bytesPerState =
      columns * sizeof(double) + sizeof(int32_t) + 1 + sizeof(std::string_view) + 4 * 13 + 4 * 6;
  const std::size_t memory = physical_memory_bytes();
  if (memory == 0 || total <= memory / bytesPerState) return;
  char text[200];
  std::snprintf(text, sizeof text,
                "the result of %zu states would take about %.0f GB, more than this machine's "
                "%.0f GB of memory: ask for fewer states at a time",
                total, static_cast<double>(total) * static_cast<double>(bytesPerState) / 1e9,
                static_cast<double>(memory) / 1e9);
  PyErr_SetString(PyExc_MemoryError, text);
  throw py::error_already_set();
}

// Row `row` of `block` (along its first axis), a view of it even where that is 0-d.
py::array_t<double> rowOf(const py::array& block, std::size_t row) {
  return block[py::make_tuple(row, py::ellipsis())].cast<py::array_t<double>>();
}

void broadcast(States& states, const py::array_t<double>& t, const py::array_t<double>& p,
               const std::string& pressureName) {
  const py::module_ numpy = py::module_::import("numpy");
  py::list both;
  try {
    both = numpy.attr("broadcast_arrays")(t, p);
  } catch (py::error_already_set& e) {
    if (!e.matches(PyExc_ValueError)) throw;
    badArgument("T_C and " + pressureName + ": shapes " + shapeText(t) + " and " + shapeText(p) +
                " do not broadcast together");
  }
  // The results' size is known now: one that could never be held is refused before the states
  // are even copied.
  const auto broadcastSize = py::cast<std::size_t>(both[0].attr("size"));
  refuseImpossibleResults(broadcastSize * std::max<std::size_t>(1, states.solutes.size()),
                          table::kLastValueColumn + 1);
  // Copies, side by side in C order (one large array where two would not be); a 0-d array
  // stays 0-d.
  const auto t0 = both[0].cast<py::array>();
  std::vector<py::ssize_t> blockShape{2};
  blockShape.insert(blockShape.end(), t0.shape(), t0.shape() + t0.ndim());
  const py::array block = largeArray(py::dtype::of<double>(), blockShape);
  const auto copy = [&](std::size_t row, py::handle from) {
    py::array_t<double> to = rowOf(block, row);
    numpy.attr("copyto")(to, from);
    return to;
  };
  states.temperaturesC = copy(0, both[0]);
  states.pressuresBar = copy(1, both[1]);
  if (states.soluteAxis) states.shape.push_back(static_cast<py::ssize_t>(states.solutes.size()));
  const py::array_t<double>& b = states.temperaturesC;
  states.shape.insert(states.shape.end(), b.shape(), b.shape() + b.ndim());
}

States readStates(py::handle solute, py::handle species, py::handle T_C, py::handle P,
                  py::handle P_bar, const table::Units& units) {
  States states;
  states.set = readSpecies(species);
  if (!solute.is_none()) readSolutes(solute, states);
  broadcast(states, readTemperatures(T_C, units), readPressures(P, P_bar, units),
            P.is_none() ? "P_bar" : "P");
  return states;
}

// units "cal" (default) or "si"; pressure_unit "bar" (default) or "MPa"; any case.
table::Units readUnits(const std::string& units, const std::string& pressureUnit) {
  table::Units chosen;
  std::string why;
  if (!requests::readUnits(units, chosen, why)) badArgument("units: " + why);
  if (!requests::readPressureUnit(pressureUnit, chosen, why)) badArgument("pressure_unit: " + why);
  return chosen;
}

unsigned threadCount(long long threads) {
  unsigned count = 0;
  std::string why;
  if (!requests::readThreads(threads, count, why)) badArgument("threads: " + why);
  return count;
}

// Fills `length` places of `width` characters from `at` with the text at `text`: spelt once,
// then doubled, so that a long run costs a few large copies.
void fillRun(char32_t* at, std::size_t length, const char32_t* text, std::size_t width) {
  if (length == 0) return;
  std::memcpy(at, text, width * sizeof(char32_t));
  for (std::size_t done = 1; done < length;) {
    const std::size_t more = std::min(done, length - done);
    std::memcpy(at + done * width, at, more * width * sizeof(char32_t));
    done += more;
  }
}

// A numpy array of fixed-width unicode strings of the given shape whose elements are texts
// (ASCII) by runs: forEachRun(add) calls add(t, length) for consecutive runs of elements that
// hold texts[t], from the first element to the last. As wide as the widest text it holds (at
// least 1): each text spelt once and copied whole into its places.
template <class ForEachRun>
py::array textArray(const std::vector<py::ssize_t>& shape, std::span<const std::string_view> texts,
                    const ForEachRun& forEachRun) {
  std::vector<char> used(texts.size(), false);
  forEachRun([&](std::size_t t, std::size_t length) { used[t] = used[t] || length > 0; });
  std::size_t width = 1;
  for (std::size_t t = 0; t < texts.size(); ++t)
    if (used[t]) width = std::max(width, texts[t].size());
  std::vector<char32_t> spelt(texts.size() * width, U'\0');
  for (std::size_t t = 0; t < texts.size(); ++t)
    if (used[t])  // a text not used may be wider than the array
      std::copy(texts[t].begin(), texts[t].end(),
                spelt.begin() + static_cast<std::ptrdiff_t>(t * width));
  py::array array = largeArray(py::dtype("<U" + std::to_string(width)), shape);
  auto* out = static_cast<char32_t*>(array.mutable_data());
  forEachRun([&](std::size_t t, std::size_t length) {
    fillRun(out, length, spelt.data() + t * width, width);
    out += length * width;
  });
  return array;
}

// The states that could not be computed, gathered from the computing threads; they are few, so
// a lock costs nothing worth counting.
class Failures {
 public:
  void add(std::size_t index, std::string message) {
    const std::lock_guard<std::mutex> hold(lock_);
    failed_.emplace_back(index, std::move(message));
  }

  // The status codes (0: computed; k: the reason is messages[k]) in `codes`, which holds zeros,
  // and the list of messages, "ok" first and the others in the order of the first state that
  // gave each: the same for any thread count.
  py::list codesAndMessages(int32_t* codes) {
    std::sort(failed_.begin(), failed_.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    py::list messages;
    messages.append("ok");
    std::unordered_map<std::string, int32_t> codeOf;
    for (const auto& [index, message] : failed_) {
      const auto [at, added] = codeOf.try_emplace(message, static_cast<int32_t>(codeOf.size() + 1));
      if (added) messages.append(message);
      codes[index] = at->second;
    }
    return messages;
  }

 private:
  std::mutex lock_;
  std::vector<std::pair<std::size_t, std::string>> failed_;
};

using ChunkWork = std::function<void(std::size_t first, std::size_t end)>;

// Runs `work` over every chunk of `total` states on `threads` threads without the GIL. A large
// computation runs beside this thread, which looks for signals every 50 ms: an exception that a
// signal handler raises (KeyboardInterrupt on Ctrl+C) stops the threads after their current
// chunk and is raised here.
void computeInterruptibly(std::size_t total, unsigned threads, const ChunkWork& work) {
  constexpr std::size_t kAtOnce = 4096;  // a few milliseconds of work: not worth a thread
  constexpr auto kSignalCheckInterval = std::chrono::milliseconds(50);
  std::atomic<bool> stop{false};
  const auto run = [&] { forEachChunk(total, threads, work, &stop); };
  std::future<void> done;
  {
    py::gil_scoped_release without_gil;
    if (total <= kAtOnce) return run();
    try {
      done = std::async(std::launch::async, run);
    } catch (const std::system_error&) {  // no thread to be had: no interruption either
      return run();
    }
  }
  for (;;) {
    bool finished;
    {
      py::gil_scoped_release without_gil;
      finished = done.wait_for(kSignalCheckInterval) == std::future_status::ready;
    }
    if (finished) return done.get();
    if (PyErr_CheckSignals() != 0) {
      stop.store(true);
      py::gil_scoped_release without_gil;
      done.wait();
      break;
    }
  }
  throw py::error_already_set();
}

// Whether column `c` of the range first..last is a number column of the results.
bool isNumberColumn(std::size_t c) {
  return c != table::kPhaseColumn;
}

// The phase column's texts: a state that was not computed has none (code 0); a computed one's
// phase is code 1 + its Phase.
constexpr std::uint8_t kNoPhase = 0;
const std::array<std::string_view, 4> kPhaseTexts = {
    "", phaseText(Phase::kLiquid), phaseText(Phase::kVapour), phaseText(Phase::kSupercritical)};

// The solute column: each solute's name over its block of states.
py::array soluteColumn(const States& states) {
  const std::size_t n = states.stateCount();
  std::vector<std::string_view> names;
  for (const SoluteParams& solute : states.solutes) names.emplace_back(solute.name);
  return textArray(states.shape, names, [&](const auto& add) {
    for (std::size_t t = 0; t < names.size(); ++t) add(t, n);
  });
}

// The number columns of a result (of `states` states), each a view of a block that holds them
// side by side, as few as make kBlockBytes (or all): blocks are large arrays (largeArray)
// wherever the columns together are, where a column each would not be. A column kept alone
// keeps its block alive: under kBlockBytes besides itself.
class NumberColumns {
 public:
  NumberColumns(const std::vector<py::ssize_t>& shape, std::size_t states, std::size_t last) {
    std::vector<std::size_t> wanted;
    for (std::size_t c = table::kTemperatureColumn; c <= last; ++c)
      if (isNumberColumn(c)) wanted.push_back(c);
    const std::size_t columnBytes = std::max<std::size_t>(1, states * sizeof(double));
    const std::size_t perBlock = std::min(wanted.size(), 1 + (kBlockBytes - 1) / columnBytes);
    std::vector<py::ssize_t> blockShape{0};
    blockShape.insert(blockShape.end(), shape.begin(), shape.end());
    for (std::size_t first = 0; first < wanted.size(); first += perBlock) {
      const std::size_t count = std::min(perBlock, wanted.size() - first);
      blockShape[0] = static_cast<py::ssize_t>(count);
      const py::array block = largeArray(py::dtype::of<double>(), blockShape);
      for (std::size_t i = 0; i < count; ++i) columns_[wanted[first + i]] = rowOf(block, i);
    }
  }

  // Number column c (one asked for).
  py::array_t<double>& operator[](std::size_t c) { return columns_.at(c); }

 private:
  static constexpr std::size_t kBlockBytes = 8 * kHugePageBytes;
  std::map<std::size_t, py::array_t<double>> columns_;
};

// Computes every state (of every solute) without the GIL and returns the columns from T_C to
// `last` (column indices) in `units`, with "phase", "range", "status" and "messages" (and
// "solute" when there are solutes).
py::dict compute(const States& states, std::size_t last, const table::Units& units,
                 unsigned threads) {
  const Constants& k = constants();
  const std::size_t n = states.stateCount();
  const std::size_t total = n * std::max<std::size_t>(1, states.solutes.size());
  NumberColumns columns(states.shape, total, last);
  // out[j]: the array of rowNumbers' number j, or null where that column is not asked for.
  std::array<double*, table::kRowNumberCount> out{};
  for (std::size_t c = table::kTemperatureColumn; c <= last; ++c)
    if (isNumberColumn(c)) out[table::rowNumberIndex(c)] = columns[c].mutable_data();
  py::array_t<int32_t> codes(states.shape);  // zeros from the computing threads
  int32_t* code = codes.mutable_data();
  py::array_t<uint8_t> ranges(states.shape);
  uint8_t* range = ranges.mutable_data();
  std::vector<std::uint8_t> phases(total, kNoPhase);
  Failures failures;
  const double* T = states.temperaturesC.data();
  const double* P = states.pressuresBar.data();
  const auto requestOf = [&](std::size_t i) {
    const std::size_t state = i % n;
    const SoluteParams* solute = states.solutes.empty() ? nullptr : &states.solutes[i / n];
    return RowRequest{solute, T[state], {P[state] == 0, P[state]}};
  };
  const auto take = [&](std::size_t i, Row& row) {
    std::array<double, table::kRowNumberCount> numbers;
    table::rowNumbers(row, units, numbers);
    for (std::size_t j = 0; j < numbers.size(); ++j)
      if (out[j] != nullptr) out[j][i] = numbers[j];
    range[i] = static_cast<uint8_t>(row.range);
    code[i] = 0;
    if (row.status.empty()) {
      phases[i] = static_cast<std::uint8_t>(1 + static_cast<int>(row.phase));
    } else {
      failures.add(i, std::move(row.status));
    }
  };
  computeInterruptibly(total, threads, [&](std::size_t first, std::size_t end) {
    computeChunkRows(k, first, end, requestOf, take);
  });
  py::dict result;
  if (!states.solutes.empty()) result["solute"] = soluteColumn(states);
  for (std::size_t c = table::kTemperatureColumn; c <= last; ++c) {
    const py::str name(std::string(table::columnName(c, units)));
    if (isNumberColumn(c)) {
      result[name] = columns[c];
    } else {
      result[name] = textArray(states.shape, kPhaseTexts, [&](const auto& add) {
        for (std::size_t i = 0, run; i < total; i += run) {
          for (run = 1; i + run < total && phases[i + run] == phases[i];) ++run;
          add(phases[i], run);
        }
      });
    }
  }
  result["range"] = ranges;
  result["messages"] = failures.codesAndMessages(code);
  result["status"] = codes;
  return result;
}

py::dict properties(py::handle solute, py::handle T_C, py::handle P, py::handle T_K,
                    py::handle P_bar, long long threads, const std::string& units,
                    const std::string& pressureUnit, py::handle species) {
  if (solute.is_none()) badArgument("solute: no solute given");
  const unsigned count = threadCount(threads);
  table::Units chosen = readUnits(units, pressureUnit);
  const py::handle T = temperatureArgument(T_C, T_K, chosen);
  return compute(readStates(solute, species, T, P, P_bar, chosen), table::kLastValueColumn, chosen,
                 count);
}

py::dict water(py::handle T_C, py::handle P, py::handle T_K, py::handle P_bar, long long threads,
               const std::string& units, const std::string& pressureUnit) {
  const unsigned count = threadCount(threads);
  table::Units chosen = readUnits(units, pressureUnit);
  const py::handle T = temperatureArgument(T_C, T_K, chosen);
  return compute(readStates(py::none(), py::none(), T, P, P_bar, chosen), kLastWaterColumn, chosen,
                 count);
}

py::list columns(const std::string& units, const std::string& pressureUnit,
                 const std::string& temperatureUnit) {
  table::Units chosen = readUnits(units, pressureUnit);
  std::string why;
  if (!requests::readTemperatureUnit(temperatureUnit, chosen, why))
    badArgument("temperature_unit: " + why);
  const table::ColumnSet set(chosen);
  py::list list;
  for (const table::ResolvedColumn& column :
       set.between(table::kTemperatureColumn, table::kLastValueColumn))
    list.append(py::make_tuple(column.name, column.quantity, column.unit));
  return list;
}

// The fit of (xi, a, b) to measured ln kH (kH in bar) at the states T_C and P (in the pressure
// unit; or P_bar), each point weighed by 1/uncertainty where uncertainties are given.
py::dict fit(py::handle T_C, py::handle lnkH, py::handle P, py::handle P_bar,
             py::handle uncertainty, const std::string& pressureUnit) {
  const table::Units units = readUnits("cal", pressureUnit);
  States states = readStates(py::none(), py::none(), T_C, P, P_bar, units);
  const std::size_t n = states.stateCount();
  const py::array_t<double> measured = asDoubles(lnkH, "lnkH");
  const py::array_t<double> uncertain =
      uncertainty.is_none() ? py::array_t<double>() : asDoubles(uncertainty, "uncertainty");
  if (static_cast<std::size_t>(measured.size()) != n ||
      (!uncertainty.is_none() && static_cast<std::size_t>(uncertain.size()) != n))
    badArgument("lnkH and uncertainty: one value per state (" + std::to_string(n) + ")");
  std::vector<HenryPoint> points;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = states.temperaturesC.data()[i], p = states.pressuresBar.data()[i];
    const double u = uncertainty.is_none() ? 0 : uncertain.data()[i];
    if (!std::isfinite(measured.data()[i]) || !(u >= 0))
      badArgument("lnkH and uncertainty: finite numbers, the uncertainties positive");
    points.push_back({t, {p == 0, p}, measured.data()[i], u});
  }
  SoluteFit result;
  {
    py::gil_scoped_release without_gil;
    result = fitSolute(constants(), points);
  }
  if (!result.error.empty()) badArgument("fit: " + result.error);
  py::dict out;
  out["xi"] = result.xi;
  out["a"] = result.a;
  out["b"] = result.b;
  out["standard_errors"] =
      py::make_tuple(result.standardErrors[0], result.standardErrors[1], result.standardErrors[2]);
  py::array_t<double> correlation({3, 3});
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) correlation.mutable_at(i, j) = result.correlation[i][j];
  out["correlation"] = correlation;
  out["residuals"] = py::array_t<double>(static_cast<py::ssize_t>(n), result.residuals.data());
  out["worst_residual"] = result.worstResidual;
  out["rms_residual"] = result.rmsResidual;
  out["points_used"] = result.pointsUsed;
  return out;
}

py::list solutes() {
  py::list names;
  for (const SoluteParams& s : soluteTable()) names.append(std::string(s.name));
  return names;
}

// The docstring of properties(), in two parts around the value columns' definitions.
constexpr const char* kPropertiesDocHead =
    R"(Properties of water and of solutes at infinite dilution in water.

solute  a name (any case: "CO2"), a menu number 1-20, "all", or a list of them; a list (or
        "all") adds a leading axis, one entry per solute, to every result
T_C     temperature(s) in degrees Celsius, above -273.15: a number or an array
T_K     instead of T_C, by keyword: temperature(s) in kelvin (the column is then T_K)
P       pressure(s) in the pressure unit (bar unless pressure_unit="MPa"): a number or an
        array; "sat" or 0 is the saturation pressure of water at each temperature (there is
        none at or above the critical temperature)
P_bar   instead of P, by keyword: pressure(s) in bar whatever the pressure unit
species a species file's path, or a list of them: solutes of your own (or built-in ones
        replaced) as aqsol-table's --species reads them
threads computing threads: 0 (default) is one per core, at most 256. The GIL is released
        meanwhile.
units   "cal" (default: cal, cm3, g/cm3, as the calculator computes) or "si" (J, m3, kg/m3),
        any case
pressure_unit  "bar" (default) or "MPa", any case: the pressures P gives and the results'
        (the key is then "P_MPa"), and every quantity per pressure or in ln of a pressure

T_C and the pressures broadcast together with numpy's rules. Returns a dict of numpy arrays, with the
columns and units of aqsol-table (docs/model.md has the equations), units cal | si:
  solute     the solute's name
)";

constexpr const char* kPropertiesDocTail =
    R"(  range      uint8 bits per computed state, 0 where every column was compared with a
             reference and agreed within the stated tolerance; bit n set means
             aqsol.RANGE_FLAGS[n]: "ice" (the stable phase is a solid, IAPWS R14-08),
             "metastable" (the root lies across the saturation curve from the stable phase),
             "beyond-eos" (above 1,000 C or 10,000 bar, or below -95 C), "water-deviates"
             (the water departs from IAPWS-95: 1 % in rho, 5 % in Cp and the derivatives of
             rho), "solute-extrapolated" (outside the temperatures over which the solute's
             Henry constant was compared with a reference), "reference-deviates" (ln kH
             departs from that reference by over 0.1), "unreferenced" (ln kH was compared
             with no reference). Values are still given.
  status     int32 code per state: 0 where it was computed; k > 0 where it could not be, its
             values then NaN and the reason messages[k]
  messages   list of the reasons: messages[0] is "ok", the others in the order of the first
             state that gave each. np.asarray(r["messages"])[r["status"]] spells every state's
A state that cannot be computed never raises. Bad arguments (an unknown solute, a temperature
at or below -273.15 C, a negative pressure, shapes that do not broadcast, a list of lists of
solutes) raise ValueError. Ctrl+C stops a long computation within a fraction of a second with
KeyboardInterrupt.

Example:
  >>> aqsol.properties("CO2", 25, 1)["lnkH"]
  array(7.38960712)
  >>> aqsol.properties("CO2", T_C=np.linspace(0, 350, 351), P="sat")["lnkH"].shape
  (351,)
  >>> aqsol.properties("CO2", 25, 0.1, pressure_unit="MPa")["P_MPa"]
  array(0.1)
)";

constexpr const char* kWaterDoc = R"(Properties of pure water: the water columns of properties().

T_C     temperature(s) in degrees Celsius, above -273.15 (or T_K= in kelvin, by keyword)
P       pressure(s) in the pressure unit; "sat" or 0 for the saturation pressure (or P_bar=
        in bar, by keyword)
threads, units, pressure_unit  as in properties()

Returns a dict of numpy arrays: T_C, P_bar, phase, rho (g/cm3), drho_dP (g/(cm3 bar)),
drho_dT (g/(cm3 K)), d2rho_dT2 (g/(cm3 K2)), V_H2O (cm3/mol), Cp_H2O (cal/(mol K)), lnf_H2O
(ln f, f in bar), in SI with units="si", range (as in properties(), without the solute's
bit), status and messages (as in properties(): 0, or the index of the reason in messages;
NaN values then).
)";

}  // namespace
}  // namespace aqsol::python

PYBIND11_MODULE(_aqsol, m) {
  using namespace aqsol::python;
  m.doc() =
      "Properties of pure water and of dissolved gases and neutral solutes at infinite dilution "
      "in water, from the saturation curve to the supercritical region.\n\n"
      "solutes()                        the solute names in menu order\n"
      "properties(solute, T_C, P)       water and solute properties over arrays of states\n"
      "water(T_C, P)                    water properties alone";
  // A critical error of the runtime (its memory exhausted) ends the call, never the interpreter.
  py::register_exception_translator([](std::exception_ptr raised) {
    try {
      if (raised) std::rethrow_exception(raised);
    } catch (const aqsol::CriticalError& critical) {
      PyErr_SetString(PyExc_MemoryError, critical.line().c_str());
    }
  });
  py::tuple rangeFlags(aqsol::kRangeFlagCount);
  for (int bit = 0; bit < aqsol::kRangeFlagCount; ++bit)
    rangeFlags[static_cast<std::size_t>(bit)] = py::str(std::string(aqsol::kRangeFlagWords[bit]));
  m.attr("RANGE_FLAGS") = rangeFlags;
  m.def("solutes", &solutes, "The solute names, in menu order (menu number = position + 1).");
  static const std::string propertiesDoc =
      std::string(kPropertiesDocHead) + aqsol::table::valueColumnDefinitions() + kPropertiesDocTail;
  m.def("properties", &properties, propertiesDoc.c_str(), py::arg("solute"),
        py::arg("T_C") = py::none(), py::arg("P") = py::none(), py::kw_only(),
        py::arg("T_K") = py::none(), py::arg("P_bar") = py::none(), py::arg("threads") = 0,
        py::arg("units") = "cal", py::arg("pressure_unit") = "bar",
        py::arg("species") = py::none());
  m.def("water", &water, kWaterDoc, py::arg("T_C") = py::none(), py::arg("P") = py::none(),
        py::kw_only(), py::arg("T_K") = py::none(), py::arg("P_bar") = py::none(),
        py::arg("threads") = 0, py::arg("units") = "cal", py::arg("pressure_unit") = "bar");
  m.attr("__version__") = std::string(aqsol::version());
  m.def(
      "cpu_target", [] { return std::string(aqsol::targetName(aqsol::cpuTargets().active)); },
      "The processor path in use: 'avx512', 'avx2' or 'baseline' (AQSOL_LANES=1, 4 or 8 in the "
      "environment chooses a narrower one). Every path gives the same bits.");
  m.def("columns", &columns, py::arg("units") = "cal", py::arg("pressure_unit") = "bar",
        py::arg("temperature_unit") = "C",
        "The columns from T_C to K_aq_gas as (name, long name, unit) in the units given.");
  m.def("fit", &fit, py::arg("T_C"), py::arg("lnkH"), py::arg("P") = py::none(), py::kw_only(),
        py::arg("P_bar") = py::none(), py::arg("uncertainty") = py::none(),
        py::arg("pressure_unit") = "bar",
        R"(Fits a solute's xi, a and b to measured ln kH (kH in bar) by weighted linear least
squares against aqsol's own water, as aqsol-fit does.

T_C, P  the states (P in the pressure unit; "sat" or 0 the saturation pressure; or P_bar=),
        broadcast together; lnkH one value per state
uncertainty  the standard uncertainty of each ln kH, which then weighs it (without it, the
        residuals' scatter sets the standard errors)

Returns a dict: xi, a, b, standard_errors (of the three), correlation (3 x 3), residuals
(measured - fitted, NaN where the water could not be computed), worst_residual, rms_residual,
points_used. Data that cannot tell the three apart raise ValueError.)");
}
