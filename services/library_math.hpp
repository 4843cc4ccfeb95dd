// The C library's exponential, logarithm and power computed in vector lanes with the library's own
// bits (see library_math_lanes.hpp), and the one decision whether this process may use them.
#pragma once

#include <cstddef>

namespace aqsol {

// True when the lanes' transcription reproduces the exp and log of the running process: a
// processor with AVX2 and fused multiply-add (with which the C library picks the variant
// transcribed), the GNU C library of the version transcribed, AQSOL_VECTOR_MATH not set to 0,
// and every probe value (each table entry and each path of both functions) equal to the
// library's. Decided on first use; the same for the whole process.
bool libraryMathInLanes();

// e^x and ln x of x[0..n) into out through the transcription in `lanes` lanes (4 or 8), for
// tests and probes; false (nothing written) when this processor has no such lanes.
bool transcribedExpMany(int lanes, const double* x, double* out, std::size_t n);
bool transcribedLogMany(int lanes, const double* x, double* out, std::size_t n);
// x[i]^y[i] likewise.
bool transcribedPowMany(int lanes, const double* x, const double* y, double* out, std::size_t n);

}  // namespace aqsol
