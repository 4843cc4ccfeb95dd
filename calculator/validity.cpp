// Where the model was shown to work.
#include "calculator/validity.hpp"

#include <algorithm>
#include <cmath>

#include "calculator/validity_tables.hpp"

namespace aqsol {
namespace {

constexpr double kTriplePointT = 273.16;      // K
constexpr double kTriplePointP = 611.657e-5;  // bar
constexpr double kBarPerMPa = 10;

// Triple points of the melting curves (K): Ih-III-liquid, III-V-liquid, V-VI-liquid,
// VI-VII-liquid, and the end of the ice VII equation.
constexpr double kIhIII = 251.165, kIIIV = 256.164, kVVI = 273.31, kVIVII = 355, kVIIEnd = 715;
// The lowest melting pressure of the high-pressure ices, at the Ih-III-liquid triple point (bar):
// below it, no solid bounds the fluid from above.
constexpr double kLowestUpperMelting = 2085.66;

constexpr double kBeyondT = 1000 + 273.15;                                 // K
constexpr double kBeyondP = 10'000;                                        // bar
constexpr double kLowestComparedT = validity_tables::kFirstBinC + 273.15;  // K

// Whether the water at T (K) and P (bar) on the side of the critical density of its reduced
// density delta, within the compared states, lies in an interval where it departs from
// IAPWS-95.
bool waterDeviates(double T, double P, double delta) {
  using namespace validity_tables;
  const int bin = std::min(static_cast<int>(std::floor(T - 273.15)) - kFirstBinC, kBinCount - 1);
  const unsigned short* first = kWaterDeviatesFirst[delta >= 1 ? 1 : 0];
  for (unsigned n = first[bin]; n < first[bin + 1]; ++n)
    if (kWaterDeviates[n].lo < P && P < kWaterDeviates[n].hi) return true;
  return false;
}

}  // namespace

double sublimationPressureOfIce(double T) {
  constexpr double a[] = {-0.212144006e2, 0.273203819e2, -0.610598130e1};
  constexpr double b[] = {0.333333333e-2, 0.120666667e1, 0.170333333e1};
  const double theta = T / kTriplePointT;
  double sum = 0;
  for (int i = 0; i < 3; ++i) sum += a[i] * std::pow(theta, b[i]);
  return kTriplePointP * std::exp(sum / theta);
}

double meltingPressureOfIceIh(double T) {
  constexpr double a[] = {0.119539337e7, 0.808183159e5, 0.333826860e4};
  constexpr double b[] = {0.300000e1, 0.257500e2, 0.103750e3};
  const double theta = T / kTriplePointT;
  double pi = 1;
  for (int i = 0; i < 3; ++i) pi += a[i] * (1 - std::pow(theta, b[i]));
  return kTriplePointP * pi;
}

double upperMeltingPressure(double T) {
  if (T < kIIIV) return 208.566 * kBarPerMPa * (1 - 0.299948 * (1 - std::pow(T / kIhIII, 60)));
  if (T < kVVI) return 350.1 * kBarPerMPa * (1 - 1.18721 * (1 - std::pow(T / kIIIV, 8)));
  if (T < kVIVII) return 632.4 * kBarPerMPa * (1 - 1.07476 * (1 - std::pow(T / kVVI, 4.6)));
  const double theta = T / kVIVII;
  return 2216 * kBarPerMPa *
         std::exp(1.73683 * (1 - 1 / theta) - 0.0544606 * (1 - std::pow(theta, 5)) +
                  0.806106e-7 * (1 - std::pow(theta, 22)));
}

namespace {

// The pressure (bar) of the homogeneous ice nucleation line at theta = T / 235.15 K.
double nucleationPressure(double theta) {
  return 1 + 2282.7 * (1 - std::pow(theta, 6.243)) + 157.24 * (1 - std::pow(theta, 79.81));
}

constexpr double kNucleationT0 = 235.15;                 // K, at 1 bar
constexpr double kLowestNucleationTheta = 181 / 235.15;  // where the line's data end (2,000 bar)

}  // namespace

double homogeneousNucleationTemperature(double P) {
  // The pressure falls as theta rises: bisection between the line's lowest temperature and
  // 1.1 T0 (the line at 0 bar lies just above T0).
  double low = kLowestNucleationTheta, high = 1.1;
  if (!(P < nucleationPressure(low))) return low * kNucleationT0;
  for (int n = 0; n < 60; ++n) {
    const double middle = (low + high) / 2;
    (nucleationPressure(middle) > P ? low : high) = middle;
  }
  return (low + high) / 2 * kNucleationT0;
}

bool belowIceNucleation(double T, double P) {
  // At or below 0 K the equation itself has no value: that is the solver's error to raise.
  if (!(T > 0 && T < 1.1 * kNucleationT0)) return false;
  if (T >= 50 && P <= sublimationPressureOfIce(T)) return false;
  return T < homogeneousNucleationTemperature(P);
}

bool iceIsStable(double T, double P) {
  if (T < 50) return true;  // below the sublimation equation, the vapour pressure is nil
  if (T < kTriplePointT && P <= sublimationPressureOfIce(T)) return false;  // vapour
  if (T < kIhIII) return true;
  if (T < kTriplePointT && P <= meltingPressureOfIceIh(T)) return true;  // ice Ih
  // Ice III, V, VI or VII.
  return T < kVIIEnd && P >= kLowestUpperMelting && P >= upperMeltingPressure(T);
}

bool isMetastable(const Constants& k, double T, double P, double delta, double Psat) {
  return T < k.Tc && (P < Psat ? delta >= 1 : delta < 1);
}

unsigned waterRangeFlags(const Constants& k, double T, double P, double delta, double Psat) {
  unsigned flags = 0;
  if (iceIsStable(T, P)) flags |= kRangeIce;
  if (isMetastable(k, T, P, delta, Psat)) flags |= kRangeMetastable;
  if (T > kBeyondT || P > kBeyondP || T < kLowestComparedT)
    flags |= kRangeBeyondEos;
  else if (waterDeviates(T, P, delta))
    flags |= kRangeWaterDeviates;
  return flags;
}

SoluteComparison::SoluteComparison(const SoluteParams& solute) {
  using namespace validity_tables;
  if (const SoluteProvenance* from = solute.provenance) {
    referenced_ = from->fromK < from->toK;
    lowest_ = from->fromK;
    highest_ = from->toK;
    deviatesThroughout_ = from->deviates;
    return;
  }
  for (std::size_t n = 0; n < kComparedRangesCount; ++n) {
    if (solute.name != kComparedRanges[n].name) continue;
    referenced_ = true;
    lowest_ = kComparedRanges[n].lo;
    highest_ = kComparedRanges[n].hi;
  }
  // A solute's departures stand together in the table.
  for (std::size_t n = 0; n < kReferenceDeviatesCount; ++n) {
    if (solute.name != kReferenceDeviates[n].name) continue;
    if (departures_ == 0) firstDeparture_ = n;
    ++departures_;
  }
}

unsigned SoluteComparison::flagsAt(double T) const {
  if (!referenced_) return kRangeUnreferenced;
  unsigned flags = T < lowest_ || T > highest_ ? unsigned{kRangeSoluteExtrapolated} : 0u;
  if (deviatesThroughout_) flags |= kRangeReferenceDeviates;
  for (std::size_t n = firstDeparture_; n < firstDeparture_ + departures_; ++n) {
    const validity_tables::SoluteInterval& i = validity_tables::kReferenceDeviates[n];
    if (i.lo < T && T < i.hi) flags |= kRangeReferenceDeviates;
  }
  return flags;
}

Phase phaseOf(const Constants& k, double T, double P, double delta) {
  if (T < k.Tc) return delta >= 1 ? Phase::kLiquid : Phase::kVapour;
  return P >= k.Pc ? Phase::kSupercritical : Phase::kVapour;
}

std::string_view phaseText(Phase phase) {
  switch (phase) {
    case Phase::kLiquid:
      return "liquid";
    case Phase::kVapour:
      return "vapour";
    case Phase::kSupercritical:
      break;
  }
  return "supercritical";
}

std::string rangeText(unsigned flags) {
  std::string text;
  for (int bit = 0; bit < kRangeFlagCount; ++bit) {
    if ((flags & (1u << bit)) == 0) continue;
    if (!text.empty()) text += ' ';
    text += kRangeFlagWords[bit];
  }
  return text;
}

}  // namespace aqsol
