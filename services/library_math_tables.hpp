// The data of the C library's table-driven exponential, logarithm and power (GNU C library 2.36 on
// x86-64, its fused multiply-add variants), which the vector lanes reproduce bit for bit.
// The tables are written by scripts/make-library-math-tables; the constants are the library's.
#pragma once

#include <cstdint>

namespace aqsol::library_math {

// exp: x = k ln2/128 + r; 2^(k/128) from kExpTable[2 (k mod 128)] (the bits of its relative
// tail) and kExpTable[2 (k mod 128) + 1] (the bits of its head less (k mod 128) << 45).
extern const std::uint64_t kExpTable[256];
inline constexpr double kExpInvLn2N = 0x1.71547652b82fep7;  // 128/ln2
inline constexpr double kExpShift = 0x1.8p52;
inline constexpr double kExpNegLn2HiN = -0x1.62e42fefa0000p-8;
inline constexpr double kExpNegLn2LoN = -0x1.cf79abc9e3b3ap-47;
inline constexpr double kExpC2 = 0x1.ffffffffffdbdp-2;
inline constexpr double kExpC3 = 0x1.555555555543cp-3;
inline constexpr double kExpC4 = 0x1.55555cf172b91p-5;
inline constexpr double kExpC5 = 0x1.1111167a4d017p-7;

// log: x = 2^k z, z in [0x1.6p-1, 0x1.6p0) split into 128 subintervals, each with 1/c and log c.
struct LogTableEntry {
  double inverseCentre, logCentre;
};
extern const LogTableEntry kLogTable[128];
inline constexpr double kLogLn2Hi = 0x1.62e42fefa3800p-1;
inline constexpr double kLogLn2Lo = 0x1.ef35793c76730p-45;
constexpr double kLogA[5] = {-0x1.0000000000001p-1, 0x1.555555551305bp-2, -0x1.fffffffeb4590p-3,
                             0x1.999b324f10111p-3, -0x1.55575e506c89fp-3};
// Near 1 (x within 1 - 2^-4 .. 1 + 0x1.09p-4) log x is a polynomial in x - 1.
constexpr double kLogB[11] = {-0x1.0000000000000p-1, 0x1.5555555555577p-2,  -0x1.ffffffffffdcbp-3,
                              0x1.999999995dd0cp-3,  -0x1.55555556745a7p-3, 0x1.24924a344de30p-3,
                              -0x1.fffffa4423d65p-4, 0x1.c7184282ad6cap-4,  -0x1.999eb43b068ffp-4,
                              0x1.78182f7afd085p-4,  -0x1.5521375d145cdp-4};

// pow: ln x to about 2^-68 as x = 2^k z, z in [0x1.69555p-1, 0x1.69555p0) split into 128
// subintervals, each with 1/c and log c as a head (a multiple of 2^-43) and a tail; then
// e^(y ln x) as exp computes it, with ln2, the exponential's table and constants as above.
struct PowLogTableEntry {
  double inverseCentre, logCentre, logCentreTail;
};
extern const PowLogTableEntry kPowLogTable[128];
inline constexpr std::uint64_t kPowLogOffset = 0x3fe6955500000000;
// The polynomial for log(1 + r) - r - A0 r^2, scaled as its evaluation expects.
constexpr double kPowLogA[7] = {-0x1p-1,
                                0x1.555555555556p-2 * -2,
                                -0x1.0000000000006p-2 * -2,
                                0x1.999999959554ep-3 * 4,
                                -0x1.555555529a47ap-3 * 4,
                                0x1.2495b9b4845e9p-3 * -8,
                                -0x1.0002b8b263fc3p-3 * -8};

}  // namespace aqsol::library_math
