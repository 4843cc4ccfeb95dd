// Command-line options of aqsol-table: solutes, temperatures, pressures and output format.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calculator/solutes.hpp"

namespace aqsol::table {

// One pressure of the --P list: a value in bar, or the saturation pressure at each temperature.
struct PressureItem {
  bool saturation = false;
  double bar = 0;
};

enum class Format { kCsv, kTsv };

struct Options {
  bool help = false;
  std::vector<SoluteParams> solutes;
  std::vector<double> temperaturesC;  // degrees Celsius
  std::vector<PressureItem> pressures;
  Format format = Format::kCsv;
  unsigned threads = 0;  // worker threads; 0: one per core
};

// Upper bound on --threads.
inline constexpr unsigned kMaxThreads = 256;

// Upper bound on the values one list may expand to, so that a mistyped step cannot ask for an
// endless table.
inline constexpr std::size_t kMaxListValues = 1'000'000;

// Parses the arguments after the program name. Returns true and fills `options` on success;
// otherwise returns false with `error` naming the offending argument.
bool parseOptions(std::span<const std::string_view> args, Options& options, std::string& error);

// Expands a numeric LIST: comma-separated values and ranges start:stop:step (stop included when
// reached within rounding). Returns false with `error` set on a malformed item.
bool parseNumberList(std::string_view list, std::vector<double>& values, std::string& error);

// The usage text printed by --help.
std::string_view usageText();

}  // namespace aqsol::table
