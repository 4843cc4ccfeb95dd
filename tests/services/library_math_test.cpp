// The transcribed exp and log in every lane width this processor runs, against the C library's,
// bit for bit: every float in the ranges the density solver reaches (a sample of them, or all
// with AQSOL_EXHAUSTIVE=1), random doubles there and everywhere, and the special values that take
// the library's own path.
#include "services/library_math.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "services/cpu_targets.hpp"

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
