// Physical constants and coefficient tables of the water and solute models.
#pragma once

#include <array>

#include "services/errors.hpp"

namespace aqsol {

// One non-zero entry of an equation-of-state table: row i (density function), column j
// (temperature power), both counted from 1.
struct TableEntry {
  int i;
  int j;
  double value;
};

// Ideal-gas data of one species: Gibbs energy of formation (cal/mol) and entropy
// (cal/(mol K)) at T0 = 298.15 K, and Cp = cpA + cpB 1e-3 T - cpC 1e5 / T^2 (cal/(mol K)).
struct IdealGasData {
  double g298 = 0;
  double s298 = 0;
  double cpA = 0;
  double cpB = 0;
  double cpC = 0;
};

// Everything the calculator treats as constant. Built once by setupConstants and read-only
// afterwards, so one instance may be shared by any number of threads.
struct Constants {
  double rho_c = 0.322778;  // critical density of water, g/cm3
  double T0K = 273.15;      // Celsius to kelvin offset, K
  double T0 = 298.15;       // reference temperature of the ideal-gas functions, K
  double Tc = 647.067;      // critical temperature of water, K
  double Pc = 220.46;       // critical pressure of water, bar
  double Mw = 18.0152;      // molar mass of water, g/mol
  double gW = -54632.39;    // Gibbs energy of ideal-gas water at T0, cal/mol
  double sW = 45.1326;      // entropy of ideal-gas water at T0, cal/(mol K)
  double aW = 7.3483;       // ideal-gas Cp of water: aW + bW 1e-3 T - cW 1e5 / T^2
  double bW = 2.5024;
  double cW = 0.13978;
  double R_bar = 83.14410001672;              // gas constant, bar cm3/(mol K)
  double R_w = 4.61521937;                    // specific gas constant of water, bar cm3/(g K)
  double R_cal = 1.987191683;                 // gas constant, cal/(mol K)
  double s0 = -3.4631815e-5;                  // crossover amplitude at t = 0
  double s1 = -3.0378112e-5;                  // slope of the crossover amplitude in t
  double k = 1.028667;                        // scale of the crossover distance
  double w_delta = 0.23;                      // width of the crossover region in delta - 1
  double w_t = 0.05;                          // width of the crossover region in t
  double q1 = 80, q2 = 1, q3 = 130, q4 = 12;  // exponent factors of the Gaussian weight
  double h = 4;                               // exponent factor of the fourth weight

  // Ideal-gas data of water in the form the ideal-gas functions take.
  IdealGasData waterIdealGas() const { return {gW, sW, aW, bW, cW}; }

  // From the data text, indexed from 1 (index 0 unused).
  std::array<double, 7> a{};  // saturation-pressure coefficients a1..a6
  std::array<double, 7> b{};  // saturated-liquid density coefficients b1..b6
  std::array<double, 9> c{};  // ideal-gas Helmholtz coefficients c1..c8

  // The four equation-of-state tables are compile-time data (eos_tables.hpp), read there by
  // the one-state and the lane evaluations alike.
};

// The calculator's data text: the 20 numbers of the lists a, b and c, in that order.
extern const char kCalculatorDataText[];

// Sets the constants, reads the three coefficient lists from the data text through the data
// reader and fills the four tables. A read failure is raised into errors (the text is fixed, so
// this does not happen in practice) and leaves the affected entries 0.
Constants setupConstants(ErrorSlot& errors);

}  // namespace aqsol
