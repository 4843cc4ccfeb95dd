// The one place that decides which processor-dependent code runs: the processor's features,
// detected once, and the choice made from them (or forced, for tests and debugging).
#pragma once

namespace aqsol {

// The code paths in use. Every path gives the same bits; they differ only in speed.
struct CpuTargets {
  int widestLanes = 1;  // the most states the processor evaluates at once: 1, 4 (AVX2 with
                        // fused multiply-add) or 8 (AVX-512F)
  int lanes = 1;        // the lanes used: widestLanes, or AQSOL_LANES (1, 4 or 8) where the
                        // environment sets it, never more than the processor runs
  bool fusedMultiplyAdd = false;  // scalar code uses fused multiply-adds (not with AQSOL_LANES=1)
};

// Detected on first use (the processor's feature bits initialised first) and the same for the
// whole process; safe from any thread.
const CpuTargets& cpuTargets();

// The choice for a processor with the given features and an AQSOL_LANES text (null where it is
// not set; any text but 1, 4 or 8 is ignored).
CpuTargets chooseCpuTargets(bool fma, bool avx2, bool avx512f, const char* forcedLanes);

}  // namespace aqsol
