// The calculator routine: banner, units note and solute menu, then the passes of date line,
// temperature and pressure entry, water results and solute results.
#pragma once

#include "console/runtime.hpp"

namespace aqsol {

// Runs the calculator's dialogue on `runtime`, on the calculator thread, for ever: it leaves
// only through the host's stop() (the window closed, No answered to an error box).
void run_calculator_dialogue(Runtime& runtime);

}  // namespace aqsol
