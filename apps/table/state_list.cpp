// Lists of states for aqsol-table --states and aqsol-fit.
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

// Where the header puts the temperature and the pressure, their units, and the other columns.
struct StateHeader {
  char separator = 0;  // ';', ',' or '\t' where the header has one (';' first: a spreadsheet's
                       // CSV where the comma is the decimal mark), else runs of blanks
  std::size_t temperature = 0, pressure = 0;
  Units units;  // as the header's column names say, else as asked
  std::vector<std::optional<std::size_t>> numbers;  // where each number column is, if anywhere
  std::vector<std::size_t> texts;                   // where each text column is
};

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// Lines longer than this are not a table of states.
constexpr std::size_t kMaxLineLength = 1 << 16;

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The fields of a line: split on `separator` (quotes around a field removed), or, where it is
// 0, on runs of blanks and tabs.
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

char separatorOf(std::string_view header) {
  for (char separator : {';', ',', '\t'})
    if (header.find(separator) != std::string_view::npos) return separator;
  return 0;
}

std::optional<std::size_t> findField(const std::vector<std::string_view>& fields,
                                     std::span<const std::string_view> names) {
  for (std::size_t n = 0; n < fields.size(); ++n)
    for (std::string_view name : names)
      if (equalsIgnoringCase(fields[n], name)) return n;
  return std::nullopt;
}

// How many fields bear one of the names.
std::size_t countFields(const std::vector<std::string_view>& fields,
                        std::span<const std::string_view> names) {
  std::size_t count = 0;
  for (std::string_view field : fields)
    for (std::string_view name : names)
      if (equalsIgnoringCase(field, name)) ++count;
  return count;
}

constexpr std::string_view kTemperatureNames[] = {"T_C", "T_K", "T"};
constexpr std::string_view kPressureNames[] = {"P_bar", "P_MPa", "P"};

std::optional<std::size_t> findField(const std::vector<std::string_view>& fields,
                                     std::string_view name) {
  return findField(fields, std::span(&name, 1));
}

// A header that names two temperature or two pressure columns leaves the choice open.
bool oneOfEach(const std::vector<std::string_view>& fields, std::string_view line,
               std::string& error) {
  const bool twoTemperatures = countFields(fields, kTemperatureNames) > 1;
  if (!twoTemperatures && countFields(fields, kPressureNames) <= 1) return true;
  error = "the header " + quoted(line) + " names more than one " +
          (twoTemperatures ? "temperature" : "pressure") +
          " column (a header names one T_C or T_K and one P_bar or P_MPa)";
  return false;
}

// Where the state's columns are, and in which units.
bool findStateColumns(const std::vector<std::string_view>& fields, std::string_view line,
                      const Units& units, StateHeader& header, std::string& error) {
  if (!oneOfEach(fields, line, error)) return false;
  const std::optional<std::size_t> t = findField(fields, kTemperatureNames);
  const std::optional<std::size_t> bar = findField(fields, "P_bar");
  const std::optional<std::size_t> mpa = findField(fields, "P_MPa");
  const std::optional<std::size_t> p = bar ? bar : mpa ? mpa : findField(fields, "P");
  if (!t || !p) {
    error = "the header " + quoted(line) + " names no " + std::string(t ? "P_bar" : "T_C") +
            " column (a header names T_C or T_K and P_bar or P_MPa)";
    return false;
  }
  header.temperature = *t;
  header.pressure = *p;
  header.units = units;
  if (bar || mpa) header.units.megapascal = !bar;
  if (!equalsIgnoringCase(fields[*t], "T"))
    header.units.kelvin = equalsIgnoringCase(fields[*t], "T_K");
  return true;
}

bool readHeader(std::string_view line, const Units& units, const std::vector<std::string>& numbers,
                const std::vector<std::string>& texts, StateHeader& header, std::string& error) {
  header.separator = separatorOf(line);
  const std::vector<std::string_view> fields = fieldsOf(line, header.separator);
  if (!findStateColumns(fields, line, units, header, error)) return false;
  for (std::string_view name : numbers) header.numbers.push_back(findField(fields, name));
  for (std::string_view name : texts) {
    const std::optional<std::size_t> at = findField(fields, name);
    if (!at) {
      error = "the header " + quoted(line) + " names no column " + quoted(name);
      return false;
    }
    header.texts.push_back(*at);
  }
  return true;
}

// The number columns' values of a line into `values` (NaN where a column is absent or its field
// empty).
bool readNumbers(const std::vector<std::string_view>& fields, const StateHeader& header,
                 const std::vector<std::string>& names, std::vector<double>& values,
                 std::string& error) {
  for (std::size_t n = 0; n < header.numbers.size(); ++n) {
    const std::optional<std::size_t> at = header.numbers[n];
    std::vector<double> one;
    if (!at || *at >= fields.size() || fields[*at].empty()) {
      values.push_back(kNotANumber);
    } else if (fields[*at].find_first_of(",:") == std::string_view::npos &&
               parseNumberList(fields[*at], one, error)) {
      values.push_back(one.front());
    } else {
      error = names[n] + ": not a number: " + quoted(fields[*at]);
      return false;
    }
  }
  return true;
}

bool readState(const std::vector<std::string_view>& fields, const StateHeader& header,
               StateItem& state, std::string& error) {
  const std::size_t needed = std::max(header.temperature, header.pressure) + 1;
  if (fields.size() < needed) {
    error = "expected " + std::to_string(needed) + " fields or more, found " +
            std::to_string(fields.size());
    return false;
  }
  std::string why;
  if (!parseTemperature(fields[header.temperature], header.units, state.temperatureC, why)) {
    error = std::string(columnName(kTemperatureColumn, header.units)) + ": " + why;
    return false;
  }
  if (!parsePressure(fields[header.pressure], header.units, state.pressure, why)) {
    error = std::string(columnName(kPressureColumn, header.units)) + ": " + why;
    return false;
  }
  return true;
}

}  // namespace

void StateBlock::clear() {
  states.clear();
  numbers.clear();
  texts.clear();
}

StateReader::StateReader(const Units& units, StateColumns columns)
    : units_(units),
      numberColumns_(columns.numbers.begin(), columns.numbers.end()),
      textColumns_(columns.texts.begin(), columns.texts.end()) {}

StateReader::~StateReader() {
  if (owned_) std::fclose(in_);
  if (copy_ != nullptr && copy_ != in_) std::fclose(copy_);
}

bool StateReader::open(const std::string& file, bool again, std::string& error) {
  std::FILE* in = file == "-" ? stdin : std::fopen(file.c_str(), "re");
  if (in == nullptr) {
    error = quoted(file) + ": " + std::strerror(errno);
    return false;
  }
  open(in, file == "-" ? "standard input" : quoted(file));
  owned_ = in != stdin;
  start_ = std::ftell(in);
  if (!again || start_ >= 0) return true;
  start_ = 0;
  copy_ = std::tmpfile();
  copying_ = copy_ != nullptr;
  if (copying_) return true;
  error = name_ + ": cannot keep a copy to read it again: " + std::strerror(errno);
  return false;
}

void StateReader::open(std::FILE* in, std::string_view name) {
  in_ = in;
  name_ = name;
}

bool StateReader::fail(const std::string& message, std::string& error) const {
  error = name_ + ":" + std::to_string(lineNumber_) + ": " + message;
  return false;
}

// The next line of the input without its line end (LF or CR LF) into line_, copied where the
// input is kept.
StateReader::Line StateReader::nextLine(std::string& error) {
  line_.clear();
  ++lineNumber_;
  int c;
  while ((c = getc_unlocked(in_)) != EOF && c != '\n') {
    if (line_.size() == kMaxLineLength) {
      fail("line longer than " + std::to_string(kMaxLineLength) + " bytes", error);
      return Line::kFailed;
    }
    line_.push_back(static_cast<char>(c));
  }
  if (c == EOF && std::ferror(in_)) {
    error = name_ + ": " + std::strerror(errno);
    return Line::kFailed;
  }
  if (c == EOF && line_.empty()) return Line::kEnd;
  if (copying_ && (std::fwrite(line_.data(), 1, line_.size(), copy_) != line_.size() ||
                   std::fputc('\n', copy_) == EOF)) {
    error = name_ + ": cannot keep a copy to read it again: " + std::strerror(errno);
    return Line::kFailed;
  }
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  return Line::kLine;
}

bool StateReader::takeLine(std::string_view text, StateBlock& block, std::string& error) {
  std::string why;
  if (!header_) {
    header_ = std::make_unique<StateHeader>();
    return readHeader(text, units_, numberColumns_, textColumns_, *header_, why) ||
           fail(why, error);
  }
  const std::vector<std::string_view> fields = fieldsOf(text, header_->separator);
  if (!readState(fields, *header_, block.states.emplace_back(), why) ||
      !readNumbers(fields, *header_, numberColumns_, block.numbers, why))
    return fail(why, error);
  for (std::size_t at : header_->texts)
    block.texts.emplace_back(at < fields.size() ? fields[at] : std::string_view());
  ++statesRead_;
  return true;
}

bool StateReader::read(std::size_t most, StateBlock& block, std::string& error) {
  for (const std::size_t goal = block.states.size() + most; block.states.size() < goal;) {
    if (atEnd_) return true;
    switch (nextLine(error)) {
      case Line::kFailed:
        return false;
      case Line::kEnd:
        atEnd_ = true;
        if (statesRead_ > 0) return true;
        error = name_ + ": " + (header_ ? "no states after the header" : "no header");
        return false;
      case Line::kLine:
        break;
    }
    std::string_view text = line_;
    if (lineNumber_ == 1 && text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a BOM
    text = trimmed(text);
    if (text.empty() || text.front() == '#') continue;
    if (!takeLine(text, block, error)) return false;
  }
  return true;
}

bool StateReader::rewind(std::string& error) {
  if (copy_ != nullptr) {
    if (std::fflush(copy_) != 0) {
      error = name_ + ": cannot keep a copy to read it again: " + std::strerror(errno);
      return false;
    }
    if (owned_) std::fclose(in_);
    in_ = copy_;
    owned_ = true;
    copying_ = false;
  }
  if (std::fseek(in_, copy_ != nullptr ? 0 : start_, SEEK_SET) != 0) {
    error = name_ + ": cannot read it again: " + std::strerror(errno);
    return false;
  }
  header_.reset();
  lineNumber_ = 0;
  statesRead_ = 0;
  atEnd_ = false;
  return true;
}

bool readStateList(const std::string& file, const Units& units, StateBlock& block,
                   std::string& error, StateColumns columns) {
  StateReader reader(units, columns);
  if (!reader.open(file, false, error)) return false;
  while (!reader.atEnd())
    if (!reader.read(std::numeric_limits<std::size_t>::max() / 2, block, error)) return false;
  return true;
}

}  // namespace aqsol::table
