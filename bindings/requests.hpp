// What a caller may ask for, checked once for every interface: aqsol-table, the C library (and
// through it Fortran and R) and Python each read their arguments here, so that the same request
// gives the same answer or the same message everywhere. A message names no argument: each
// interface puts its own name for it first ("--T: " in aqsol-table, "T_C: " in the libraries).
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "bindings/columns.hpp"
#include "calculator/solute_set.hpp"
#include "calculator/solutes.hpp"

namespace aqsol::requests {

using table::Units;

// The most computing threads a call may ask for.
inline constexpr unsigned kMaxThreads = 256;

// An argument as a message quotes it: in single quotes, cut after 60 characters, with bytes
// that are not UTF-8 (and control characters) shown as \xNN.
std::string quoted(std::string_view text);

// The threads for a count asked for: 0 is one per core. False with `error` set below 0 or above
// kMaxThreads.
bool readThreads(long long asked, unsigned& threads, std::string& error);

// The same for a count typed as text.
bool readThreads(std::string_view text, unsigned& threads, std::string& error);

// Absolute zero in degrees Celsius.
inline constexpr double kAbsoluteZeroC = -273.15;

// Whether a temperature in the temperature unit of `units` can be computed: finite and above
// absolute zero. (Inline: the libraries check every state of a call with it.)
inline bool temperatureAllowed(double temperature, const Units& units = {}) {
  return std::isfinite(temperature) && temperature > (units.kelvin ? 0 : kAbsoluteZeroC);
}

// Whether a pressure, in any pressure unit, can be asked for: finite and not below zero (0 is the
// saturation pressure).
inline bool pressureAllowed(double pressure) {
  return std::isfinite(pressure) && pressure >= 0;
}

// Why a temperature in the temperature unit of `units` cannot be computed, or empty when
// temperatureAllowed.
std::string temperatureProblem(double temperature, const Units& units = {});

// Why a pressure, in the pressure unit of `units`, cannot be asked for, or empty when
// pressureAllowed.
std::string pressureProblem(double pressure, const Units& units);

// Appends the solutes of `set` that a comma-separated list names: names (any case), menu
// numbers 1-20 and "all", every solute named in the order named (kMostSolutesNamed at most).
// False with `error` naming the item on an unknown solute.
bool readSolutes(std::string_view list, const SoluteSet& set, std::vector<SoluteParams>& solutes,
                 std::string& error);

// One solute of `set`: a name (any case) or a menu number, for the interfaces that take one a
// call.
const SoluteParams* readOneSolute(std::string_view text, const SoluteSet& set, std::string& error);

// The units, "cal" or "si", and the pressure unit, "bar" or "MPa", in any case.
bool readUnits(std::string_view text, Units& units, std::string& error);
bool readPressureUnit(std::string_view text, Units& units, std::string& error);
// The temperature unit, "C" or "K", in any case.
bool readTemperatureUnit(std::string_view text, Units& units, std::string& error);

}  // namespace aqsol::requests
