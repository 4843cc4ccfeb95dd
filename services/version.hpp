// The version of aqsol, from the file VERSION at the top of the source tree (the one place it is
// written), for every program, the library and the Python module.
#pragma once

#include <string>
#include <string_view>

namespace aqsol {

// "1.0.0", say.
std::string_view version();

// What `PROGRAM --version` prints: "aqsol-table 1.0.0" and the licence line, with a line end.
std::string versionText(std::string_view program);

}  // namespace aqsol
