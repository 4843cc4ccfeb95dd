// Where the model was shown to work: flags on a computed state that say why its numbers may not
// mean what they seem. The values are still computed; only impossible ones fail.
#pragma once

#include <cstddef>
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
  // Outside the states compared with IAPWS-95: above 1,000 C or 10,000 bar, or below -95 C.
  kRangeBeyondEos = 1u << 2,
  // Where the water's density departs from IAPWS-95's stable phase by more than 1 %, or its
  // Cp, d rho/dP, d rho/dT or d2rho/dT2 by more than 5 % (validity_tables).
  kRangeWaterDeviates = 1u << 3,
  // Outside the temperatures over which the solute's Henry constant was compared with a
  // reference.
  kRangeSoluteExtrapolated = 1u << 4,
  // Where the solute's ln kH departs from its reference by more than 0.1.
  kRangeReferenceDeviates = 1u << 5,
  // The solute's Henry constant was compared with no reference.
  kRangeUnreferenced = 1u << 6,
};
inline constexpr int kRangeFlagCount = 7;

// The words of the flags, bit by bit.
inline constexpr std::string_view kRangeFlagWords[kRangeFlagCount] = {"ice",
                                                                      "metastable",
                                                                      "beyond-eos",
                                                                      "water-deviates",
                                                                      "solute-extrapolated",
                                                                      "reference-deviates",
                                                                      "unreferenced"};

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

// What a solute's Henry constant was compared with, and where it departs from it.
class SoluteComparison {
 public:
  // A built-in solute by the validity tables; a species file's by its provenance.
  explicit SoluteComparison(const SoluteParams& solute);
  // kRangeUnreferenced, or kRangeSoluteExtrapolated outside the compared temperatures and
  // kRangeReferenceDeviates where ln kH departs from the reference, at T (K).
  unsigned flagsAt(double T) const;

 private:
  bool referenced_ = false;
  bool deviatesThroughout_ = false;                  // a species file's solute says so
  double lowest_ = 0, highest_ = 0;                  // K
  std::size_t firstDeparture_ = 0, departures_ = 0;  // its intervals in the departure table
};

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

// The flags as words separated by spaces (kRangeFlagWords), empty for none.
std::string rangeText(unsigned flags);

}  // namespace aqsol
