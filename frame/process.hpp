// The process's place in the file system.
#pragma once

#include <string>

namespace aqsol {

// The folder of the running executable (from /proc/self/exe), without a trailing slash; empty
// when it cannot be read.
std::string program_folder();

// Makes the executable's folder the current directory; does nothing when it is unknown.
void enter_program_folder();

}  // namespace aqsol
