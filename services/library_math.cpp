// The decision to use the transcribed exp and log in vector lanes, and their array forms.
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

// The C library whose fused multiply-add variants were transcribed.
constexpr std::string_view kTranscribedLibraryVersion = "2.36";

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

bool sameBits(double a, double b) {
  return __builtin_bit_cast(std::uint64_t, a) == __builtin_bit_cast(std::uint64_t, b);
}

// Whether the transcription gives the library's bits for every probe, in `lanes` lanes.
bool probesAgree(int lanes) {
  for (const bool exp : {true, false}) {
    const std::vector<double> x = exp ? expProbes() : logProbes();
    std::vector<double> lanesResult(x.size());
    if (exp) {
      transcribedExpMany(lanes, x.data(), lanesResult.data(), x.size());
    } else {
      transcribedLogMany(lanes, x.data(), lanesResult.data(), x.size());
    }
    for (std::size_t i = 0; i < x.size(); ++i)
      if (!sameBits(lanesResult[i], exp ? std::exp(x[i]) : std::log(x[i]))) return false;
  }
  return true;
}

bool transcribedLibraryLoaded() {
#if defined(__GLIBC__)
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

}  // namespace aqsol
