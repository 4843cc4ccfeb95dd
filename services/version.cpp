// The version of aqsol; the build defines AQSOL_VERSION from the file VERSION for this file alone.
#include "services/version.hpp"

namespace aqsol {

std::string_view version() {
  return AQSOL_VERSION;
}

std::string versionText(std::string_view program) {
  return std::string(program) + " " + std::string(version()) +
         "\nCopyright (c) 2026 the aqsol developers. MIT License: no warranty.\n";
}

}  // namespace aqsol
