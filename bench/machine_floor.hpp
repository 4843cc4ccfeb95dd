// An estimate of the least time this machine could take per state for aqsol-table's work with
// the same bits: the arithmetic the formulas do (counted by running the shared formulas on a
// counting number type) at the vector units' measured rate, the exponentials and logarithms at
// the lanes' measured rate, and the text at the measured rate of the digit generation alone.
#pragma once

#include <string>

namespace aqsol::bench {

struct MachineFloor {
  double computeMicroseconds = 0;  // per state, the density solves and the rest of a row
  double textMicroseconds = 0;     // per state, its numbers as shortest text
  std::string explanation;         // the counts and rates it was made from
};

// The floor per state of the liquid grid (CO2, 5-300 C x 50-1000 bar) with `lanes` (1, 4 or 8)
// states evaluated at once; measured once per width and kept.
const MachineFloor& machineFloor(int lanes);

}  // namespace aqsol::bench
