// The version of aqsol; the build defines AQSOL_VERSION from the file VERSION for this file alone.
#include "services/version.hpp"

#include "services/cpu_targets.hpp"
#include "services/library_math.hpp"

namespace aqsol {

std::string_view version() {
  return AQSOL_VERSION;
}

std::string processorPathText() {
  const CpuTargets& targets = cpuTargets();
  const int lanes = targets.lanes();
  std::string text(targetName(targets.active));
  text += lanes == 1 ? ": one state at a time" : ": " + std::to_string(lanes) + " states at a time";
  if (lanes > 1)
    text += libraryMathInLanes() ? ", the C library's exp and log in lanes"
                                 : ", the C library's exp and log called lane by lane";
  return text;
}

std::string versionText(std::string_view program) {
  return std::string(program) + " " + std::string(version()) +
         "\nProcessor path: " + processorPathText() +
         "\nCopyright (c) 2026 the aqsol developers. MIT License: no warranty.\n";
}

}  // namespace aqsol
