// Where the model was shown to work: flags on a computed state that say why its numbers may not
// mean what they seem. The values are still computed; only impossible ones fail.
#pragma once

#include <string>
#include <string_view>

#include "calculator/constants.hpp"
#include "calculator/solutes.hpp"

namespace aqsol {

enum RangeFlag : unsigned {
  // The stable phase of water at (T, P) is a solid (IAPWS R14-08 melting and sublimation
  // pressures): the values are those of the metastable fluid.
  kRangeIce = 1u << 0,
  // Below the critical temperature, the root lies on the other side of the saturation curve
  // from the stable phase (a superheated liquid or a supersaturated vapour).
  kRangeMetastable = 1u << 1,
  // Above 1,000 C or 10,000 bar, beyond the states compared with IAPWS-95.
  kRangeBeyondEos = 1u << 2,
  // 360-400 C and 190-300 bar, around the states where Cp of water departs from IAPWS-95 by
  // more than 5 % (374-390 C, 220-270 bar): properties made from second derivatives (Cp_H2O,
  // d2rho_dT2, Cp2, S2 and V2 near there) lose their meaning.
  kRangeNearCritical = 1u << 3,
  // Outside the temperatures over which the solute's Henry constant was compared with a
  // reference: the range of validity of IAPWS G7-04 for its nine gases; 0-50 C for the others,
  // compared at 25 C only.
  kRangeSoluteExtrapolated = 1u << 4,
};

// The IAPWS R14-08 sublimation pressure of ice Ih (bar), 50 K <= T <= 273.16 K.
double sublimationPressureOfIce(double T);

// The IAPWS R14-08 melting pressure (bar) of the ice that bounds the fluid from above at T (K):
// ice Ih below 273.16 K for the lower bound of the liquid (see iceIsStable), and ice III, V, VI
// or VII for the upper bound, from 251.165 K to 715 K.
double meltingPressureOfIceIh(double T);
double upperMeltingPressure(double T);

// The homogeneous ice nucleation temperature (K) at P (bar): the lowest temperature at which
// liquid water exists, even supercooled. The line that bounds the range of IAPWS G12-15, from
// 235.15 K at 1 bar to 181 K at 2,000 bar (it is held at that temperature above).
double homogeneousNucleationTemperature(double P);

// Whether a liquid at T (K) and P (bar) would freeze at once: below the homogeneous ice
// nucleation temperature, at pressures above the sublimation pressure of ice (below it the
// vapour is the stable phase). False at or below 0 K.
bool belowIceNucleation(double T, double P);

// Whether the stable phase of water at T (K) and P (bar) is a solid.
bool iceIsStable(double T, double P);

// Whether a solution of reduced density delta at T (K) and P (bar) lies across the saturation
// curve from the stable phase (below Tc, with the model's saturation pressure Psat in bar).
bool isMetastable(const Constants& k, double T, double P, double delta, double Psat);

// The flags of water at T (K) and P (bar) whose solution has reduced density delta; Psat (bar)
// is the model's saturation pressure at T below the critical temperature (ignored above).
unsigned waterRangeFlags(const Constants& k, double T, double P, double delta, double Psat);

// The temperatures (K) over which a solute's Henry constant was compared with a reference.
struct ComparedTemperatures {
  double lowest = 0, highest = 0;
  // kRangeSoluteExtrapolated where T (K) lies outside them, else 0.
  unsigned flagsAt(double T) const {
    return T < lowest || T > highest ? unsigned{kRangeSoluteExtrapolated} : 0u;
  }
};
ComparedTemperatures comparedTemperatures(const SoluteParams& solute);

// The phase of a computed state of water.
enum class Phase : unsigned char {
  kLiquid,         // below the critical temperature, at or above the critical density
  kVapour,         // below the critical temperature and density; or above the critical
                   // temperature and below the critical pressure
  kSupercritical,  // at or above both the critical temperature and the critical pressure
};

// The phase of water at T (K) and P (bar) whose solution has reduced density delta.
Phase phaseOf(const Constants& k, double T, double P, double delta);

// "liquid", "vapour" or "supercritical".
std::string_view phaseText(Phase phase);

// The flags as words separated by spaces ("ice", "metastable", "beyond-eos", "near-critical",
// "solute-extrapolated"), empty for none.
std::string rangeText(unsigned flags);

}  // namespace aqsol
