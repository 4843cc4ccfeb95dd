// The C library: the same numbers as the rows of aqsol-table, bit for bit, one state or many on
// any number of threads; statuses and messages for states and for bad arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "aqsol/aqsol.h"
#include "bindings/columns.hpp"
#include "calculator/state_rows.hpp"
#include "services/cpu_targets.hpp"

namespace aqsol {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const Constants& modelConstants() {
  static const Constants k = [] {
    ErrorSlot errors;
    return setupConstants(errors);
  }();
  return k;
}

// The fields of aqsol_values from T_C to K_aq_gas, in column order.
std::vector<double> numbers(const aqsol_values& v) {
  return {v.T_C,     v.P_bar, v.rho, v.drho_dP, v.drho_dT, v.d2rho_dT2, v.V_H2O,   v.Cp_H2O,
          v.lnf_H2O, v.lnkH,  v.V2,  v.Cp2,     v.Gaq,     v.S2,        v.K_aq_gas};
}

// Bit for bit, NaN equal to NaN.
void expectSame(double a, double b, const std::string& what) {
  if (std::isnan(a) && std::isnan(b)) return;
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << what << ": " << a << " against " << b;
}

TEST(CInterface, ManyStatesOnAnyThreadCountAreTheTablesRows) {
  std::vector<double> T, P;
  for (double t : {0.01, 25.0, 100.0, 250.0, 350.0, 373.9, 380.0, 600.0, 1000.0})
    for (double p : {0.0, 0.001, 1.0, 220.6, 300.0, 1000.0, 20000.0}) {
      T.push_back(t);
      P.push_back(p);
    }
  const SoluteParams* co2 = findSolute("CO2");
  std::vector<RowRequest> requests;
  for (std::size_t i = 0; i < T.size(); ++i) requests.push_back({co2, T[i], {P[i] == 0, P[i]}});
  std::vector<Row> rows(T.size());
  computeRows(modelConstants(), requests, rows);
  for (unsigned threads : {1u, 3u}) {
    std::vector<aqsol_values> values(T.size());
    std::vector<int> statuses(T.size());
    std::vector<char> messages(T.size() * AQSOL_MESSAGE_SIZE);
    ASSERT_EQ(aqsol_properties_many("co2", T.size(), T.data(), P.data(), threads, values.data(),
                                    statuses.data(), messages.data()),
              AQSOL_OK);
    int failed = 0;
    for (std::size_t i = 0; i < T.size(); ++i) {
      const std::vector<double> got = numbers(values[i]);
      std::size_t n = 0;
      for (std::size_t c = table::kTemperatureColumn; c <= table::kLastValueColumn; ++c) {
        if (c == table::kPhaseColumn) continue;
        expectSame(got[n++], table::columnValue(rows[i], c).value_or(kNaN),
                   std::string(table::kColumns[c].name) + " of state " + std::to_string(i));
      }
      const std::string message(&messages[i * AQSOL_MESSAGE_SIZE]);
      EXPECT_EQ(message, rows[i].status.empty() ? "ok" : rows[i].status);
      EXPECT_EQ(statuses[i], rows[i].status.empty() ? AQSOL_OK : AQSOL_NOT_COMPUTED);
      EXPECT_EQ(values[i].phase,
                rows[i].status.empty() ? static_cast<int>(rows[i].phase) : AQSOL_PHASE_NONE);
      EXPECT_EQ(values[i].range, rows[i].status.empty() ? rows[i].range : 0u);
      failed += statuses[i] != AQSOL_OK;
    }
    EXPECT_GT(failed, 0);
    aqsol_values one;
    EXPECT_EQ(aqsol_properties("5", T[10], P[10], &one, nullptr, 0), statuses[10]);
    expectSame(one.lnkH, values[10].lnkH, "one state against many");
  }
}

TEST(CInterface, WaterAloneAndNames) {
  aqsol_values water, co2;
  char message[8];
  ASSERT_EQ(aqsol_properties(nullptr, 25, 1, &water, message, sizeof message), AQSOL_OK);
  EXPECT_STREQ(message, "ok");
  ASSERT_EQ(aqsol_properties("", 25, 1, &water, nullptr, 0), AQSOL_OK);
  ASSERT_EQ(aqsol_properties("CO2", 25, 1, &co2, nullptr, 0), AQSOL_OK);
  expectSame(water.rho, co2.rho, "rho");
  EXPECT_TRUE(std::isnan(water.lnkH) && std::isnan(water.K_aq_gas));
  EXPECT_EQ(water.phase, AQSOL_PHASE_LIQUID);
  EXPECT_EQ(aqsol_solute_count(), 20);
  EXPECT_STREQ(aqsol_solute_name(4), "CO2");
  EXPECT_EQ(aqsol_solute_name(20), nullptr);
  EXPECT_EQ(aqsol_solute_index("co2"), 4);
  EXPECT_EQ(aqsol_solute_index("20"), 19);
  EXPECT_EQ(aqsol_solute_index("XeF2"), -1);
  EXPECT_STREQ(aqsol_range_flag_name(AQSOL_RANGE_WATER_DEVIATES), "water-deviates");
  EXPECT_STREQ(aqsol_range_flag_name(AQSOL_RANGE_UNREFERENCED), "unreferenced");
  EXPECT_EQ(aqsol_range_flag_name(3), nullptr);
  EXPECT_STREQ(aqsol_phase_name(AQSOL_PHASE_SUPERCRITICAL), "supercritical");
  EXPECT_EQ(std::string(aqsol_version()).find('.'), 1u);
  EXPECT_EQ(std::string(aqsol_cpu_target()), targetName(cpuTargets().active));
}

TEST(CInterface, BadArgumentsComputeNothingAndSayWhy) {
  aqsol_values v;
  char message[AQSOL_MESSAGE_SIZE];
  EXPECT_EQ(aqsol_properties("XeF2", 25, 1, &v, message, sizeof message), AQSOL_BAD_ARGUMENT);
  EXPECT_NE(std::string(message).find("XeF2"), std::string::npos);
  EXPECT_EQ(aqsol_properties("CO2", -300, 1, &v, message, sizeof message), AQSOL_BAD_ARGUMENT);
  EXPECT_NE(std::string(message).find("T_C"), std::string::npos);
  EXPECT_EQ(aqsol_properties("CO2", 25, kNaN, &v, message, 4), AQSOL_BAD_ARGUMENT);
  EXPECT_STREQ(message, "P_b");  // cut to the room given, with its terminating zero
  EXPECT_EQ(aqsol_properties("CO2", 25, 1, nullptr, nullptr, 0), AQSOL_BAD_ARGUMENT);
  const double T[] = {25, 25}, P[] = {1, -1};
  aqsol_values values[2];
  char messages[2][AQSOL_MESSAGE_SIZE];
  EXPECT_EQ(aqsol_properties_many("CO2", 2, T, P, 0, values, nullptr, messages[0]),
            AQSOL_BAD_ARGUMENT);
  EXPECT_NE(std::string(messages[0]).find("state 1"), std::string::npos);
  EXPECT_EQ(aqsol_properties_many("CO2", 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr),
            AQSOL_OK);
  // A call refuses exactly the states that checking the request refuses, with its message.
  const double kInf = std::numeric_limits<double>::infinity();
  for (const double t : {-273.15, std::nextafter(-273.15, 0.0), 25.0, kInf, -kInf, kNaN})
    for (const double p : {0.0, -0.0, -1e-300, 1.0, kInf, kNaN}) {
      const bool refusedByCheck =
          aqsol_check_request(nullptr, 0, "CO2", t, p, 1, message) == AQSOL_BAD_ARGUMENT;
      const bool refusedByCall = aqsol_properties_many("CO2", 1, &t, &p, 1, values, nullptr,
                                                       messages[0]) == AQSOL_BAD_ARGUMENT;
      EXPECT_EQ(refusedByCheck, refusedByCall) << t << " " << p;
      if (refusedByCheck) {
        EXPECT_EQ(std::string(messages[0]), std::string(message) + " (state 0)");
      }
    }
  EXPECT_EQ(aqsol_properties("CO2", 400, AQSOL_SAT, &v, message, sizeof message),
            AQSOL_NOT_COMPUTED);
  EXPECT_NE(std::string(message).find("saturation"), std::string::npos);
  EXPECT_TRUE(std::isnan(v.rho) && std::isnan(v.P_bar));
  EXPECT_EQ(v.phase, AQSOL_PHASE_NONE);
}

// Results written over the states still being read (or over each other) would be corrupted
// silently: overlapping arrays are refused before anything is computed.
TEST(CInterface, OverlappingArraysAreRefused) {
  constexpr std::size_t n = 64;
  std::vector<unsigned char> memory(n * sizeof(aqsol_values) + n * 2 * sizeof(double));
  auto* values = reinterpret_cast<aqsol_values*>(memory.data());
  auto* T = reinterpret_cast<double*>(memory.data() + sizeof(aqsol_values));  // inside values
  std::vector<double> P(n, 1.0), safeT(n, 25.0);
  for (std::size_t i = 0; i < n; ++i) T[i] = 25;
  char message[AQSOL_MESSAGE_SIZE];
  EXPECT_EQ(aqsol_properties_many("CO2", n, T, P.data(), 4, values, nullptr, message),
            AQSOL_BAD_ARGUMENT);
  EXPECT_STREQ(message,
               "arrays overlap: values and T_C share memory (no array written may overlap "
               "another)");
  int statuses[n];
  auto* inValues = reinterpret_cast<int*>(values);
  EXPECT_EQ(aqsol_properties_many("CO2", n, safeT.data(), P.data(), 4, values, inValues, message),
            AQSOL_BAD_ARGUMENT);
  EXPECT_NE(std::string(message).find("values and statuses"), std::string::npos);
  // One array for both inputs is fine: nothing writes it.
  std::vector<aqsol_values> apart(n);
  EXPECT_EQ(aqsol_properties_many("CO2", n, P.data(), P.data(), 4, apart.data(), statuses, nullptr),
            AQSOL_OK);
}

// A menu number is a plain integer: no exponent, sign, point or digits past the 17th.
TEST(CInterface, SoluteIndicesArePlainIntegers) {
  EXPECT_EQ(aqsol_solute_index("5"), 4);
  EXPECT_EQ(aqsol_solute_index("20"), 19);
  for (const char* text : {"1e0", "+05", "4.99999999999999999", "5.0", "-1", " 5", "0", "21", ""})
    EXPECT_EQ(aqsol_solute_index(text), -1) << text;
}

}  // namespace
}  // namespace aqsol
