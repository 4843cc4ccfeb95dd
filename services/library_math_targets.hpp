// The transcribed exp and log over arrays, one pair per instruction set (library_math_target.cpp,
// compiled for each). Called only where the processor runs that instruction set.
#pragma once

#include <cstddef>

namespace aqsol::lanes {

namespace avx2 {
void transcribedExpArray(const double* x, double* out, std::size_t n);
void transcribedLogArray(const double* x, double* out, std::size_t n);
}  // namespace avx2

namespace avx512 {
void transcribedExpArray(const double* x, double* out, std::size_t n);
void transcribedLogArray(const double* x, double* out, std::size_t n);
}  // namespace avx512

}  // namespace aqsol::lanes
