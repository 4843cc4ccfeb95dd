// Tests of aqsol-table: its option lists, and the program run end to end.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "apps/table/options.hpp"
#include "apps/table/progress.hpp"
#include "apps/table/rows.hpp"
#include "services/cpu_targets.hpp"

namespace aqsol::table {
namespace {

std::vector<double> numbers(std::string_view list) {
  std::vector<double> values;
  std::string error;
  EXPECT_TRUE(parseNumberList(list, values, error)) << list << ": " << error;
  return values;
}

std::string listError(std::string_view list) {
  std::vector<double> values;
  std::string error;
  EXPECT_FALSE(parseNumberList(list, values, error)) << list;
  return error;
}

TEST(TableLists, ValuesAndRanges) {
  EXPECT_EQ(numbers("25"), (std::vector<double>{25}));
  EXPECT_EQ(numbers("1,2.5,-3e1"), (std::vector<double>{1, 2.5, -30}));
  EXPECT_EQ(numbers("0:100:25"), (std::vector<double>{0, 25, 50, 75, 100}));
  EXPECT_EQ(numbers("0.1:0.3:0.1"), (std::vector<double>{0.1, 0.2, 0.3}));  // stop within rounding
  EXPECT_EQ(numbers("0:10:4"), (std::vector<double>{0, 4, 8}));
  EXPECT_EQ(numbers("100:0:-50"), (std::vector<double>{100, 50, 0}));
  EXPECT_EQ(numbers("5:5:1,7"), (std::vector<double>{5, 7}));
  EXPECT_EQ(numbers("5:5:0"), (std::vector<double>{5}));  // start = stop: one value, any step
  // Values are rounded to the decimal places written: 0.3, not 0.30000000000000004.
  EXPECT_EQ(numbers("0:1:0.1")[3], 0.3);
  EXPECT_EQ(numbers("0:1:0.1")[7], 0.7);
  EXPECT_EQ(numbers("-1.25:1:0.05")[29], 0.2);
  EXPECT_EQ(numbers("0:3e-3:1e-3")[1], 0.001);
  EXPECT_EQ(numbers("+5"), (std::vector<double>{5}));
}

// Each value of a range is start + n step written to the places of start and step and read
// back, as printf and strtod would: ties, long decimals and large magnitudes alike.
TEST(TableLists, RangeValuesAreTheirDecimalTextsReadBack) {
  std::mt19937_64 random(20261208);
  for (int range = 0; range < 3000; ++range) {
    const int startPlaces = static_cast<int>(random() % 9),
              stepPlaces = static_cast<int>(random() % 9);
    const auto decimal = [](std::int64_t units, int places) {
      const auto scale = static_cast<std::int64_t>(std::pow(10, places));
      const std::int64_t size = units < 0 ? -units : units;
      return (units < 0 ? "-" : "") + std::to_string(size / scale) + "." +
             std::to_string(size % scale + scale).substr(1);
    };
    const std::string start =
        decimal(static_cast<std::int64_t>(random() % 2'000'001) - 1'000'000, startPlaces);
    const std::string step = decimal(static_cast<std::int64_t>(random() % 99'999) + 1, stepPlaces);
    const double first = std::strtod(start.c_str(), nullptr),
                 by = std::strtod(step.c_str(), nullptr);
    const std::string text = start + ":" + std::to_string(first + 60 * by) + ":" + step;
    const std::vector<double> values = numbers(text);
    ASSERT_GE(values.size(), 60u) << text;
    for (std::size_t n = 0; n + 1 < values.size(); ++n) {
      char printed[400];
      std::snprintf(printed, sizeof printed, "%.*f", std::max(startPlaces, stepPlaces),
                    first + static_cast<double>(n) * by);
      ASSERT_EQ(std::bit_cast<std::uint64_t>(values[n]),
                std::bit_cast<std::uint64_t>(std::strtod(printed, nullptr) + 0.0))
          << text << " value " << n;
    }
  }
}

TEST(TableLists, MalformedItemsAreNamed) {
  EXPECT_NE(listError("1,x").find("'x'"), std::string::npos);
  EXPECT_NE(listError("").find("not a number"), std::string::npos);
  EXPECT_NE(listError("1:2").find("start:stop:step"), std::string::npos);
  EXPECT_NE(listError("0:10:0").find("never reaches"), std::string::npos);
  EXPECT_NE(listError("0:10:-1").find("never reaches"), std::string::npos);
  EXPECT_NE(listError("nan").find("not a number"), std::string::npos);
  EXPECT_NE(listError("0:1e9:1e-3").find("too many"), std::string::npos);
  EXPECT_NE(listError("0:1:1e-320").find("too many"), std::string::npos);  // below resolution
  EXPECT_NE(listError("0:1.7976931348623157e308:5.992310449541053e307").find("too large"),
            std::string::npos);
  EXPECT_NE(listError("+-5").find("not a number"), std::string::npos);
  EXPECT_NE(listError("1e-400").find("out of range"), std::string::npos);
  EXPECT_NE(listError("1e400").find("out of range"), std::string::npos);
  EXPECT_NE(listError("0:1e999:1").find("out of range"), std::string::npos);
  // Quoted arguments are cut after 60 characters and show bytes that are not UTF-8 escaped.
  const std::string quoted = listError(std::string(100, '7') + "x");
  EXPECT_NE(quoted.find("'" + std::string(60, '7') + "...'"), std::string::npos) << quoted;
  EXPECT_NE(listError("1\xff\x01,2").find("'1\\xFF\\x01'"), std::string::npos);
  EXPECT_NE(listError("\xc3\xa9").find("'\xc3\xa9'"), std::string::npos);  // UTF-8 kept
  // Nothing that a terminal would act on reaches it: C1 controls (CSI), the bidirectional
  // override, an overlong slash, a surrogate, a code point beyond U+10FFFF.
  const std::pair<const char*, const char*> escaped[] = {
      {"X\xc2\x9bY", "'X\\xC2\\x9BY'"},
      {"a\xe2\x80\xae"
       "b",
       "'a\\xE2\\x80\\xAEb'"},
      {"\xc0\xaf", "'\\xC0\\xAF'"},
      {"\xed\xa0\x80", "'\\xED\\xA0\\x80'"},
      {"\xf4\x90\x80\x80", "'\\xF4\\x90\\x80\\x80'"},
      {"\x1b[2J", "'\\x1B[2J'"}};
  for (const auto& [text, shown] : escaped)
    EXPECT_NE(listError(text).find(shown), std::string::npos) << listError(text);
}

bool parse(std::vector<std::string_view> args, Options& options, std::string& error) {
  return parseOptions(args, options, error);
}

TEST(TableOptions, SolutesByNameNumberOrAll) {
  Options o;
  std::string error;
  ASSERT_TRUE(parse({"--solute", "co2,1,h3bo3", "--T", "25", "--P=sat,0,5"}, o, error)) << error;
  ASSERT_EQ(o.solutes.size(), 3u);
  EXPECT_EQ(o.solutes[0].name, "CO2");
  EXPECT_EQ(o.solutes[1].name, "H2");
  EXPECT_EQ(o.solutes[2].name, "H3BO3");
  ASSERT_EQ(o.pressures.size(), 3u);
  EXPECT_TRUE(o.pressures[0].saturation);
  EXPECT_TRUE(o.pressures[1].saturation);
  EXPECT_FALSE(o.pressures[2].saturation);
  Options all;
  ASSERT_TRUE(parse({"--solute", "ALL", "--T", "25", "--P", "1", "--format", "tsv"}, all, error));
  EXPECT_EQ(all.solutes.size(), 20u);
  EXPECT_EQ(all.format, Format::kTsv);
}

TEST(TableOptions, BadArgumentsAreNamed) {
  struct Case {
    std::vector<std::string_view> args;
    std::string_view mentions;
  };
  const Case cases[] = {
      {{"--solute", "XeF2", "--T", "25", "--P", "1"}, "XeF2"},
      {{"--solute", "2.5", "--T", "25", "--P", "1"}, "2.5"},
      {{"--solute", "CO2", "--T", "-300", "--P", "1"},
       "-300 °C is at or below absolute zero (-273.15 °C)"},
      {{"--solute", "CO2", "--T", "25", "--P", "1,-5"}, "pressure -5 bar is below zero"},
      {{"--solute", "all", "--T", "0:999999:1", "--P", "0:999999:1"}, "add --force"},
      {{"--solute", "CO2", "--T", "25", "--P", "1", "--format", "xml"}, "xml"},
      {{"--solute", "CO2", "--T", "25", "--P", "1", "--bogus", "1"}, "--bogus"},
      {{"--solute", "CO2", "--T", "25"}, "--P is required"},
      {{"--solute", "CO2", "--T"}, "'--T': missing value"},
  };
  for (const Case& c : cases) {
    Options o;
    std::string error;
    EXPECT_FALSE(parse(c.args, o, error)) << c.mentions;
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
  }
}

// Runs the program with a shell command line; returns its standard output and exit code.
std::string run(const std::string& arguments, int& exitCode, const std::string& environment = "") {
  const std::string command =
      environment + " " + std::string(AQSOL_TABLE_BINARY) + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  exitCode = WEXITSTATUS(pclose(pipe));
  return out;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

TEST(TableProgram, ComputesTheRequestedRowsInOrder) {
  int code;
  const auto out = lines(run("--solute H2,CO2,CH4 --T 25 --P 1", code));
  EXPECT_EQ(code, 0);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(
      out[0],
      "solute,T_C,P_bar,phase,rho,drho_dP,drho_dT,d2rho_dT2,V_H2O,Cp_H2O,lnf_H2O,lnkH,V2,Cp2,Gaq,"
      "S2,K_aq_gas,range,status");
  EXPECT_TRUE(out[1].starts_with("H2,25,1,liquid,0.997041")) << out[1];
  EXPECT_NE(out[1].find(",11.17458"), std::string::npos);
  EXPECT_TRUE(out[2].starts_with("CO2,25,1,liquid,0.997041")) << out[2];
  EXPECT_NE(out[2].find(",7.3896"), std::string::npos);
  EXPECT_NE(out[3].find(",10.6448"), std::string::npos);
  for (std::size_t n = 1; n < out.size(); ++n) EXPECT_TRUE(out[n].ends_with(",,ok")) << out[n];
}

TEST(TableProgram, FailedRowsHaveAStatusAndEmptyValues) {
  int code;
  const auto out = lines(run("--solute Ar --T 25,400 --P sat --format tsv", code));
  EXPECT_EQ(code, 0);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_TRUE(out[1].starts_with("Ar\t25\t0.0317243")) << out[1];
  EXPECT_EQ(out[2],
            "Ar\t400\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\tno saturation pressure at or above the "
            "critical "
            "temperature");
}

TEST(TableProgram, ExitCodes) {
  int code;
  EXPECT_NE(run("--help", code).find("--solute LIST"), std::string::npos);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(run("--solute CO2 --T 25 --P x", code), "");
  EXPECT_EQ(code, 2);
  run("", code);
  EXPECT_EQ(code, 2);
}

// A run of rows from anywhere in a grid: solutes outermost, then temperatures, then pressures,
// across every boundary.
TEST(TableRows, GridRequestsRunThroughSolutesStatesAndTheirBoundaries) {
  Options grid;
  grid.solutes.resize(2);
  grid.temperaturesC = {10, 20, 30};
  grid.pressures = {{true, 0}, {false, 5}, {false, 50}, {false, 500}};
  Options water = grid;
  water.solutes.clear();
  for (const Options* options : {&grid, &water}) {
    std::vector<RowRequest> expected;
    const std::size_t nP = options->pressures.size();
    for (std::size_t s = 0; s < std::max<std::size_t>(1, options->solutes.size()); ++s)
      for (std::size_t state = 0; state < options->statesPerSolute(); ++state) {
        const SoluteParams* solute = options->solutes.empty() ? nullptr : &options->solutes[s];
        expected.push_back(
            {solute, options->temperaturesC[state / nP], options->pressures[state % nP]});
      }
    for (std::size_t first = 0; first < expected.size(); ++first)
      for (std::size_t count = 0; first + count <= expected.size(); count += 5) {
        std::vector<RowRequest> made;
        appendGridRequests(*options, first, count, made);
        ASSERT_EQ(made.size(), count);
        for (std::size_t n = 0; n < count; ++n) {
          const RowRequest& want = expected[first + n];
          EXPECT_TRUE(made[n].solute == want.solute && made[n].temperatureC == want.temperatureC &&
                      made[n].pressure.saturation == want.pressure.saturation &&
                      made[n].pressure.bar == want.pressure.bar)
              << "row " << first + n << " from " << first;
        }
      }
  }
}

TEST(TableRows, CsvQuotesMessagesWithCommas) {
  Row row;
  row.soluteName = "H2";
  row.temperatureC = 700;
  row.pressureBar = 1;
  row.status = "did not converge at T = 973.15 K, P = 1 bar";
  EXPECT_EQ(formatRow(TableStyle{}, row),
            "H2,700,1,,,,,,,,,,,,,,,,\"did not converge at T = 973.15 K, P = 1 bar\"\n");
}

// A chunk's rows written together are each row's own text: a temperature's text is reused
// only for the same bits (0 and -0 differ), in every format.
TEST(TableRows, RowsWrittenTogetherAreEachRowsText) {
  std::vector<Row> rows;
  for (const double T : {25.0, 25.0, 0.0, -0.0, -0.0, 0.0, 1e-300, 25.0}) {
    Row row;
    row.soluteName = "CO2";
    row.temperatureC = T;
    row.pressureBar = 1;
    row.status = "failed";
    rows.push_back(row);
  }
  for (const Format format : {Format::kCsv, Format::kTsv, Format::kJson}) {
    const TableStyle style{format, {}, true};
    std::string together, oneByOne;
    appendRows(style, rows, together);
    for (const Row& row : rows) oneByOne += formatRow(style, row);
    EXPECT_EQ(together, oneByOne);
    EXPECT_NE(oneByOne.find("-0"), std::string::npos);
  }
}

// Pressures whose texts were made beforehand are written as they would be made, in the units
// asked: only the same bits find a text (0 and -0, a pressure's neighbour and other units do
// not), and pressures that were not asked are made.
TEST(TableRows, PressureTextsMadeBeforehandAreTheRowsOwn) {
  const std::vector<PressureItem> asked = {{true, 0},    {false, 0}, {false, 1},
                                           {false, 1e5}, {false, 1}, {false, 0.1}};
  std::vector<Row> rows;
  for (const double P : {0.0, -0.0, 1.0, std::nextafter(1.0, 2.0), 1e5, 0.1, 0.2, 1e-5}) {
    Row row;
    row.temperatureC = 25;
    row.pressureBar = P;
    row.status = "failed";
    rows.push_back(row);
  }
  for (const Units units : {Units{}, Units{false, true}, Units{true, true}}) {
    const TableStyle style{Format::kCsv, units, false};
    std::string withTexts, without;
    appendRows(style, rows, withTexts, PressureTexts(asked, units));
    appendRows(style, rows, without);
    EXPECT_EQ(withTexts, without);
  }
}

// Every state of a grid over the whole range, saturation included, gets a row with a status.
TEST(TableProgram, WholeRangeGridEveryRowEnds) {
  int code;
  const auto out =
      lines(run("--solute CO2 --T 0.01,50:1000:50 --P sat,0.01,1,10:20000:1999", code));
  EXPECT_EQ(code, 0);
  ASSERT_EQ(out.size(), 1u + 21 * 14);
  int ok = 0;
  for (std::size_t n = 1; n < out.size(); ++n) {
    ok += out[n].ends_with(",ok");
    EXPECT_EQ(std::count(out[n].begin(), out[n].end(), ','), 18) << out[n];
  }
  EXPECT_GT(ok, 250);
}

// The reference output of a broad grid (every solute; liquid, vapour, near-critical and failing
// states up to 20,000 bar), kept from an earlier version: any change of a printed digit, on any
// number of threads, fails here.
// The reference grid: every solute over the whole range, failed rows included.
constexpr const char* kReferenceGrid =
    "--solute all --T 0.01,25,100,250,350,373,373.9,380,600,1000 "
    "--P sat,0.001,0.3,1,220.6,300,1000,5000,20000";

std::string referenceTable() {
  std::ifstream file(std::string(AQSOL_GOLDEN_DIR) + "/table_grid.csv", std::ios::binary);
  std::ostringstream reference;
  reference << file.rdbuf();
  return reference.str();
}

TEST(TableThreaded, OutputIsByteIdenticalToTheReferenceOnAnyThreadCount) {
  const std::string reference = referenceTable();
  ASSERT_GT(reference.size(), 400'000u);
  const std::string grid = kReferenceGrid;
  for (const char* threads : {"1", "2", "5"}) {
    int code;
    const std::string out = run(grid + " --threads " + threads, code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(out == reference) << "output differs on " << threads << " threads";
  }
}

// One state at a time, four lanes and eight give the same bytes; a width this processor lacks
// is reported as skipped.
class TableLanes : public testing::TestWithParam<int> {};

TEST_P(TableLanes, OutputIsByteIdenticalToTheReference) {
  const int lanes = GetParam();
  if (lanes > cpuTargets().widestLanes())
    GTEST_SKIP() << "this processor has no " << lanes << "-lane path";
  int code;
  const std::string out = run(std::string(kReferenceGrid) + " --threads 2", code,
                              "AQSOL_LANES=" + std::to_string(lanes));
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(out == referenceTable()) << "output differs with " << lanes << " lanes";
}

INSTANTIATE_TEST_SUITE_P(Widths, TableLanes, testing::Values(1, 4, 8),
                         [](const testing::TestParamInfo<int>& width) {
                           return std::to_string(width.param) + "Lanes";
                         });

TEST(TableOptions, RepeatedSolutesAreKeptInOrderAndHugeTablesNeedForce) {
  Options o;
  std::string error;
  // One entry per solute named, in the order named, so that names pair with their rows.
  ASSERT_TRUE(parse({"--solute", "H2,CO2,co2,5,h2", "--T", "25", "--P", "1"}, o, error));
  std::vector<std::string_view> names;
  for (const SoluteParams& s : o.solutes) names.push_back(s.name);
  EXPECT_EQ(names, (std::vector<std::string_view>{"H2", "CO2", "CO2", "CO2", "H2"}));
  ASSERT_TRUE(parse({"--solute", "all,all", "--T", "25", "--P", "1"}, o = Options(), error));
  EXPECT_EQ(o.solutes.size(), 40u);
  std::string many = "all";
  for (int n = 0; n < 600; ++n) many += ",all";  // 12,020 solutes
  EXPECT_FALSE(parse({"--solute", many, "--T", "25", "--P", "1"}, o = Options(), error));
  EXPECT_NE(error.find("more than 10000 solutes named"), std::string::npos) << error;
  Options h;
  const std::vector<std::string_view> huge = {"--solute",   "H2",  "--T",
                                              "0:999:1e-3", "--P", "1:2000:1"};
  EXPECT_FALSE(parse(huge, h, error));
  EXPECT_NE(error.find("1998002000 rows"), std::string::npos) << error;
  std::vector<std::string_view> forced = huge;
  forced.push_back("--force");
  Options f;
  ASSERT_TRUE(parse(forced, f, error)) << error;
  EXPECT_EQ(f.rowCount(), 1'998'002'000u);
  Options help;
  ASSERT_TRUE(parse({"--T", "x", "--help"}, help, error));
  EXPECT_TRUE(help.help);
}

TEST(TableOptions, ThreadCounts) {
  Options options;
  std::string error;
  std::vector<std::string_view> args = {"--solute", "H2", "--T",       "25",
                                        "--P",      "1",  "--threads", "3"};
  ASSERT_TRUE(parseOptions(args, options, error)) << error;
  EXPECT_EQ(options.threads, 3u);
  args.back() = "0";  // one per core
  ASSERT_TRUE(parseOptions(args, options, error)) << error;
  EXPECT_EQ(options.threads, std::max(1u, std::thread::hardware_concurrency()));
  for (std::string_view bad : {"-1", "x", "257", "2.5", ""}) {
    args.back() = bad;
    Options o;
    EXPECT_FALSE(parseOptions(args, o, error)) << bad;
    EXPECT_NE(error.find("--threads"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace aqsol::table

namespace aqsol::table {
namespace {

TEST(TableProgress, LineShowsRowsRateAndTimeLeftWithinTheWidth) {
  EXPECT_EQ(progressLine(500'000, 2'000'000, 2.0, 100),
            "[#######                       ] 25% 500,000/2,000,000 rows 250,000/s 6 s left");
  EXPECT_EQ(progressLine(1, 1'000'000, 1.0, 200).substr(33),
            "0% 1/1,000,000 rows 1/s 277 h 46 min left");
  for (int width : {20, 40, 60, 80})
    EXPECT_LT(progressLine(123'456, 9'999'999, 3.5, width).size(), static_cast<std::size_t>(width));
}

// A terminal that narrowed since the line was drawn has wrapped it: every row it took is cleared.
TEST(TableProgress, ClearingReachesEveryRowTheLineWrappedOnto) {
  EXPECT_EQ(clearingText(0, 80), "\r\033[J");
  EXPECT_EQ(clearingText(79, 80), "\r\033[J");
  EXPECT_EQ(clearingText(60, 30), "\033[1A\r\033[J");
  EXPECT_EQ(clearingText(61, 30), "\033[2A\r\033[J");
  EXPECT_EQ(clearingText(79, 0), "\033[78A\r\033[J");
}

}  // namespace
}  // namespace aqsol::table
