// Lists of numbers, temperatures and pressures as aqsol-table takes them on its command line
// and in its --states files.
#include "apps/table/number_lists.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "bindings/requests.hpp"
#include "services/ascii_text.hpp"
#include "services/decimal_text.hpp"

namespace aqsol::table {

using requests::quoted;

std::vector<std::string_view> splitOn(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

namespace {

enum class NumberText { kOk, kNotANumber, kOutOfRange };

// -0 as 0: a zero is written "0" whatever sign it was typed or rounded with.
double withoutNegativeZero(double value) {
  return value + 0.0;
}

// A decimal number: an optional sign, digits, a point, an exponent. Numbers that overflow or
// underflow a double are out of range.
NumberText parseNumber(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return NumberText::kNotANumber;
  }
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = readDouble(text.data(), end, value);
  if (ptr != end || text.empty()) return NumberText::kNotANumber;
  if (ec == std::errc::result_out_of_range) return NumberText::kOutOfRange;
  if (ec != std::errc() || std::isnan(value)) return NumberText::kNotANumber;
  value = withoutNegativeZero(value);
  return std::isfinite(value) ? NumberText::kOk : NumberText::kOutOfRange;
}

// The number of decimal places a number is written with: "0.25" has 2, "1e-3" 3, "5" 0.
int decimalPlaces(std::string_view text) {
  int places = 0;
  const std::size_t exponent = text.find_first_of("eE");
  const std::string_view mantissa = text.substr(0, exponent);
  if (const std::size_t point = mantissa.find('.'); point != std::string_view::npos)
    places = static_cast<int>(mantissa.size() - point - 1);
  if (exponent != std::string_view::npos) {
    int power = 0;
    std::string_view digits = text.substr(exponent + 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    std::from_chars(digits.data(), digits.data() + digits.size(), power);
    places = std::clamp(places - power, 0, 400);
  }
  return places;
}

// A value of a range rounded to `places` decimal places, so that 0:1:0.1 gives 0.3 rather than
// 0.30000000000000004; beyond 17 places (where doubles stop holding them) it stays as it is.
double roundedTo(double value, int places) {
  if (places > 17 || !std::isfinite(value)) return value;
  if (places == 0 && std::trunc(value) == value) return value;  // whole already
  // The decimal text of exactly `places` places, read back: both conversions exact, as printf's
  // and strtod's, and quicker (a long range's values are each rounded here).
  char text[400];  // the largest double's 309 digits, a point, 17 places and a sign
  const std::to_chars_result written = writeFixed(text, text + sizeof text, value, places);
  double rounded = value;
  if (written.ec == std::errc()) readDouble(text, written.ptr, rounded);
  return withoutNegativeZero(rounded);
}

// Appends start, start + step, ... up to stop, each value rounded to the decimal places of
// start and step as written; the last value snaps to stop within rounding.
bool expandRange(std::string_view item, std::vector<double>& values, std::string& error) {
  const std::vector<std::string_view> parts = splitOn(item, ':');
  double numbers[3];
  if (parts.size() != 3) {
    error = "malformed range " + quoted(item) + " (expected start:stop:step)";
    return false;
  }
  for (int n = 0; n < 3; ++n) {
    const NumberText read = parseNumber(parts[n], numbers[n]);
    if (read == NumberText::kOk) continue;
    error = "range " + quoted(item) + ": " + quoted(parts[n]) +
            (read == NumberText::kOutOfRange ? " is out of range" : " is not a number");
    return false;
  }
  const double start = numbers[0], stop = numbers[1], step = numbers[2];
  if (start == stop) {
    values.push_back(start);
    return true;
  }
  const double steps = (stop - start) / step;
  if (step == 0 || std::isnan(steps) || steps < -1e-9) {
    error = "range " + quoted(item) + " never reaches its stop value";
    return false;
  }
  if (!std::isfinite(steps) || std::floor(steps + 1e-9) + 1 + static_cast<double>(values.size()) >
                                   static_cast<double>(kMaxListValues)) {
    error = "range " + quoted(item) + " has too many values (at most " +
            std::to_string(kMaxListValues) + " in a list)";
    return false;
  }
  const double count = std::floor(steps + 1e-9) + 1;
  const int places = std::max(decimalPlaces(parts[0]), decimalPlaces(parts[2]));
  for (double n = 0; n < count; ++n) {
    const double v = start + n * step;
    if (!std::isfinite(v)) {
      error = "range " + quoted(item) + " reaches values too large to be numbers";
      return false;
    }
    values.push_back(std::fabs(v - stop) <= 1e-9 * std::fabs(step) ? stop : roundedTo(v, places));
  }
  return true;
}

// A pressure read as a number in `units`, in bar: 0 is the saturation pressure.
bool pressureItem(double value, const Units& units, PressureItem& pressure, std::string& error) {
  error = requests::pressureProblem(value, units);
  pressure = {value == 0, pressureInBar(value, units)};
  return error.empty();
}

}  // namespace

bool parseTemperatureList(std::string_view list, const Units& units,
                          std::vector<double>& temperatures, std::string& error) {
  const std::size_t first = temperatures.size();
  if (!parseNumberList(list, temperatures, error)) return false;
  for (std::size_t n = first; n < temperatures.size(); ++n) {
    error = requests::temperatureProblem(temperatures[n], units);
    if (!error.empty()) return false;
    temperatures[n] = temperatureInCelsius(temperatures[n], units);
  }
  return true;
}

bool parsePressureList(std::string_view list, const Units& units,
                       std::vector<PressureItem>& pressures, std::string& error) {
  for (std::string_view item : splitOn(list, ',')) {
    if (equalsIgnoringCase(item, "sat")) {
      pressures.push_back({true, 0});
      continue;
    }
    std::vector<double> values;
    if (!parseNumberList(item, values, error)) return false;
    if (pressures.size() + values.size() > kMaxListValues) {
      error = "pressure list has too many values";
      return false;
    }
    for (double p : values)
      if (!pressureItem(p, units, pressures.emplace_back(), error)) return false;
  }
  return true;
}

bool parseNumberList(std::string_view list, std::vector<double>& values, std::string& error) {
  for (std::string_view item : splitOn(list, ',')) {
    if (item.find(':') != std::string_view::npos) {
      if (!expandRange(item, values, error)) return false;
      continue;
    }
    double v;
    const NumberText read = parseNumber(item, v);
    if (read != NumberText::kOk) {
      error = read == NumberText::kOutOfRange ? quoted(item) + " is out of range"
                                              : "not a number: " + quoted(item);
      return false;
    }
    if (values.size() >= kMaxListValues) {
      error = "list has too many values (at most " + std::to_string(kMaxListValues) + ")";
      return false;
    }
    values.push_back(v);
  }
  return true;
}

bool parseTemperature(std::string_view text, const Units& units, double& temperatureC,
                      std::string& error) {
  std::vector<double> one;
  if (text.find_first_of(",:") != std::string_view::npos) {
    error = "not a number: " + quoted(text);
    return false;
  }
  if (!parseTemperatureList(text, units, one, error)) return false;
  temperatureC = one.front();
  return true;
}

bool parsePressure(std::string_view text, const Units& units, PressureItem& pressure,
                   std::string& error) {
  if (equalsIgnoringCase(text, "sat")) {
    pressure = {true, 0};
    return true;
  }
  double value;
  const NumberText read = parseNumber(text, value);
  if (read != NumberText::kOk) {
    error = read == NumberText::kOutOfRange ? quoted(text) + " is out of range"
                                            : "not a number: " + quoted(text);
    return false;
  }
  return pressureItem(value, units, pressure, error);
}

}  // namespace aqsol::table
