// The command line of the calculator's programs.
#include "frame/command_line.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "services/file_output.hpp"
#include "services/version.hpp"

namespace aqsol {
namespace {

constexpr int kExitWriteError = 3;

int print(std::string_view program, std::string_view text) {
  Output out(STDOUT_FILENO);
  if (out.write(text) && out.flush()) return 0;
  std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(program.size()), program.data(),
               writeErrorMessage(out.error()).c_str());
  return kExitWriteError;
}

}  // namespace

std::optional<int> answer_command_line(std::string_view program, std::span<const std::string> args,
                                       std::span<const std::string_view> flags,
                                       std::string_view help) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return print(program, help);
    if (arg == "--version") return print(program, versionText(program));
  }
  for (const std::string& arg : args) {
    if (std::find(flags.begin(), flags.end(), arg) != flags.end()) continue;
    // Printed as the message of a bad argument: control characters never reach the terminal.
    std::string shown;
    for (const char c : arg.substr(0, 60))
      shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    std::fprintf(stderr, "%.*s: unknown argument '%s'\n(see %.*s --help)\n",
                 static_cast<int>(program.size()), program.data(), shown.c_str(),
                 static_cast<int>(program.size()), program.data());
    return kExitBadArgument;
  }
  return std::nullopt;
}

}  // namespace aqsol
