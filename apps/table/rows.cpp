// Rows of aqsol-table: computing one (solute, T, P) state and writing it as CSV or TSV.
#include "apps/table/rows.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bindings/columns.hpp"
#include "calculator/validity.hpp"
#include "services/bit_cast.hpp"
#include "services/shortest_number.hpp"

namespace aqsol::table {
namespace {

void appendShortest(std::string& line, double value) {
  char text[kShortestNumberRoom];
  line.append(text, writeShortest(text, value));
}

// A field as the format needs it: CSV quotes fields with separators or quotes; TSV has no
// quoting, so tabs and line breaks become spaces.
std::string field(std::string_view text, Format format) {
  std::string out;
  if (format == Format::kTsv) {
    for (char c : text) out.push_back(c == '\t' || c == '\n' || c == '\r' ? ' ' : c);
    return out;
  }
  if (text.find_first_of(",\"\n\r") == std::string_view::npos) return std::string(text);
  out.push_back('"');
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// A JSON string with the escapes the format requires.
void appendJsonString(std::string& line, std::string_view text) {
  line += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      line += '\\';
      line += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      line += escape;
    } else {
      line += c;
    }
  }
  line += '"';
}

// A JSON number, or null for an absent or non-finite value (JSON has no infinities).
void appendJsonNumber(std::string& line, std::optional<double> value) {
  if (value && std::isfinite(*value)) {
    appendShortest(line, *value);
  } else {
    line += "null";
  }
}

// The text of column `index` of an ok row; empty for a failed one.
std::string_view textColumn(const Row& row, std::size_t index) {
  if (index == kStatusColumn) return row.status.empty() ? std::string_view("ok") : row.status;
  if (index == kSoluteColumn) return row.soluteName;
  return {};
}

// One JSON object with the header's keys, on one line: the kept texts first, as strings.
void appendJsonRow(const TableStyle& style, const Row& row, std::span<const std::string> kept,
                   std::string& line) {
  line += '{';
  const bool ok = row.status.empty();
  bool first = true;
  for (std::size_t n = 0; n < kept.size(); ++n) {
    if (!first) line += ',';
    first = false;
    appendJsonString(line, style.kept[n]);
    line += ':';
    appendJsonString(line, kept[n]);
  }
  for (const ResolvedColumn& column : style.columns.all()) {
    const std::size_t n = column.index;
    if (!first) line += ',';
    first = false;
    appendJsonString(line, column.name);
    line += ':';
    if (n == kPhaseColumn) {
      appendJsonString(line, ok ? phaseText(row.phase) : std::string_view());
    } else if (n == kRangeColumn) {
      appendJsonString(line, ok ? rangeText(row.range) : std::string());
    } else if (kColumns[n].dimension == Dimension::kText) {
      appendJsonString(line, textColumn(row, n));
    } else {
      appendJsonNumber(line, columnValue(row, n, style.units()));
    }
  }
  line += "}\n";
}

// A CSV or TSV row of the chosen columns, after the kept texts, a field at a time.
void appendChosenRow(const TableStyle& style, const Row& row, std::span<const std::string> kept,
                     std::string& line) {
  const char separator = style.format == Format::kCsv ? ',' : '\t';
  bool first = true;
  const auto nextField = [&] {
    if (!first) line += separator;
    first = false;
  };
  for (const std::string& text : kept) {
    nextField();
    line += field(text, style.format);
  }
  const bool ok = row.status.empty();
  for (const ResolvedColumn& column : style.columns.all()) {
    nextField();
    const std::size_t n = column.index;
    if (n == kPhaseColumn || n == kRangeColumn) {
      if (ok) line += n == kPhaseColumn ? std::string(phaseText(row.phase)) : rangeText(row.range);
    } else if (kColumns[n].dimension == Dimension::kText) {
      line += field(textColumn(row, n), style.format);
    } else if (const std::optional<double> value = columnValue(row, n, style.units())) {
      appendShortest(line, *value);
    }
  }
  line += '\n';
}

// The text of the temperature of the row before, for the rows that follow at the same one (the
// pressures of a grid).
class TemperatureText {
 public:
  char* write(char* out, double temperature) {
    const auto bits = bitCast<std::uint64_t>(temperature);
    if (!held_ || bits != bits_) {
      held_ = true;
      bits_ = bits;
      length_ = static_cast<std::size_t>(writeShortest(text_, temperature) - text_);
    }
    std::memcpy(out, text_, length_);
    return out + length_;
  }

 private:
  bool held_ = false;
  std::uint64_t bits_ = 0;
  char text_[kShortestNumberRoom];
  std::size_t length_ = 0;
};

// CSV or TSV rows, each made in one buffer and appended at once; the texts that repeat from row
// to row (the solute's field, a grid's temperature) are made once, a grid's pressures' texts
// taken from those made for the table.
class SeparatedRows {
 public:
  SeparatedRows(const TableStyle& style, const PressureTexts& pressures)
      : style_(style),
        units_(style.units()),
        solute_(style.solute()),
        separator_(style.format == Format::kCsv ? ',' : '\t'),
        pressures_(pressures) {}

  void append(const Row& row, std::string& text) {
    if (solute_) text += soluteField(row.soluteName);
    char line[kLineRoom];
    char* p = line;
    if (solute_) *p++ = separator_;
    p = temperature_.write(p, units_.kelvin ? inUnits(row.temperatureC, kTemperatureColumn, units_)
                                            : row.temperatureC);
    *p++ = separator_;
    const bool convert = !units_.isDefault();
    if (row.pressureBar) {
      const double pressure =
          convert ? inUnits(*row.pressureBar, kPressureColumn, units_) : *row.pressureBar;
      char* const end = pressures_.write(p, pressure);
      p = end != nullptr ? end : writeShortest(p, pressure);
    }
    *p++ = separator_;
    const bool ok = row.status.empty();
    const std::size_t count =
        (solute_ ? kLastValueColumn : kLastWaterColumn) + 1 - kFirstValueColumn;
    if (ok) {
      p = put(p, phaseText(row.phase));
      *p++ = separator_;
      auto values = computedValues(row);
      if (convert)
        for (std::size_t n = 0; n < count; ++n)
          values[n] = inUnits(values[n], kFirstValueColumn + n, units_);
      p = writeShortestFields(p, std::span(values).first(count), separator_);
      if (row.range != 0) p = put(p, rangeWords(row.range));  // between the values and the status
      *p++ = separator_;
      p = put(p, "ok\n");
      appendLine(text, line, p);
      return;
    }
    p = std::fill_n(p, count + 1, separator_);  // the phase's and the values' (empty) fields
    *p++ = separator_;                          // the range's
    appendLine(text, line, p);
    text += field(row.status, style_.format);
    text += '\n';
  }

 private:
  // Room for the temperature, the pressure, the phase and the values of a row, each with the
  // separator after it, every range flag's word with a space, and an ok row's status.
  static constexpr std::size_t kLineRoom = 16 * (kShortestNumberRoom + 1) + [] {
    std::size_t words = 0;
    for (const std::string_view word : kRangeFlagWords) words += word.size() + 1;
    return words;
  }();

  // Appends line..end: by its length, not as a range of iterators, which the string takes as a
  // replacement and checks for overlap with itself.
  static void appendLine(std::string& text, const char* line, const char* end) {
    text.append(line, static_cast<std::size_t>(end - line));
  }

  static char* put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
  }

  const std::string& soluteField(std::string_view name) {
    if (name.data() != soluteName_.data() || name.size() != soluteName_.size()) {
      soluteName_ = name;
      soluteField_ = field(name, style_.format);
    }
    return soluteField_;
  }

  // The words of a row's range flags; those of the last flags asked are kept, as neighbouring
  // rows mostly share them.
  std::string_view rangeWords(unsigned flags) {
    if (flags != rangeFlags_) {
      rangeFlags_ = flags;
      rangeWords_ = rangeText(flags);
    }
    return rangeWords_;
  }

  const TableStyle& style_;
  const Units units_;
  const bool solute_;
  const char separator_;
  std::string_view soluteName_;
  std::string soluteField_;
  unsigned rangeFlags_ = 0;
  std::string rangeWords_;
  TemperatureText temperature_;
  const PressureTexts& pressures_;
};

}  // namespace

void appendGridRequests(const Options& options, std::size_t first, std::size_t count,
                        std::vector<RowRequest>& requests) {
  const std::size_t perSolute = options.statesPerSolute();
  const std::size_t nP = options.pressures.size();
  // Where row `first` is, then one step on for each row after it.
  std::size_t solute = first / perSolute, state = first % perSolute;
  std::size_t t = state / nP, p = state % nP;
  for (std::size_t n = 0; n < count; ++n) {
    const SoluteParams* params = options.solutes.empty() ? nullptr : &options.solutes[solute];
    requests.push_back({params, options.temperaturesC[t], options.pressures[p]});
    if (++p == nP) {
      p = 0;
      ++t;
    }
    if (++state == perSolute) {
      state = t = p = 0;
      ++solute;
    }
  }
}

std::string headerText(const TableStyle& style) {
  // JSON objects name their values; a netCDF dataset is not text.
  if (style.format == Format::kJson || style.format == Format::kNetcdf) return {};
  const char separator = style.format == Format::kCsv ? ',' : '\t';
  std::string line;
  for (const std::string& name : style.kept) {
    if (!line.empty()) line += separator;
    line += field(name, style.format);
  }
  for (const ResolvedColumn& column : style.columns.all()) {
    if (!line.empty()) line += separator;
    line += column.name;
  }
  line += '\n';
  return line;
}

PressureTexts::PressureTexts(std::span<const PressureItem> pressures, const Units& units) {
  std::size_t slots = 2;
  while (slots < 2 * pressures.size()) slots *= 2;
  slots_.resize(slots);
  shift_ = 64 - std::countr_zero(slots);
  for (const PressureItem& pressure : pressures) {
    if (pressure.saturation) continue;
    const double value = inUnits(pressure.bar, kPressureColumn, units);
    const auto bits = bitCast<std::uint64_t>(value);
    Slot& slot = slots_[slotOf(bits)];
    if (slot.length != 0) continue;  // a pressure asked twice
    char text[kShortestNumberRoom];
    const std::string_view made(text, static_cast<std::size_t>(writeShortest(text, value) - text));
    slot = {bits, static_cast<std::uint32_t>(texts_.size()),
            static_cast<std::uint32_t>(made.size())};
    texts_ += made;
  }
}

// The slot that holds `bits`, or the empty one where they would go.
std::size_t PressureTexts::slotOf(std::uint64_t bits) const {
  std::size_t n = static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15u) >> shift_);
  while (slots_[n].length != 0 && slots_[n].bits != bits) n = (n + 1) & (slots_.size() - 1);
  return n;
}

char* PressureTexts::write(char* out, double value) const {
  if (slots_.empty()) return nullptr;
  const Slot& slot = slots_[slotOf(bitCast<std::uint64_t>(value))];
  if (slot.length == 0) return nullptr;
  std::memcpy(out, texts_.data() + slot.offset, slot.length);
  return out + slot.length;
}

void appendRows(const TableStyle& style, std::span<const Row> rows, std::string& text,
                const PressureTexts& pressures, std::span<const std::string> kept) {
  const std::size_t perRow = style.kept.size();
  const auto keptOf = [&](std::size_t n) { return kept.subspan(n * perRow, perRow); };
  if (style.format == Format::kJson) {
    for (std::size_t n = 0; n < rows.size(); ++n) appendJsonRow(style, rows[n], keptOf(n), text);
  } else if (!style.columns.complete() || perRow > 0) {
    for (std::size_t n = 0; n < rows.size(); ++n) appendChosenRow(style, rows[n], keptOf(n), text);
  } else {
    SeparatedRows separated(style, pressures);
    for (const Row& row : rows) separated.append(row, text);
  }
}

std::string formatRow(const TableStyle& style, const Row& row) {
  std::string line;
  appendRows(style, {&row, 1}, line);
  return line;
}

}  // namespace aqsol::table
