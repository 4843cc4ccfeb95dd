// The checks of what a caller asks for, shared by every interface.
#include "bindings/requests.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "services/ascii_text.hpp"
#include "services/shortest_number.hpp"

namespace aqsol::requests {
namespace {

// At most this many characters of an argument are quoted in a message.
constexpr std::size_t kMaxQuoted = 60;

// The length of the well-formed UTF-8 sequence at the start of `text` whose character a terminal
// shows as itself, or 0: a byte that begins no sequence, a cut or overlong one, a surrogate or a
// code point beyond U+10FFFF, or a character that moves the cursor or the text's direction (C0
// and C1 controls, DEL, the line and paragraph separators, the bidirectional controls).
std::size_t shownSequence(std::string_view text) {
  const auto byte = static_cast<unsigned char>(text[0]);
  const std::size_t length = byte < 0x80       ? 1
                             : byte >> 5 == 6  ? 2
                             : byte >> 4 == 14 ? 3
                             : byte >> 3 == 30 ? 4
                                               : 0;
  if (length == 0 || length > text.size()) return 0;
  char32_t code = length == 1 ? byte : byte & (0x7F >> length);
  for (std::size_t c = 1; c < length; ++c) {
    const auto next = static_cast<unsigned char>(text[c]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3F);
  }
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};  // below: overlong
  if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
  const bool direction = code == 0x061C || code == 0x200E || code == 0x200F ||
                         (code >= 0x2028 && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
  return control || direction ? 0 : length;
}

// The bytes of `text` as \xNN.
void appendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
    out += escape;
  }
}

// A number as messages write it: the shortest text that reads back as it.
std::string numberText(double value) {
  char text[kShortestNumberRoom];
  return {text, writeShortest(text, value)};
}

// The edit distance of two names, letters compared in any case.
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = equalsIgnoringCase(a.substr(i - 1, 1), b.substr(j - 1, 1));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The most names an unknown solute's message lists.
constexpr std::size_t kMostListedNames = 40;

// Why `text` names no solute of `set`: the nearest name where one is close (a typing slip), and
// the names to choose from.
std::string unknownSolute(std::string_view text, const SoluteSet& set) {
  std::string_view nearest;
  std::size_t best = std::max<std::size_t>(1, text.size() / 3) + 1;
  std::string names;
  for (const SoluteParams& s : set.all()) {
    if (const std::size_t d = editDistance(text.substr(0, 40), s.name); d < best) {
      best = d;
      nearest = s.name;
    }
    names += (names.empty() ? "" : " ") + std::string(s.name);
  }
  const std::string menu = "a number 1-" + std::to_string(soluteTable().size());
  return "unknown solute " + quoted(text) +
         (nearest.empty() ? "" : ": did you mean " + std::string(nearest) + "?") + " (use " + menu +
         " or a name" + (set.all().size() <= kMostListedNames ? ": " + names : "") + ")";
}

}  // namespace

std::string quoted(std::string_view text) {
  std::string out = "'";
  std::size_t characters = 0;
  for (std::size_t n = 0; n < text.size() && characters < kMaxQuoted; ++characters) {
    const std::string_view rest = text.substr(n);
    if (const std::size_t length = shownSequence(rest)) {
      out.append(rest.substr(0, length));
      n += length;
    } else {
      // A character that is well formed but not shown goes as all its bytes, anything else
      // byte by byte.
      const auto byte = static_cast<unsigned char>(rest[0]);
      std::size_t bytes = byte >= 0xC2 && byte <= 0xF4 ? (byte >= 0xF0   ? 4
                                                          : byte >= 0xE0 ? 3
                                                                         : 2)
                                                       : 1;
      for (std::size_t c = 1; c < bytes; ++c)
        if (c >= rest.size() || (static_cast<unsigned char>(rest[c]) & 0xC0) != 0x80) bytes = 1;
      appendEscaped(out, rest.substr(0, bytes));
      n += bytes;
    }
    if (characters + 1 == kMaxQuoted && n < text.size()) out += "...";
  }
  return out + "'";
}

bool readThreads(long long asked, unsigned& threads, std::string& error) {
  if (asked < 0 || asked > kMaxThreads) {
    error = "expected 0 (one per core) or a thread count from 1 to " + std::to_string(kMaxThreads) +
            " (found " + std::to_string(asked) + ")";
    return false;
  }
  threads =
      asked > 0 ? static_cast<unsigned>(asked) : std::max(1u, std::thread::hardware_concurrency());
  return true;
}

bool readThreads(std::string_view text, unsigned& threads, std::string& error) {
  long long asked = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), asked);
  if (ec == std::errc() && end == text.data() + text.size())
    return readThreads(asked, threads, error);
  error = "expected 0 (one per core) or a thread count from 1 to " + std::to_string(kMaxThreads) +
          " (found " + quoted(text) + ")";
  return false;
}

std::string temperatureProblem(double temperature, const Units& units) {
  if (temperatureAllowed(temperature, units)) return {};
  if (!std::isfinite(temperature))
    return "temperature " + numberText(temperature) + " is not a finite number";
  if (units.kelvin)
    return "temperature " + numberText(temperature) + " K is at or below absolute zero";
  return "temperature " + numberText(temperature) + " °C is at or below absolute zero (-273.15 °C)";
}

std::string pressureProblem(double pressure, const Units& units) {
  if (pressureAllowed(pressure)) return {};
  if (!std::isfinite(pressure))
    return "pressure " + numberText(pressure) + " is not a finite number";
  return "pressure " + numberText(pressure) + " " +
         table::unitText(table::Dimension::kPressure, units) +
         " is below zero (give a positive pressure, or sat or 0 for the saturation pressure)";
}

bool readSolutes(std::string_view list, const SoluteSet& set, std::vector<SoluteParams>& solutes,
                 std::string& error) {
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t end = std::min(list.find(',', start), list.size());
    const std::string_view item = list.substr(start, end - start);
    start = end + 1;
    if (equalsIgnoringCase(item, "all")) {
      solutes.insert(solutes.end(), set.all().begin(), set.all().end());
    } else if (const SoluteParams* found = set.find(item)) {
      solutes.push_back(*found);
    } else {
      error = unknownSolute(item, set);
      return false;
    }
    if (solutes.size() > kMostSolutesNamed) {
      error = "more than " + std::to_string(kMostSolutesNamed) + " solutes named";
      return false;
    }
  }
  return true;
}

const SoluteParams* readOneSolute(std::string_view text, const SoluteSet& set, std::string& error) {
  if (const SoluteParams* found = set.find(text)) return found;
  error = unknownSolute(text, set);
  return nullptr;
}

namespace {

// One of two unit words, in any case: sets `second` where the text is the second one.
bool readUnitWord(std::string_view text, std::string_view what, std::string_view first,
                  std::string_view secondWord, bool& second, std::string& error) {
  if (!equalsIgnoringCase(text, first) && !equalsIgnoringCase(text, secondWord)) {
    error = "unknown " + std::string(what) + " " + quoted(text) + " (use " + std::string(first) +
            " or " + std::string(secondWord) + ")";
    return false;
  }
  second = equalsIgnoringCase(text, secondWord);
  return true;
}

}  // namespace

bool readUnits(std::string_view text, Units& units, std::string& error) {
  return readUnitWord(text, "units", "cal", "si", units.si, error);
}

bool readPressureUnit(std::string_view text, Units& units, std::string& error) {
  return readUnitWord(text, "pressure unit", "bar", "MPa", units.megapascal, error);
}

bool readTemperatureUnit(std::string_view text, Units& units, std::string& error) {
  return readUnitWord(text, "temperature unit", "C", "K", units.kelvin, error);
}

}  // namespace aqsol::requests
