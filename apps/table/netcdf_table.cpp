// aqsol-table --format netcdf.
#include "apps/table/netcdf_table.hpp"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>

#include "calculator/validity.hpp"
#include "services/file_output.hpp"
#include "services/version.hpp"

#ifdef AQSOL_NETCDF
#include <dlfcn.h>
#include <netcdf.h>
#include <netcdf_mem.h>

#include <type_traits>
#endif

namespace aqsol::table {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

NetcdfRow netcdfRowOf(const Row& row, const Units& units) {
  NetcdfRow out;
  rowNumbers(row, units, out.numbers);
  if (row.status.empty()) {
    out.phase = static_cast<signed char>(row.phase);
    out.range = static_cast<signed char>(row.range);
  } else {
    out.status = row.status;
  }
  return out;
}

#ifndef AQSOL_NETCDF

bool netcdfAvailable() {
  return false;
}
NetcdfTable::~NetcdfTable() = default;
bool NetcdfTable::create(const std::string&, const Options&, std::string& error) {
  error = "this aqsol-table was built without netCDF (apt install libnetcdf-dev, and rebuild)";
  return false;
}
bool NetcdfTable::add(std::size_t, const NetcdfRow&, std::string&) {
  return false;
}
bool NetcdfTable::finish(std::string&) {
  return false;
}

#else

namespace {

// Rows held before they are written: a run of whole lines of the grid goes out as one hyperslab
// per variable, so that the library writes each variable's part of the file in large pieces.
constexpr std::size_t kBufferedRows = 65'536;
constexpr std::size_t kNameLength = 8;
constexpr std::size_t kMessageLength = 256;

}  // namespace

// libnetcdf, loaded when a dataset is first written, so that aqsol-table's other runs never
// load it and the dozens of libraries it brings (HDF5, curl ...).
struct NetcdfLibrary {
  decltype(&::nc_close) nc_close = nullptr;
  decltype(&::nc__create) nc__create = nullptr;
  decltype(&::nc_def_dim) nc_def_dim = nullptr;
  decltype(&::nc_def_var) nc_def_var = nullptr;
  decltype(&::nc_enddef) nc_enddef = nullptr;
  decltype(&::nc_put_att_double) nc_put_att_double = nullptr;
  decltype(&::nc_put_att_schar) nc_put_att_schar = nullptr;
  decltype(&::nc_put_att_text) nc_put_att_text = nullptr;
  decltype(&::nc_put_var_double) nc_put_var_double = nullptr;
  decltype(&::nc_put_vara_double) nc_put_vara_double = nullptr;
  decltype(&::nc_put_vara_int) nc_put_vara_int = nullptr;
  decltype(&::nc_put_vara_schar) nc_put_vara_schar = nullptr;
  decltype(&::nc_put_vara_text) nc_put_vara_text = nullptr;
  decltype(&::nc_set_fill) nc_set_fill = nullptr;
  decltype(&::nc_strerror) nc_strerror = nullptr;
  // Datasets in memory; null where the library has none.
  decltype(&::nc_create_mem) nc_create_mem = nullptr;
  decltype(&::nc_close_memio) nc_close_memio = nullptr;

  static const NetcdfLibrary* load(std::string& error);
};

const NetcdfLibrary* NetcdfLibrary::load(std::string& error) {
  static const NetcdfLibrary* const loaded = []() -> const NetcdfLibrary* {
    void* handle = dlopen(AQSOL_NETCDF_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    static NetcdfLibrary library;
    const auto find = [&](const char* name, auto& function) {
      function =
          reinterpret_cast<std::remove_reference_t<decltype(function)> >(dlsym(handle, name));
      return function != nullptr;
    };
    if (!find("nc_create_mem", library.nc_create_mem) ||
        !find("nc_close_memio", library.nc_close_memio))
      library.nc_create_mem = nullptr;
    return find("nc_close", library.nc_close) && find("nc__create", library.nc__create) &&
                   find("nc_def_dim", library.nc_def_dim) &&
                   find("nc_def_var", library.nc_def_var) && find("nc_enddef", library.nc_enddef) &&
                   find("nc_put_att_double", library.nc_put_att_double) &&
                   find("nc_put_att_schar", library.nc_put_att_schar) &&
                   find("nc_put_att_text", library.nc_put_att_text) &&
                   find("nc_put_var_double", library.nc_put_var_double) &&
                   find("nc_put_vara_double", library.nc_put_vara_double) &&
                   find("nc_put_vara_int", library.nc_put_vara_int) &&
                   find("nc_put_vara_schar", library.nc_put_vara_schar) &&
                   find("nc_put_vara_text", library.nc_put_vara_text) &&
                   find("nc_set_fill", library.nc_set_fill) &&
                   find("nc_strerror", library.nc_strerror)
               ? &library
               : nullptr;
  }();
  if (loaded == nullptr)
    error = "netCDF output needs Debian's libnetcdf19 (apt install libnetcdf19)";
  return loaded;
}

bool netcdfAvailable() {
  std::string ignored;
  return NetcdfLibrary::load(ignored) != nullptr;
}

NetcdfTable::~NetcdfTable() {
  if (file_ >= 0) lib_->nc_close(file_);
}

namespace {

// A unit as UDUNITS reads it: its "cal" is the International Table calorie (4.1868 J), aqsol's
// the thermochemical one (4.184 J).
std::string udunitsText(std::string unit) {
  if (unit.starts_with("cal")) unit.replace(0, 3, "thermochemical_calorie");
  return unit;
}

// The largest dataset assembled in memory before it is written.
constexpr std::size_t kInMemoryBytes = std::size_t{1} << 30;

// About the bytes of a dataset's values: each state's numbers, phase, range and status.
std::size_t datasetSize(const Options& options) {
  return options.rowCount() * (kRowNumberCount * sizeof(double) + 2 + sizeof(int));
}

// AQSOL_NETCDF_IN_MEMORY=0 writes every dataset as it is computed, in little memory.
bool assemblingInMemoryAllowed() {
  const char* setting = std::getenv("AQSOL_NETCDF_IN_MEMORY");
  return setting == nullptr || std::string_view(setting) != "0";
}

}  // namespace

bool NetcdfTable::check(int status, std::string& error) {
  if (status == NC_NOERR) return true;
  if (status == NC_EVARSIZE) {
    tooLarge_ = true;
    error =
        "netCDF: the table is too large for the file's format (at most 4 GiB a variable): "
        "ask for fewer states, or write CSV or TSV";
  } else {
    error = std::string("netCDF: ") + lib_->nc_strerror(status);
  }
  return false;
}

// What the steps of create() share: the dimensions and the coordinate variables.
struct NetcdfTable::Layout {
  std::vector<int> dims;  // of every value variable: the leading ones, then the one rows run along
  int soluteDim = -1, nameDim = -1, tDim = -1, pDim = -1, stateDim = -1, messageDim = -1,
      lengthDim = -1;
  std::string temperatureName, pressureName, pressureUnit;
  bool saturation = false;  // a state asks for the saturation pressure
  std::string coordinates;  // where the dimensions are not coordinates themselves
  int soluteVar = -1, tVar = -1, pVar = -1, saturationVar = -1;
};

bool NetcdfTable::putText(int variable, const char* name, const std::string& value,
                          std::string& error) {
  return check(lib_->nc_put_att_text(file_, variable, name, value.size(), value.c_str()), error);
}

bool NetcdfTable::create(const std::string& path, const Options& options, std::string& error) {
  lib_ = NetcdfLibrary::load(error);
  if (lib_ == nullptr) return false;
  solutes_ = options.withSolute();
  Layout layout;
  layout.pressureName = columnName(kPressureColumn, options.units);
  layout.temperatureName = columnName(kTemperatureColumn, options.units);
  layout.pressureUnit = unitText(Dimension::kPressure, options.units);
  layout.saturation = asksSaturation(options);
  int previousFill = 0;
  // A dataset of up to kInMemoryBytes is assembled in memory and written to the file once, when
  // it is complete: every byte written once, nothing read back. A larger one is written as its
  // lines are computed, each run of lines in pieces as they are (NC_SHARE), rather than through
  // a buffer read back and written again for every line; the library then reads back the parts
  // of a variable that already lie inside the file before writing them.
  inMemory_ = lib_->nc_create_mem != nullptr && datasetSize(options) <= kInMemoryBytes &&
              assemblingInMemoryAllowed();
  std::size_t chunk = 0;
  const int format = NC_CLOBBER | NC_64BIT_OFFSET;
  return check(inMemory_ ? lib_->nc_create_mem(path.c_str(), format, 0, &file_)
                         : lib_->nc__create(path.c_str(), format | NC_SHARE, 0, &chunk, &file_),
               error) &&
         // Every value is written once, so nothing is filled in first (a whole second write).
         check(lib_->nc_set_fill(file_, NC_NOFILL, &previousFill), error) &&
         defineDimensions(options, layout, error) && defineCoordinates(options, layout, error) &&
         defineValues(ColumnSet(options.units, solutes_, options.columns), layout, error) &&
         defineFlags(layout, error) && defineGlobals(error) &&
         writeCoordinates(options, layout, error);
}

bool NetcdfTable::defineDimensions(const Options& options, Layout& layout, std::string& error) {
  const auto dimension = [&](const char* name, std::size_t size, int& id) {
    return check(lib_->nc_def_dim(file_, name, size, &id), error);
  };
  if (solutes_) {
    if (!dimension("solute", options.solutes.size(), layout.soluteDim) ||
        !dimension("name_length", kNameLength, layout.nameDim))
      return false;
    layout.dims.push_back(layout.soluteDim);
    leading_.push_back(options.solutes.size());
  }
  if (options.stateList) {
    if (!dimension("state", options.states.states.size(), layout.stateDim)) return false;
    layout.dims.push_back(layout.stateDim);
    lineLength_ = options.states.states.size();
  } else {
    const std::string pressure = layout.saturation ? "pressure_item" : layout.pressureName;
    if (!dimension(layout.temperatureName.c_str(), options.temperaturesC.size(), layout.tDim) ||
        !dimension(pressure.c_str(), options.pressures.size(), layout.pDim))
      return false;
    layout.dims.push_back(layout.tDim);
    layout.dims.push_back(layout.pDim);
    leading_.push_back(options.temperaturesC.size());
    lineLength_ = options.pressures.size();
  }
  return dimension("message", NC_UNLIMITED, layout.messageDim) &&
         dimension("message_length", kMessageLength, layout.lengthDim);
}

// The coordinates, or for a list the temperature and pressure of each state.
bool NetcdfTable::defineCoordinates(const Options& options, Layout& layout, std::string& error) {
  const int nameDims[] = {layout.soluteDim, layout.nameDim};
  if (solutes_ &&
      (!check(lib_->nc_def_var(file_, "solute", NC_CHAR, 2, nameDims, &layout.soluteVar), error) ||
       !putText(layout.soluteVar, "long_name", "solute", error) ||
       !putText(layout.soluteVar, "_Encoding", "utf-8", error)))
    return false;
  const int tDims[] = {options.stateList ? layout.stateDim : layout.tDim};
  const int pDims[] = {options.stateList ? layout.stateDim : layout.pDim};
  const std::string pressureMeaning =
      layout.saturation ? "pressure asked for (missing where the saturation pressure was)"
                        : "pressure asked for";
  if (!check(lib_->nc_def_var(file_, layout.temperatureName.c_str(), NC_DOUBLE, 1, tDims,
                              &layout.tVar),
             error) ||
      !putText(layout.tVar, "long_name", "temperature", error) ||
      !putText(layout.tVar, "units", options.units.kelvin ? "K" : "degC", error) ||
      !check(
          lib_->nc_def_var(file_, layout.pressureName.c_str(), NC_DOUBLE, 1, pDims, &layout.pVar),
          error) ||
      !putText(layout.pVar, "long_name", pressureMeaning, error) ||
      !putText(layout.pVar, "units", layout.pressureUnit, error) ||
      !check(lib_->nc_put_att_double(file_, layout.pVar, "_FillValue", NC_DOUBLE, 1, &kNaN), error))
    return false;
  if (layout.saturation && !defineSaturation(pDims[0], layout.saturationVar, error)) return false;
  const std::string saturation = layout.saturation ? " saturation" : "";
  layout.coordinates = options.stateList
                           ? layout.temperatureName + " " + layout.pressureName + saturation
                       : layout.saturation ? layout.pressureName + saturation
                                           : "";
  return true;
}

// A variable along the dimensions of the values.
bool NetcdfTable::defineAlongRows(const char* name, int type, const Layout& layout, int& variable,
                                  std::string& error) {
  return check(lib_->nc_def_var(file_, name, type, static_cast<int>(layout.dims.size()),
                                layout.dims.data(), &variable),
               error);
}

// Names a variable's coordinates where the dimensions are not coordinates themselves: its last
// attribute.
bool NetcdfTable::locate(int variable, const Layout& layout, std::string& error) {
  return layout.coordinates.empty() || putText(variable, "coordinates", layout.coordinates, error);
}

// The values, the pressure of each state first.
bool NetcdfTable::defineValues(const ColumnSet& columns, const Layout& layout, std::string& error) {
  // Where in a NetcdfRow's numbers each variable's value is: T_C, the pressure, then the values.
  const auto number = [&](const char* name, const std::string& longName, const std::string& unit,
                          std::size_t source) {
    int variable;
    if (!defineAlongRows(name, NC_DOUBLE, layout, variable, error) ||
        !putText(variable, "long_name", longName, error) ||
        !putText(variable, "units", udunitsText(unit), error) ||
        !check(lib_->nc_put_att_double(file_, variable, "_FillValue", NC_DOUBLE, 1, &kNaN),
               error) ||
        !locate(variable, layout, error))
      return false;
    numberVariables_.push_back(variable);
    numberSources_.push_back(source);
    return true;
  };
  if (!number("pressure", "pressure of the state", layout.pressureUnit, 1)) return false;
  for (const ResolvedColumn& column : columns.between(kFirstValueColumn, kLastValueColumn)) {
    // "ln fugacity of water (f in bar)": the ln columns name what their ratio is taken to.
    const bool ln = kColumns[column.index].dimension == Dimension::kLnPressure;
    if (!number(column.name.c_str(), ln ? column.label : column.quantity, column.unit,
                column.index - kFirstValueColumn + 2))
      return false;
  }
  valueCount_ = numberVariables_.size();
  return true;
}

// The phase, the range and the status, as CF flags, and the messages the status numbers.
bool NetcdfTable::defineFlags(const Layout& layout, std::string& error) {
  const signed char noPhase = -1;
  const signed char phases[] = {0, 1, 2};
  std::array<signed char, kRangeFlagCount> masks;
  for (int bit = 0; bit < kRangeFlagCount; ++bit)
    masks[static_cast<std::size_t>(bit)] = static_cast<signed char>(1 << bit);
  const int messageDims[] = {layout.messageDim, layout.lengthDim};
  return defineAlongRows("phase", NC_BYTE, layout, phaseVariable_, error) &&
         putText(phaseVariable_, "long_name", "phase of the water", error) &&
         check(lib_->nc_put_att_schar(file_, phaseVariable_, "_FillValue", NC_BYTE, 1, &noPhase),
               error) &&
         check(lib_->nc_put_att_schar(file_, phaseVariable_, "flag_values", NC_BYTE, 3, phases),
               error) &&
         putText(phaseVariable_, "flag_meanings", "liquid vapour supercritical", error) &&
         locate(phaseVariable_, layout, error) &&
         defineAlongRows("range", NC_BYTE, layout, rangeVariable_, error) &&
         putText(rangeVariable_, "long_name", "where the model was not shown to work", error) &&
         check(lib_->nc_put_att_schar(file_, rangeVariable_, "flag_masks", NC_BYTE, kRangeFlagCount,
                                      masks.data()),
               error) &&
         putText(rangeVariable_, "flag_meanings", rangeText((1u << kRangeFlagCount) - 1), error) &&
         locate(rangeVariable_, layout, error) &&
         defineAlongRows("status", NC_INT, layout, statusVariable_, error) &&
         putText(statusVariable_, "long_name",
                 "0 where the state was computed, else the number of its message in "
                 "status_message (1 for the first)",
                 error) &&
         locate(statusVariable_, layout, error) &&
         check(
             lib_->nc_def_var(file_, "status_message", NC_CHAR, 2, messageDims, &messageVariable_),
             error) &&
         putText(messageVariable_, "long_name", "why a state could not be computed", error) &&
         putText(messageVariable_, "_Encoding", "utf-8", error);
}

bool NetcdfTable::defineGlobals(std::string& error) {
  return putText(NC_GLOBAL, "Conventions", "CF-1.8", error) &&
         putText(NC_GLOBAL, "title",
                 "aqsol: properties of water and of solutes at infinite dilution", error) &&
         putText(NC_GLOBAL, "source", "aqsol-table " + std::string(version()), error) &&
         check(lib_->nc_enddef(file_), error);
}

// The coordinates' values: the solutes' names, and the temperatures and pressures asked for.
bool NetcdfTable::writeCoordinates(const Options& options, const Layout& layout,
                                   std::string& error) {
  for (std::size_t s = 0; solutes_ && s < options.solutes.size(); ++s) {
    char name[kNameLength] = {};
    options.solutes[s].name.copy(name, kNameLength);
    const std::size_t start[] = {s, 0}, count[] = {1, kNameLength};
    if (!check(lib_->nc_put_vara_text(file_, layout.soluteVar, start, count, name), error))
      return false;
  }
  std::vector<double> temperatures, pressures;
  std::vector<signed char> saturations;
  const auto ask = [&](const PressureItem& p) {
    pressures.push_back(p.saturation ? kNaN : inUnits(p.bar, kPressureColumn, options.units));
    saturations.push_back(p.saturation ? 1 : 0);
  };
  for (const StateItem& state : options.states.states) {
    temperatures.push_back(state.temperatureC);
    ask(state.pressure);
  }
  if (!options.stateList) {
    temperatures = options.temperaturesC;
    for (const PressureItem& p : options.pressures) ask(p);
  }
  for (double& t : temperatures) t = inUnits(t, kTemperatureColumn, options.units);
  numbers_.assign(valueCount_, {});
  const std::size_t zero[] = {0}, items = saturations.size();
  return check(lib_->nc_put_var_double(file_, layout.tVar, temperatures.data()), error) &&
         check(lib_->nc_put_var_double(file_, layout.pVar, pressures.data()), error) &&
         (layout.saturationVar < 0 ||
          check(lib_->nc_put_vara_schar(file_, layout.saturationVar, zero, &items,
                                        saturations.data()),
                error));
}

bool NetcdfTable::asksSaturation(const Options& options) {
  for (const StateItem& state : options.states.states)
    if (state.pressure.saturation) return true;
  for (const PressureItem& p : options.pressures)
    if (p.saturation && !options.stateList) return true;
  return false;
}

bool NetcdfTable::defineSaturation(int dimension, int& variable, std::string& error) {
  const signed char values[] = {0, 1};
  return check(lib_->nc_def_var(file_, "saturation", NC_BYTE, 1, &dimension, &variable), error) &&
         putText(variable, "long_name",
                 "whether the saturation pressure at the temperature was asked", error) &&
         check(lib_->nc_put_att_schar(file_, variable, "flag_values", NC_BYTE, 2, values), error) &&
         putText(variable, "flag_meanings", "given_pressure saturation_pressure", error);
}

// Whether row `index`, the one after the buffered run, extends it as one hyperslab: within the
// run's line, or, for a run of whole lines, as the first row of the next line of the same block
// of lines (the lines that share every index but the second last).
bool NetcdfTable::extendsRun(std::size_t index) const {
  const std::size_t line = index / lineLength_, firstLine = first_ / lineLength_;
  if (line == firstLine) return count_ < kBufferedRows;
  const std::size_t block = leading_.empty() ? 1 : leading_.back();
  if (first_ % lineLength_ != 0 || line / block != firstLine / block) return false;
  // A further line is taken whole, when it fits: a run of lines ends only at a line's end.
  return index % lineLength_ != 0 || count_ + lineLength_ <= kBufferedRows;
}

bool NetcdfTable::add(std::size_t index, const NetcdfRow& row, std::string& error) {
  if (count_ > 0 && !extendsRun(index) && !flush(error)) return false;
  if (count_ == 0) first_ = index;
  for (std::size_t v = 0; v < valueCount_; ++v)
    numbers_[v].push_back(row.numbers[numberSources_[v]]);
  phases_.push_back(row.phase);
  ranges_.push_back(row.range);
  int code = 0;
  if (!row.status.empty()) {
    const auto [at, added] =
        messages_.try_emplace(row.status, static_cast<int>(messages_.size()) + 1);
    code = at->second;
    if (added) {
      const std::size_t start[] = {static_cast<std::size_t>(code - 1), 0};
      const std::size_t count[] = {1, std::min(row.status.size(), kMessageLength)};
      if (!check(lib_->nc_put_vara_text(file_, messageVariable_, start, count, row.status.c_str()),
                 error))
        return false;
    }
  }
  statuses_.push_back(code);
  ++count_;
  return true;
}

bool NetcdfTable::flush(std::string& error) {
  if (count_ == 0) return true;
  // Where the buffered run starts: the leading indices of its line, then its offset.
  std::vector<std::size_t> start, count;
  std::size_t line = first_ / lineLength_;
  for (auto size = leading_.rbegin(); size != leading_.rend(); ++size) {
    start.insert(start.begin(), line % *size);
    line /= *size;
  }
  start.push_back(first_ % lineLength_);
  count.assign(start.size(), 1);
  count.back() = count_;
  if (count_ > lineLength_) {  // whole lines: as many of the second last dimension
    count.back() = lineLength_;
    count[count.size() - 2] = count_ / lineLength_;
  }
  for (std::size_t v = 0; v < valueCount_; ++v)
    if (!check(lib_->nc_put_vara_double(file_, numberVariables_[v], start.data(), count.data(),
                                        numbers_[v].data()),
               error))
      return false;
  if (!check(lib_->nc_put_vara_schar(file_, phaseVariable_, start.data(), count.data(),
                                     phases_.data()),
             error) ||
      !check(lib_->nc_put_vara_schar(file_, rangeVariable_, start.data(), count.data(),
                                     ranges_.data()),
             error) ||
      !check(lib_->nc_put_vara_int(file_, statusVariable_, start.data(), count.data(),
                                   statuses_.data()),
             error))
    return false;
  for (auto& values : numbers_) values.clear();
  phases_.clear();
  ranges_.clear();
  statuses_.clear();
  count_ = 0;
  return true;
}

bool NetcdfTable::finish(int fd, std::string& error) {
  const bool flushed = flush(error);
  if (!inMemory_) {
    const int closed = lib_->nc_close(file_);
    file_ = -1;
    return flushed && check(closed, error);
  }
  NC_memio dataset{};
  const int closed = lib_->nc_close_memio(file_, &dataset);
  file_ = -1;
  const std::unique_ptr<void, decltype(&std::free)> owned(dataset.memory, &std::free);
  if (!flushed || !check(closed, error)) return false;
  int failure = 0;
  if (writeWhole(fd, static_cast<const char*>(dataset.memory), dataset.size, failure)) return true;
  error = writeErrorMessage(failure);
  return false;
}

#endif

}  // namespace aqsol::table
