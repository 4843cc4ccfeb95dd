// The command line of the calculator's programs: --help, --version, their own flags, and a
// refusal of anything else.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace aqsol {

inline constexpr int kExitBadArgument = 2;

// Looks at the arguments after the program name. With --help (or -h) or --version it prints the
// help text or the version on standard output and returns the exit status (0, or 3 when it
// cannot be written); with an argument that is not one of `flags` it says so on standard error
// and returns 2. Returns nothing when the program should run.
std::optional<int> answer_command_line(std::string_view program, std::span<const std::string> args,
                                       std::span<const std::string_view> flags,
                                       std::string_view help);

}  // namespace aqsol
