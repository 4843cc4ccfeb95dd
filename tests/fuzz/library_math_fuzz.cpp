// Fuzz target: the input's bytes as doubles (up to 64 of them, so every lane of a vector and a
// partial last vector are exercised) give, in every lane width the processor runs, exactly the
// bits of the C library's exp, log and pow (of consecutive pairs); as do the same doubles moved
// into the ranges the density solver feeds them (ln of a reduced density, exp of minus its
// square and of a weight exponent, its whole powers from -3 to 7 and any power of a temperature).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "services/library_math.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// x[i]^x[i + 1] for even i.
void checkPow(const std::vector<double>& x) {
  std::vector<double> base, power;
  for (std::size_t i = 0; i + 1 < x.size(); i += 2) {
    base.push_back(x[i]);
    power.push_back(x[i + 1]);
  }
  std::vector<double> out(base.size());
  for (const int lanes : {4, 8})
    if (aqsol::transcribedPowMany(lanes, base.data(), power.data(), out.data(), base.size()))
      for (std::size_t i = 0; i < base.size(); ++i)
        aqsol::fuzz::check(sameBits(out[i], std::pow(base[i], power[i])),
                           "pow in the lanes gives the library's bits");
}

void checkLanes(const std::vector<double>& x) {
  checkPow(x);
  std::vector<double> out(x.size());
  for (const int lanes : {4, 8}) {
    if (aqsol::transcribedExpMany(lanes, x.data(), out.data(), x.size()))
      for (std::size_t i = 0; i < x.size(); ++i)
        aqsol::fuzz::check(sameBits(out[i], std::exp(x[i])),
                           "exp in the lanes gives the library's bits");
    if (aqsol::transcribedLogMany(lanes, x.data(), out.data(), x.size()))
      for (std::size_t i = 0; i < x.size(); ++i)
        aqsol::fuzz::check(sameBits(out[i], std::log(x[i])),
                           "log in the lanes gives the library's bits");
  }
}

// A double's fraction of its binade, as a number in [0, 1).
double fraction(double x) {
  return static_cast<double>(std::bit_cast<std::uint64_t>(x) & 0x000FFFFFFFFFFFFF) * 0x1p-52;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<double> x(std::min<std::size_t>(size / sizeof(double), 64));
  if (x.empty()) return 0;
  std::memcpy(x.data(), data, x.size() * sizeof(double));
  checkLanes(x);
  std::vector<double> solver;
  for (const double value : x) {
    const double f = fraction(value);
    const double delta = 1e-3 * std::pow(1e4, f);  // 1e-3 .. 10
    const double whole = std::floor(f * 11) - 3, temperature = 250 + 1000 * f;
    // Pairs for pow: (delta, whole), (temperature, power); exp and log take every entry.
    solver.insert(solver.end(),
                  {delta, whole, temperature, -1.5 + 3 * f, -delta * delta, -88 + 788 * f});
  }
  checkLanes(solver);
  return 0;
}
