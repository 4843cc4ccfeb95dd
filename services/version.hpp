// The version of aqsol, from the file VERSION at the top of the source tree (the one place it is
// written), for every program, the library and the Python module.
#pragma once

#include <string>
#include <string_view>

namespace aqsol {

// "1.0.0", say.
std::string_view version();

// The processor path in use: "avx512: 8 states at a time, the C library's exp and log in
// lanes", say.
std::string processorPathText();

// What `PROGRAM --version` prints: "aqsol-table 1.0.0", the processor path and the licence line,
// each with a line end.
std::string versionText(std::string_view program);

}  // namespace aqsol
