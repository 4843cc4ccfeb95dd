// Lists of states for aqsol-table --states.
#include "apps/table/state_list.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "bindings/requests.hpp"
#include "services/ascii_text.hpp"

namespace aqsol::table {

using requests::quoted;
namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// Lines longer than this are not a table of states.
constexpr std::size_t kMaxLineLength = 1 << 16;

enum class LineRead { kLine, kEnd, kTooLong, kFailed };

// The next line of `in` without its line end (LF or CR LF).
LineRead readLine(std::FILE* in, std::string& line) {
  line.clear();
  int c;
  while ((c = getc_unlocked(in)) != EOF && c != '\n') {
    if (line.size() == kMaxLineLength) return LineRead::kTooLong;
    line.push_back(static_cast<char>(c));
  }
  if (c == EOF && std::ferror(in)) return LineRead::kFailed;
  if (c == EOF && line.empty()) return LineRead::kEnd;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return LineRead::kLine;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The fields of a line: split on `separator` (',' or ';'; quotes around a field removed), or,
// where it is 0, on runs of blanks and tabs.
std::vector<std::string_view> fieldsOf(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  if (separator != 0) {
    for (std::size_t start = 0;;) {
      const std::size_t end = line.find(separator, start);
      std::string_view field = trimmed(line.substr(start, end - start));
      if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        field = trimmed(field.substr(1, field.size() - 2));
      fields.push_back(field);
      if (end == std::string_view::npos) return fields;
      start = end + 1;
    }
  }
  for (std::size_t at = 0; at < line.size();) {
    while (at < line.size() && isBlank(line[at])) ++at;
    const std::size_t start = at;
    while (at < line.size() && !isBlank(line[at])) ++at;
    if (at > start) fields.push_back(line.substr(start, at - start));
  }
  return fields;
}

// Where the header puts the temperature and the pressure, and the pressure's unit.
struct Header {
  char separator = 0;  // ';' or ',' where the header has one (';' first: a spreadsheet's CSV
                       // where the comma is the decimal mark), else blanks and tabs
  std::size_t temperature = 0, pressure = 0;
  Units pressureUnits;
  std::vector<std::optional<std::size_t>> extras;  // where each extra column is, if anywhere
};

std::optional<std::size_t> findField(const std::vector<std::string_view>& fields,
                                     std::initializer_list<std::string_view> names) {
  for (std::size_t n = 0; n < fields.size(); ++n)
    for (std::string_view name : names)
      if (equalsIgnoringCase(fields[n], name)) return n;
  return std::nullopt;
}

// How many fields bear one of the names.
std::size_t countFields(const std::vector<std::string_view>& fields,
                        std::initializer_list<std::string_view> names) {
  std::size_t count = 0;
  for (std::string_view field : fields)
    for (std::string_view name : names)
      if (equalsIgnoringCase(field, name)) ++count;
  return count;
}

bool readHeader(std::string_view line, const Units& units, std::span<const std::string_view> extras,
                Header& header, std::string& error) {
  header.separator = line.find(';') != std::string_view::npos   ? ';'
                     : line.find(',') != std::string_view::npos ? ','
                                                                : 0;
  const std::vector<std::string_view> fields = fieldsOf(line, header.separator);
  for (std::string_view extra : extras) header.extras.push_back(findField(fields, {extra}));
  // A header that names two temperature or two pressure columns leaves the choice open.
  const bool twoTemperatures = countFields(fields, {"T_C", "T"}) > 1;
  if (twoTemperatures || countFields(fields, {"P_bar", "P_MPa", "P"}) > 1) {
    error = "the header " + quoted(line) + " names more than one " +
            (twoTemperatures ? "temperature" : "pressure") +
            " column (a header names one T_C and one P_bar or P_MPa)";
    return false;
  }
  const std::optional<std::size_t> t = findField(fields, {"T_C", "T"});
  const std::optional<std::size_t> bar = findField(fields, {"P_bar"});
  const std::optional<std::size_t> mpa = findField(fields, {"P_MPa"});
  const std::optional<std::size_t> p = bar ? bar : mpa ? mpa : findField(fields, {"P"});
  if (!t || !p) {
    error = "the header " + quoted(line) + " names no " + std::string(t ? "P_bar" : "T_C") +
            " column (a header names T_C and P_bar or P_MPa)";
    return false;
  }
  header.temperature = *t;
  header.pressure = *p;
  header.pressureUnits = units;
  if (bar || mpa) header.pressureUnits.megapascal = !bar;
  return true;
}

// The extra columns' numbers of a line into `values` (NaN where a column is absent or its field
// empty).
bool readExtras(const std::vector<std::string_view>& fields, const Header& header,
                std::span<const std::string_view> extras, std::vector<double>& values,
                std::string& error) {
  for (std::size_t n = 0; n < header.extras.size(); ++n) {
    const std::optional<std::size_t> at = header.extras[n];
    std::vector<double> one;
    if (!at || *at >= fields.size() || fields[*at].empty()) {
      values.push_back(kNotANumber);
    } else if (fields[*at].find_first_of(",:") == std::string_view::npos &&
               parseNumberList(fields[*at], one, error)) {
      values.push_back(one.front());
    } else {
      error = std::string(extras[n]) + ": not a number: " + quoted(fields[*at]);
      return false;
    }
  }
  return true;
}

bool readState(std::string_view line, const Header& header, StateItem& state, std::string& error) {
  const std::vector<std::string_view> fields = fieldsOf(line, header.separator);
  const std::size_t needed = std::max(header.temperature, header.pressure) + 1;
  if (fields.size() < needed) {
    error = "expected " + std::to_string(needed) + " fields or more, found " +
            std::to_string(fields.size());
    return false;
  }
  std::string why;
  if (!parseTemperature(fields[header.temperature], state.temperatureC, why)) {
    error = "T_C: " + why;
    return false;
  }
  if (!parsePressure(fields[header.pressure], header.pressureUnits, state.pressure, why)) {
    error = std::string(columnName(kPressureColumn, header.pressureUnits)) + ": " + why;
    return false;
  }
  return true;
}

}  // namespace

bool readStateStream(std::FILE* in, std::string_view name, const Units& units,
                     std::vector<StateItem>& states, std::string& error,
                     std::span<const std::string_view> extras, std::vector<double>* extraValues) {
  std::string line, why;
  std::optional<Header> header;
  const auto fail = [&](std::size_t number, const std::string& message) {
    error = std::string(name) + ":" + std::to_string(number) + ": " + message;
    return false;
  };
  for (std::size_t number = 1;; ++number) {
    switch (readLine(in, line)) {
      case LineRead::kTooLong:
        return fail(number, "line longer than " + std::to_string(kMaxLineLength) + " bytes");
      case LineRead::kFailed:
        error = std::string(name) + ": " + std::strerror(errno);
        return false;
      case LineRead::kEnd:
        if (!states.empty()) return true;
        error = std::string(name) + ": " + (header ? "no states after the header" : "no header");
        return false;
      case LineRead::kLine:
        break;
    }
    std::string_view text = line;
    if (number == 1 && text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a BOM
    text = trimmed(text);
    if (text.empty() || text.front() == '#') continue;
    if (!header) {
      if (!readHeader(text, units, extras, header.emplace(), why)) return fail(number, why);
      continue;
    }
    if (states.size() == kMaxListValues)
      return fail(number, "more than " + std::to_string(kMaxListValues) + " states");
    if (!readState(text, *header, states.emplace_back(), why)) return fail(number, why);
    if (extraValues != nullptr &&
        !readExtras(fieldsOf(text, header->separator), *header, extras, *extraValues, why))
      return fail(number, why);
  }
}

bool readStateList(const std::string& file, const Units& units, std::vector<StateItem>& states,
                   std::string& error, std::span<const std::string_view> extras,
                   std::vector<double>* extraValues) {
  if (file == "-")
    return readStateStream(stdin, "standard input", units, states, error, extras, extraValues);
  std::FILE* in = std::fopen(file.c_str(), "re");
  if (in == nullptr) {
    error = quoted(file) + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = readStateStream(in, quoted(file), units, states, error, extras, extraValues);
  std::fclose(in);
  return ok;
}

}  // namespace aqsol::table
