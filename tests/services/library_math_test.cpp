// The transcribed exp, log and pow in every lane width this processor runs, against the C
// library's, bit for bit: every float in the ranges the density solver reaches (a sample of them,
// or all with AQSOL_EXHAUSTIVE=1), the whole powers it takes, random doubles there and
// everywhere, and the special values that take the library's own path.
#include "services/library_math.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "services/cpu_targets.hpp"
#include "services/portable_math.hpp"

namespace aqsol {
namespace {

bool exhaustive() {
  const char* text = std::getenv("AQSOL_EXHAUSTIVE");
  return text != nullptr && text[0] == '1';
}

std::vector<int> laneWidths() {
  std::vector<int> widths;
  for (const int lanes : {4, 8})
    if (cpuTargets().widestLanes() >= lanes) widths.push_back(lanes);
  return widths;
}

struct Function {
  const char* name;
  bool (*lanes)(int, const double*, double*, std::size_t);
  double (*library)(double);
};

const Function kExp{"exp", transcribedExpMany, [](double x) { return std::exp(x); }};
const Function kLog{"log", transcribedLogMany, [](double x) { return std::log(x); }};

// Compares `count` arguments made by `next` in batches; reports the first few differences.
void expectLibraryBits(const Function& f, std::uint64_t count,
                       const std::function<double(std::uint64_t)>& next) {
  constexpr std::size_t kBatch = 1 << 16;
  std::vector<double> x(kBatch), out(kBatch);
  for (const int lanes : laneWidths()) {
    int reported = 0;
    for (std::uint64_t first = 0; first < count && reported < 5; first += kBatch) {
      const std::size_t n = count - first < kBatch ? count - first : kBatch;
      for (std::size_t i = 0; i < n; ++i) x[i] = next(first + i);
      ASSERT_TRUE(f.lanes(lanes, x.data(), out.data(), n));
      for (std::size_t i = 0; i < n && reported < 5; ++i) {
        const double expected = f.library(x[i]);
        if (std::bit_cast<std::uint64_t>(out[i]) == std::bit_cast<std::uint64_t>(expected))
          continue;
        ADD_FAILURE() << f.name << "(" << std::hexfloat << x[i] << ") in " << lanes
                      << " lanes: " << out[i] << ", library " << expected;
        ++reported;
      }
    }
  }
}

// Every float from `low` to `high` (positive, low < high), or every `stride`-th of them.
void expectEveryFloat(const Function& f, float low, float high, double sign, std::uint32_t stride) {
  const auto first = std::bit_cast<std::uint32_t>(low), last = std::bit_cast<std::uint32_t>(high);
  if (exhaustive()) stride = 1;
  expectLibraryBits(f, (last - first) / stride + 1, [&](std::uint64_t n) {
    return sign * static_cast<double>(
                      std::bit_cast<float>(static_cast<std::uint32_t>(first + n * stride)));
  });
}

// Random doubles uniform in [low, high], and doubles with random bits of the given binades.
void expectRandom(const Function& f, double low, double high, std::uint64_t count) {
  if (exhaustive()) count *= 200;
  std::mt19937_64 random(0x5eed + static_cast<unsigned>(low));
  std::uniform_real_distribution<double> uniform(low, high);
  expectLibraryBits(f, count, [&](std::uint64_t) { return uniform(random); });
}

TEST(LibraryMathInLanes, LogOfEveryReducedDensity) {
  if (laneWidths().empty()) GTEST_SKIP() << "no vector lanes on this processor";
  expectEveryFloat(kLog, 1e-3f, 10.5f, 1, 61);
  expectRandom(kLog, 1e-3, 10.5, 1 << 21);
  expectRandom(kLog, 0.9375, 1.0647, 1 << 20);  // the path near 1
}

TEST(LibraryMathInLanes, ExpOfEveryWeightExponent) {
  if (laneWidths().empty()) GTEST_SKIP() << "no vector lanes on this processor";
  expectEveryFloat(kExp, 1e-7f, 101.0f, -1, 97);  // exp(-delta^2)
  expectEveryFloat(kExp, 1e-7f, 710.0f, 1, 97);   // Gaussian exponents up to the bound
  expectRandom(kExp, -101, 0, 1 << 21);
  expectRandom(kExp, -89, 710, 1 << 21);
}

TEST(LibraryMathInLanes, EveryDoubleAndTheLibrarysOwnPaths) {
  if (laneWidths().empty()) GTEST_SKIP() << "no vector lanes on this processor";
  std::mt19937_64 random(7);
  const auto anyBits = [&](std::uint64_t) { return std::bit_cast<double>(random()); };
  expectLibraryBits(kExp, 1 << 20, anyBits);
  expectLibraryBits(kLog, 1 << 20, anyBits);
  using limits = std::numeric_limits<double>;
  const std::vector<double> special = {0.0,
                                       -0.0,
                                       1.0,
                                       -1.0,
                                       limits::infinity(),
                                       -limits::infinity(),
                                       limits::quiet_NaN(),
                                       limits::denorm_min(),
                                       limits::min(),
                                       limits::max(),
                                       0x1p-54,
                                       -0x1p-54,
                                       0x1.fffffffffffffp-55,
                                       512.0,
                                       -512.0,
                                       0x1.fffffffffffffp8,
                                       709.78,
                                       -745.2,
                                       1 - 0x1p-4,
                                       0x1.1090000000000p0,
                                       0x1.108ffffffffffp0};
  for (const Function* f : {&kExp, &kLog})
    expectLibraryBits(*f, special.size(), [&](std::uint64_t n) { return special[n]; });
}

// pow(x[i], y[i]) in every lane width against the library's, for `count` pairs from `next`
// (each pair made once and given to every width).
void expectLibraryPow(std::uint64_t count, const std::function<std::pair<double, double>()>& next) {
  constexpr std::size_t kBatch = 1 << 16;
  std::vector<double> x(kBatch), y(kBatch), out(kBatch);
  int reported = 0;
  for (std::uint64_t first = 0; first < count && reported < 5; first += kBatch) {
    const std::size_t n = count - first < kBatch ? count - first : kBatch;
    for (std::size_t i = 0; i < n; ++i) std::tie(x[i], y[i]) = next();
    for (const int lanes : laneWidths()) {
      ASSERT_TRUE(transcribedPowMany(lanes, x.data(), y.data(), out.data(), n));
      for (std::size_t i = 0; i < n && reported < 5; ++i) {
        const double expected = std::pow(x[i], y[i]);
        if (std::bit_cast<std::uint64_t>(out[i]) == std::bit_cast<std::uint64_t>(expected))
          continue;
        ADD_FAILURE() << "pow(" << std::hexfloat << x[i] << ", " << y[i] << ") in " << lanes
                      << " lanes: " << out[i] << ", library " << expected;
        ++reported;
      }
    }
  }
}

TEST(LibraryMathInLanes, PowOfEveryWholePowerTheSolverTakes) {
  // delta^n for n = -3..7 and the squares: every float of reduced densities and temperatures
  // (a sample, or all with AQSOL_EXHAUSTIVE=1), and random doubles across 1e-6..1e6.
  if (laneWidths().empty()) GTEST_SKIP() << "no vector lanes on this processor";
  const auto first = std::bit_cast<std::uint32_t>(1e-3f), last = std::bit_cast<std::uint32_t>(12.f);
  const std::uint32_t stride = exhaustive() ? 1 : 89;
  for (int n = -3; n <= 7; ++n) {
    std::uint32_t bits = first;
    expectLibraryPow((last - first) / stride + 1, [&] {
      const double x = std::bit_cast<float>(bits);
      bits += stride;
      return std::pair{x, static_cast<double>(n)};
    });
  }
  std::mt19937_64 random(36);
  std::uniform_real_distribution<double> exponent(-6, 6);
  std::uniform_int_distribution<int> whole(-32, 32);
  expectLibraryPow(1 << 20, [&] {
    return std::pair{std::pow(10.0, exponent(random)), static_cast<double>(whole(random))};
  });
  // Negative bases: the temperature terms' powers of theta = -Tc/T.
  std::uniform_real_distribution<double> theta(-3.5, -0.4);
  expectLibraryPow(1 << 20, [&] {
    return std::pair{theta(random), static_cast<double>(whole(random))};
  });
}

TEST(LibraryMathInLanes, PowOfAnyArguments) {
  if (laneWidths().empty()) GTEST_SKIP() << "no vector lanes on this processor";
  std::mt19937_64 random(37);
  std::uniform_real_distribution<double> base(0, 40), power(-30, 30);
  expectLibraryPow(exhaustive() ? 1 << 28 : 1 << 21, [&] {
    return std::pair{base(random), power(random)};
  });
  // Any bits at all, and the library's own paths: zeros, negatives, infinities, NaNs, y ln x
  // beyond the exponential's range, x near 1.
  expectLibraryPow(1 << 20, [&] {
    return std::pair{std::bit_cast<double>(random()), std::bit_cast<double>(random())};
  });
  using limits = std::numeric_limits<double>;
  const std::vector<double> special = {0.0,
                                       -0.0,
                                       1.0,
                                       -1.0,
                                       2.0,
                                       -2.5,
                                       0.5,
                                       1 + 0x1p-52,
                                       1e300,
                                       1e-300,
                                       0x1p-1074,
                                       limits::infinity(),
                                       -limits::infinity(),
                                       limits::quiet_NaN(),
                                       710.0,
                                       1e-20};
  std::size_t i = 0;
  expectLibraryPow(special.size() * special.size(), [&] {
    const std::pair pair{special[i / special.size()], special[i % special.size()]};
    ++i;
    return pair;
  });
}

// portable(args) against library(args) for `count` arguments from `next`; reports the first few.
template <class Arguments, class Portable, class Library>
void expectSameBits(const char* name, std::uint64_t count, Arguments next, Portable portable,
                    Library library) {
  if (exhaustive()) count *= 64;
  int reported = 0;
  for (std::uint64_t i = 0; i < count && reported < 5; ++i) {
    const auto arguments = next();
    const double got = std::apply(portable, arguments), expected = std::apply(library, arguments);
    if (std::bit_cast<std::uint64_t>(got) == std::bit_cast<std::uint64_t>(expected)) continue;
    ADD_FAILURE() << name << std::hexfloat << " of " << std::get<0>(arguments) << ": " << got
                  << ", library " << expected;
    ++reported;
  }
}

TEST(PortableMath, GivesTheLibrarysBitsInOneLane) {
  // The browser's build computes exp, log and pow so; here, where the library is the one
  // transcribed, the two must agree bit for bit.
  if (!libraryMathInLanes()) GTEST_SKIP() << "the C library here is not the one transcribed";
  std::mt19937_64 random(38);
  const auto uniform = [&](double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
  };
  const auto anyBits = [&] { return std::bit_cast<double>(random()); };
  const auto libraryExp = [](double x) { return std::exp(x); };
  const auto libraryLog = [](double x) { return std::log(x); };
  const auto libraryPow = [](double x, double y) { return std::pow(x, y); };
  constexpr std::uint64_t kCount = 1 << 19;
  expectSameBits(
      "exp", kCount, [&] { return std::tuple{uniform(-101, 710)}; }, portable_math::exp,
      libraryExp);
  expectSameBits(
      "exp", kCount, [&] { return std::tuple{anyBits()}; }, portable_math::exp, libraryExp);
  expectSameBits(
      "log", kCount, [&] { return std::tuple{uniform(1e-3, 10.5)}; }, portable_math::log,
      libraryLog);
  expectSameBits(
      "log", kCount, [&] { return std::tuple{uniform(0.9375, 1.0647)}; }, portable_math::log,
      libraryLog);
  expectSameBits(
      "log", kCount, [&] { return std::tuple{anyBits()}; }, portable_math::log, libraryLog);
  expectSameBits(
      "pow", kCount,
      [&] {
        return std::tuple{uniform(0, 40), uniform(-30, 30)};
      },
      portable_math::pow, libraryPow);
  expectSameBits(
      "pow", kCount,
      [&] {
        return std::tuple{uniform(1e-3, 12), std::floor(uniform(-3, 8))};
      },
      portable_math::pow, libraryPow);
  expectSameBits(
      "pow", kCount,
      [&] {
        return std::tuple{anyBits(), anyBits()};
      },
      portable_math::pow, libraryPow);
}

TEST(LibraryMathInLanes, ChosenOnlyWhereTheProbesAgree) {
  // On this project's machines (Debian 12 on x86-64 with AVX2) the transcription is in use;
  // AQSOL_VECTOR_MATH=0 turns it off for the process.
  const char* forced = std::getenv("AQSOL_VECTOR_MATH");
  if (forced != nullptr && forced[0] == '0') {
    EXPECT_FALSE(libraryMathInLanes());
  } else if (!laneWidths().empty()) {
    EXPECT_TRUE(libraryMathInLanes());
  }
}

}  // namespace
}  // namespace aqsol
