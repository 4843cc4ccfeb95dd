// The decision to use the transcribed exp, log and pow in vector lanes, and their array forms.
#include "services/library_math.hpp"

#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#if defined(__GLIBC__)
#include <gnu/libc-version.h>
#endif

#include "services/cpu_targets.hpp"
#include "services/math_targets.hpp"

namespace aqsol {

namespace {

// The table of the target with exactly `lanes` lanes (4 or 8), where the processor runs it.
const MathTarget* targetOfLanes(int lanes) {
  const CpuTarget target = targetWithLanes(lanes, cpuTargets().widest);
  return targetLanes(target) == lanes && lanes > 1 ? &mathTarget(target) : nullptr;
}

// A sample of arguments, checked at every start, that would show a library computing exp or log
// otherwise than the one transcribed (the tests compare the two over every kind of argument the
// calculator passes; the sample is kept small, as it runs before every table). For exp: every
// table entry, with small and extreme remainders, both signs, across the calculator's binades;
// for log: every table subinterval of binades from 2^-12 to 2^12, and the interval near 1.
std::vector<double> expProbes() {
  std::vector<double> x;
  constexpr double kStep = 0x1.62e42fefa39efp-8;  // ln2/128
  for (int k = -128 * 150; k <= 128 * 11; k += 129)
    for (const double remainder : {0.1, -0.4999}) x.push_back((k + remainder) * kStep);
  for (int e = -54; e <= 9; e += 3)
    for (const double m : {1.37, 1.9999}) {
      x.push_back(std::ldexp(m, e));
      x.push_back(-std::ldexp(m, e));
    }
  return x;
}

std::vector<double> logProbes() {
  std::vector<double> x;
  for (int e = -12; e <= 12; e += 4)
    for (int i = 0; i < 128; ++i) x.push_back(std::ldexp(0x1.6p-1 + (i + 0.5) * 0x1.6p-1 / 128, e));
  for (int i = -600; i <= 600; i += 10) x.push_back(1 + i * 0x1p-13);
  return x;
}

// For pow: every subinterval of its logarithm's table in three binades, each with exponents that
// make y ln x small, middling and large, of both signs.
struct PowProbes {
  std::vector<double> x, y;
};

PowProbes powProbes() {
  PowProbes probes;
  for (const int e : {-9, 0, 7})
    for (int i = 0; i < 128; ++i)
      for (const double y : {0.5, -3.0, 7.0, -0.75}) {
        probes.x.push_back(std::ldexp(0x1.69555p-1 + (i + 0.5) * 0x1.69555p-1 / 128, e));
        probes.y.push_back(y);
      }
  return probes;
}

bool sameBits(double a, double b) {
  return __builtin_bit_cast(std::uint64_t, a) == __builtin_bit_cast(std::uint64_t, b);
}

// Whether `lanesResult` holds `library` of each probe.
template <class Library>
bool agrees(const std::vector<double>& lanesResult, Library library) {
  for (std::size_t i = 0; i < lanesResult.size(); ++i)
    if (!sameBits(lanesResult[i], library(i))) return false;
  return true;
}

// Whether the transcription gives the library's bits for every probe, in `lanes` lanes.
bool probesAgree(int lanes) {
  const std::vector<double> x = expProbes(), t = logProbes();
  const PowProbes p = powProbes();
  std::vector<double> exp(x.size()), log(t.size()), pow(p.x.size());
  transcribedExpMany(lanes, x.data(), exp.data(), x.size());
  transcribedLogMany(lanes, t.data(), log.data(), t.size());
  transcribedPowMany(lanes, p.x.data(), p.y.data(), pow.data(), pow.size());
  return agrees(exp, [&](std::size_t i) { return std::exp(x[i]); }) &&
         agrees(log, [&](std::size_t i) { return std::log(t[i]); }) &&
         agrees(pow, [&](std::size_t i) { return std::pow(p.x[i], p.y[i]); });
}

bool transcribedLibraryLoaded() {
#if defined(__GLIBC__)
  // The C library whose fused multiply-add variants were transcribed.
  constexpr std::string_view kTranscribedLibraryVersion = "2.36";
  return gnu_get_libc_version() == kTranscribedLibraryVersion;
#else
  return false;
#endif
}

bool decideLibraryMathInLanes() {
  const char* forced = std::getenv("AQSOL_VECTOR_MATH");
  if (forced != nullptr && std::string_view(forced) == "0") return false;
  const int lanes = cpuTargets().widestLanes();
  return targetOfLanes(lanes) != nullptr && transcribedLibraryLoaded() && probesAgree(lanes);
}

}  // namespace

bool libraryMathInLanes() {
  static const bool decided = decideLibraryMathInLanes();
  return decided;
}

bool transcribedExpMany(int lanes, const double* x, double* out, std::size_t n) {
  const MathTarget* target = targetOfLanes(lanes);
  if (target == nullptr) return false;
  target->expArray(x, out, n);
  return true;
}

bool transcribedLogMany(int lanes, const double* x, double* out, std::size_t n) {
  const MathTarget* target = targetOfLanes(lanes);
  if (target == nullptr) return false;
  target->logArray(x, out, n);
  return true;
}

bool transcribedPowMany(int lanes, const double* x, const double* y, double* out, std::size_t n) {
  const MathTarget* target = targetOfLanes(lanes);
  if (target == nullptr) return false;
  target->powArray(x, y, out, n);
  return true;
}

}  // namespace aqsol
