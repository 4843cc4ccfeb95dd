// Lists of numbers, temperatures and pressures as aqsol-table takes them on its command line
// and in its --states files: comma-separated values and ranges start:stop:step.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "bindings/columns.hpp"
#include "calculator/state_rows.hpp"

namespace aqsol::table {

// Upper bound on the values one list may expand to, so that a mistyped step cannot ask for an
// endless table.
inline constexpr std::size_t kMaxListValues = 1'000'000;

// The parts of `text` between separators (one part, `text`, where it has none).
std::vector<std::string_view> splitOn(std::string_view text, char separator);

// Expands a numeric LIST: comma-separated values and ranges start:stop:step (stop included when
// reached within rounding). Returns false with `error` set on a malformed item.
bool parseNumberList(std::string_view list, std::vector<double>& values, std::string& error);

// A list of temperatures in `units` (degrees Celsius or kelvin), each above absolute zero, in
// degrees Celsius.
bool parseTemperatureList(std::string_view list, const Units& units,
                          std::vector<double>& temperatures, std::string& error);

// A list of pressures in `units` (bar or MPa), in bar; sat (any case) or 0 is the saturation
// pressure.
bool parsePressureList(std::string_view list, const Units& units,
                       std::vector<PressureItem>& pressures, std::string& error);

// One temperature in `units`, above absolute zero, in degrees Celsius. False with `error` set
// otherwise.
bool parseTemperature(std::string_view text, const Units& units, double& temperatureC,
                      std::string& error);

// One pressure in `units`, or sat (or 0) for the saturation pressure. False with `error` set
// otherwise.
bool parsePressure(std::string_view text, const Units& units, PressureItem& pressure,
                   std::string& error);

}  // namespace aqsol::table
