// The process's place in the file system.
#include "frame/process.hpp"

#include <unistd.h>

#include <vector>

namespace aqsol {

std::string program_folder() {
  std::vector<char> path(65'536);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  const std::string full(path.data(), static_cast<std::size_t>(length));
  const std::size_t cut = full.find_last_of('/');
  return cut == std::string::npos ? std::string() : full.substr(0, cut == 0 ? 1 : cut);
}

void enter_program_folder() {
  const std::string folder = program_folder();
  if (!folder.empty() && chdir(folder.c_str()) != 0) return;
}

}  // namespace aqsol
