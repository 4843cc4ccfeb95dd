// Fuzz target: the input's bytes as doubles (up to 64 of them, so every lane of a vector and a
// partial last vector are exercised) give, in every lane width the processor runs, exactly the
// bits of the C library's exp and log; as do the same doubles moved into the ranges the density
// solver feeds them (ln of a reduced density, exp of minus its square and of a weight exponent).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "services/library_math.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

void checkLanes(const std::vector<double>& x) {
  std::vector<double> out(x.size());
  for (const int lanes : {4, 8}) {
    if (aqsol::transcribedExpMany(lanes, x.data(), out.data(), x.size()))
      for (std::size_t i = 0; i < x.size(); ++i)
        aqsol::fuzz::check(
            std::bit_cast<std::uint64_t>(out[i]) == std::bit_cast<std::uint64_t>(std::exp(x[i])),
            "exp in the lanes gives the library's bits");
    if (aqsol::transcribedLogMany(lanes, x.data(), out.data(), x.size()))
      for (std::size_t i = 0; i < x.size(); ++i)
        aqsol::fuzz::check(
            std::bit_cast<std::uint64_t>(out[i]) == std::bit_cast<std::uint64_t>(std::log(x[i])),
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
    solver.insert(solver.end(), {delta, -delta * delta, -88 + 788 * f});
  }
  checkLanes(solver);
  return 0;
}
