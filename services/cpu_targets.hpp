// The one place that reads the processor's features and decides which processor-dependent code
// runs. Each target's code is compiled once per instruction set in a namespace of its own
// (aqsol::targets::avx2, aqsol::targets::avx512) that exports one table of entry points; each
// layer maps the target chosen here to its table.
#pragma once

#include <string_view>

// Whether the build has the x86-64 targets' code (CMakeLists.txt compiles it for x86-64 only;
// on another processor, such as WebAssembly, the baseline is the one path).
#if defined(__x86_64__)
#define AQSOL_X86_TARGETS 1
#else
#define AQSOL_X86_TARGETS 0
#endif

namespace aqsol {

// The processor targets, narrowest first. Every target gives the same bits; they differ only in
// speed.
enum class CpuTarget {
  kBaseline,  // x86-64 as the compiler targets it: one state at a time, no fused multiply-add
  kAvx2,      // AVX2 with fused multiply-add: 4 states in vector lanes
  kAvx512,    // AVX-512F (with AVX2 and fused multiply-add): 8 states in vector lanes
};

// The states the target evaluates at once: 1, 4 or 8.
int targetLanes(CpuTarget target);

// The narrowest target with at least `lanes` lanes that is no wider than `widest`.
CpuTarget targetWithLanes(int lanes, CpuTarget widest);

// "baseline", "avx2" or "avx512".
std::string_view targetName(CpuTarget target);

struct CpuTargets {
  CpuTarget widest = CpuTarget::kBaseline;  // the widest target the processor runs
  CpuTarget active = CpuTarget::kBaseline;  // the one in use: `widest`, or the one AQSOL_LANES
                                            // (1, 4 or 8) names where that is narrower
  int widestLanes() const { return targetLanes(widest); }
  int lanes() const { return targetLanes(active); }
  // Whether the scalar code's exact products use fused multiply-adds (not with AQSOL_LANES=1).
  bool fusedMultiplyAdd() const { return active != CpuTarget::kBaseline; }
};

// Detected on first use (the processor's feature bits initialised first) and the same for the
// whole process; safe from any thread, and from static initialisers.
const CpuTargets& cpuTargets();

// The choice for a processor with the given features and an AQSOL_LANES text (null where it is
// not set; any text but 1, 4 or 8 is ignored).
CpuTargets chooseCpuTargets(bool fma, bool avx2, bool avx512f, const char* forcedLanes);

}  // namespace aqsol
