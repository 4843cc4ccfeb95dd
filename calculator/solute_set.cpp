// Species files and the set of solutes a caller computes with.
#include "calculator/solute_set.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "calculator/validity.hpp"
#include "services/ascii_text.hpp"
#include "services/decimal_text.hpp"
#include "services/shipped_data.hpp"

namespace aqsol {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The columns of a species file: the record's parameters (required), then what it says of its
// provenance (optional).
enum Field : int {
  kName,
  kXi,
  kA,
  kB,
  kGf298,
  kS298,
  kCpA,
  kCpB,
  kCpC,  // required
  kSource,
  kTMin,
  kTMax,
  kWorstResidual,
  kRmsResidual,
  kSeXi,
  kSeA,
  kSeB,
  kReplaces,
  kFieldCount
};
constexpr int kRequiredFields = kSource;
constexpr std::string_view kFieldNames[kFieldCount] = {
    "name",  "xi",   "a",      "b",       "gf298",   "s298",           "cpA",
    "cpB",   "cpC",  "source", "T_min_C", "T_max_C", "worst_residual", "rms_residual",
    "se_xi", "se_a", "se_b",   "replaces"};

// Worst residual in ln kH beyond which a solute is flagged reference-deviates (as the built-in
// ones are against their references).
constexpr double kDeviatesLimit = 0.1;

// The temperatures over which an ideal-gas heat capacity must stay positive, K.
constexpr double kCpCheckFromK = 273.15, kCpCheckToK = 1273.15;

// The longest name a solute may have.
constexpr std::size_t kLongestName = 15;

std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t end = line.find(',', start);
    std::string_view field = line.substr(start, end - start);
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
      field.remove_prefix(1);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
      field = field.substr(1, field.size() - 2);
    fields.push_back(field);
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

// A name is letters, digits and ( ) + - _ . , beginning with a letter, and is not "all".
bool goodName(std::string_view name) {
  if (name.empty() || name.size() > kLongestName ||
      !std::isalpha(static_cast<unsigned char>(name[0])))
    return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr("()+-_.", c) == nullptr)
      return false;
  return !equalsIgnoringCase(name, "all");
}

std::optional<double> numberOf(std::string_view text) {
  double value = 0;
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = readDouble(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

// The lowest ideal-gas heat capacity over kCpCheckFromK..kCpCheckToK, every kelvin.
double lowestHeatCapacity(const SoluteParams& s) {
  double lowest = kInfinity;
  for (double T = kCpCheckFromK; T <= kCpCheckToK; T += 1)
    lowest = std::min(lowest, s.cpA + s.cpB * 1e-3 * T - s.cpC * 1e5 / (T * T));
  return lowest;
}

// Reads the header: where each field is (-1 where absent).
bool readHeader(std::string_view line, int* column, std::string& why) {
  std::fill(column, column + kFieldCount, -1);
  const std::vector<std::string_view> names = fieldsOf(line);
  for (std::size_t n = 0; n < names.size(); ++n) {
    int field = 0;
    while (field < kFieldCount && kFieldNames[field] != names[n]) ++field;
    if (field == kFieldCount) {
      why = "unknown column '" + std::string(names[n].substr(0, 40)) + "' in the header";
      return false;
    }
    if (column[field] >= 0) {
      why = "the header names " + std::string(names[n]) + " twice";
      return false;
    }
    column[field] = static_cast<int>(n);
  }
  for (int field = 0; field < kRequiredFields; ++field)
    if (column[field] < 0) {
      why = "the header names no " + std::string(kFieldNames[field]) + " column";
      return false;
    }
  if ((column[kTMin] < 0) != (column[kTMax] < 0)) {
    why = "the header names one of T_min_C and T_max_C without the other";
    return false;
  }
  return true;
}

// One species line, read into `s` and `from` (its name's text in `name`).
bool readSpecies(std::string_view line, const int* column, std::size_t columns, SoluteParams& s,
                 SoluteProvenance& from, std::string& name, bool& replaces, std::string& why) {
  const std::vector<std::string_view> fields = fieldsOf(line);
  if (fields.size() != columns) {
    why = "expected " + std::to_string(columns) + " fields, found " + std::to_string(fields.size());
    return false;
  }
  name = fields[static_cast<std::size_t>(column[kName])];
  if (!goodName(name)) {
    why = "'" + name.substr(0, 40) +
          "' is not a solute name (a letter, then letters, digits and ( ) + - _ . ; at most 15)";
    return false;
  }
  double value[kFieldCount] = {};
  for (int field = kXi; field < kFieldCount; ++field) {
    if (column[field] < 0 || field == kSource || field == kReplaces) continue;
    const std::string_view text = fields[static_cast<std::size_t>(column[field])];
    const std::optional<double> number = numberOf(text);
    if (!number && (field < kRequiredFields || !text.empty())) {
      why = std::string(kFieldNames[field]) + ": '" + std::string(text.substr(0, 40)) +
            "' is not a finite number";
      return false;
    }
    value[field] = number.value_or(0);
  }
  s = {{},           value[kXi],  value[kA],   value[kB],  value[kGf298],
       value[kS298], value[kCpA], value[kCpB], value[kCpC]};
  if (const double cp = lowestHeatCapacity(s); !(cp > 0)) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", cp);
    why = std::string("the ideal-gas heat capacity falls to ") + text +
          " cal/(mol K) between 0 and 1,000 C";
    return false;
  }
  from = {};
  const auto given = [&](Field field) {
    return column[field] >= 0 && !fields[static_cast<std::size_t>(column[field])].empty();
  };
  if (given(kTMin) != given(kTMax)) {
    why = "T_min_C and T_max_C are given together or not at all";
    return false;
  }
  if (given(kTMin)) {
    from.fromK = value[kTMin] + 273.15;
    from.toK = value[kTMax] + 273.15;
    if (!(value[kTMin] > -273.15 && value[kTMin] < value[kTMax])) {
      why = "T_min_C must be above -273.15 and below T_max_C";
      return false;
    }
  }
  from.deviates = value[kWorstResidual] > kDeviatesLimit;
  const std::string_view replace =
      column[kReplaces] >= 0 ? fields[static_cast<std::size_t>(column[kReplaces])] : "";
  replaces = equalsIgnoringCase(replace, "yes");
  if (!replace.empty() && !replaces && !equalsIgnoringCase(replace, "no")) {
    why = "replaces: '" + std::string(replace.substr(0, 40)) + "' is not yes or no";
    return false;
  }
  return true;
}

// The line number of the first NUL byte of a text, or 0 where it has none.
std::size_t lineOfNul(std::string_view text) {
  const std::size_t at = text.find('\0');
  if (at == std::string_view::npos) return 0;
  return 1 + static_cast<std::size_t>(
                 std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

bool hasControlCharacter(std::string_view line) {
  for (char c : line)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return true;
  return false;
}

}  // namespace

SoluteSet::SoluteSet() : solutes_(soluteTable().begin(), soluteTable().end()) {}

const SoluteSet& builtInSolutes() {
  static const SoluteSet builtIn;
  return builtIn;
}

// The solutes a file adds, checked line by line before any is added.
struct SoluteSet::Pending {
  std::vector<SoluteParams> solutes;
  std::vector<std::string> names;
  std::vector<SoluteProvenance> provenances;
  std::vector<std::size_t> replacing;  // the index each replaces, or npos

  bool hasName(std::string_view name) const {
    for (const std::string& other : names)
      if (equalsIgnoringCase(other, name)) return true;
    return false;
  }
};

// Checks one species line against the set and those pending, and adds it to those pending.
bool SoluteSet::pend(std::string_view line, const int* column, std::size_t columns,
                     Pending& pending, std::string& why) const {
  SoluteParams s;
  SoluteProvenance from;
  std::string name;
  bool replaces = false;
  if (!readSpecies(line, column, columns, s, from, name, replaces, why)) return false;
  const SoluteParams* existing = find(name);
  const auto builtInCount = static_cast<std::ptrdiff_t>(soluteTable().size());
  const bool builtIn = existing != nullptr && existing - solutes_.data() < builtInCount;
  if (pending.hasName(name)) {
    why = name + " is named twice";
  } else if (existing != nullptr && !(builtIn && replaces)) {
    why = builtIn ? name + " is a built-in solute (say replaces=yes to replace it)"
                  : name + " is already added by an earlier species file";
  } else if (solutes_.size() + pending.solutes.size() - soluteTable().size() >= kMostAddedSpecies) {
    why = "more than " + std::to_string(kMostAddedSpecies) + " species";
  } else {
    pending.solutes.push_back(s);
    pending.names.push_back(name);
    pending.provenances.push_back(from);
    pending.replacing.push_back(builtIn ? static_cast<std::size_t>(existing - solutes_.data())
                                        : std::string::npos);
    return true;
  }
  return false;
}

bool SoluteSet::addSpecies(std::string_view file, std::string_view text, std::string& error) {
  const auto fail = [&](std::size_t line, const std::string& why) {
    error = std::string(file) + ":" + std::to_string(line) + ": " + why;
    return false;
  };
  if (const std::size_t line = lineOfNul(text)) return fail(line, "a NUL byte: not a text file");
  Pending pending;
  int column[kFieldCount];
  std::size_t columns = 0, number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') continue;
    std::string why;
    if (hasControlCharacter(line)) return fail(number, "a control character");
    if (columns == 0) {
      if (!readHeader(line, column, why)) return fail(number, why);
      columns = fieldsOf(line).size();
    } else if (!pend(line, column, columns, pending, why)) {
      return fail(number, why);
    }
  }
  if (columns == 0) return fail(number, "no header line (name,xi,a,b,gf298,s298,cpA,cpB,cpC)");
  commit(pending);
  return true;
}

void SoluteSet::commit(Pending& pending) {
  for (std::size_t n = 0; n < pending.solutes.size(); ++n) {
    SoluteParams s = pending.solutes[n];
    s.name = names_.emplace_back(std::move(pending.names[n]));
    s.provenance = &provenances_.emplace_back(pending.provenances[n]);
    if (pending.replacing[n] != std::string::npos) {
      solutes_[pending.replacing[n]] = s;
    } else {
      solutes_.push_back(s);
    }
  }
}

bool SoluteSet::addSpeciesFile(const std::string& named, std::string& error) {
  // A set shipped with aqsol by its short name ("g704"), unless a file of that name is here.
  std::string path = named;
  if (named.find_first_of("/.") == std::string::npos && ::access(named.c_str(), F_OK) != 0)
    if (std::string shipped = shippedFile("species", named + ".csv", "solute_sets");
        !shipped.empty())
      path = shipped;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) {
    error = "'" + path + "': " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0 &&
         text.size() <= kMostSpeciesFileBytes)
    text.append(buffer, got);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) {
    error = "'" + path + "': cannot be read";
    return false;
  }
  if (text.size() > kMostSpeciesFileBytes) {
    error = "'" + path + "': larger than " + std::to_string(kMostSpeciesFileBytes >> 20) +
            " MB: not a species file";
    return false;
  }
  return addSpecies("'" + path + "'", text, error);
}

const SoluteParams* SoluteSet::find(std::string_view text) const {
  for (const SoluteParams& solute : solutes_)
    if (equalsIgnoringCase(text, solute.name)) return &solute;
  const SoluteParams* builtIn = findSolute(text);
  return builtIn == nullptr ? nullptr
                            : &solutes_[static_cast<std::size_t>(builtIn - soluteTable().data())];
}

}  // namespace aqsol
