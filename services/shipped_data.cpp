// Finding the files shipped with aqsol.
#include "services/shipped_data.hpp"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace aqsol {
namespace {

bool isFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The folder of the running program, from /proc/self/exe.
std::string programFolder() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string program(path, static_cast<std::size_t>(length));
  return program.substr(0, program.rfind('/'));
}

// The folder of the object this code is linked into: the program, or a shared library of
// aqsol's loaded by another program (R, Python).
std::string objectFolder() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&objectFolder), &info) == 0 || info.dli_fname == nullptr)
    return {};
  const std::string object(info.dli_fname);
  return object.substr(0, object.rfind('/'));
}

}  // namespace

std::string shippedFile(std::string_view folder, std::string_view name,
                        std::string_view sourceFolder) {
  const std::string relative = std::string(folder) + "/" + std::string(name);
  const char* chosen = std::getenv("AQSOL_DATA_DIR");
  const std::string library = objectFolder();
  const std::string candidates[] = {
      chosen != nullptr && *chosen != '\0' ? std::string(chosen) + "/" + relative : "",
      programFolder() + "/../share/aqsol/" + relative,
      library + "/../share/aqsol/" + relative,     // PREFIX/lib
      library + "/../../share/aqsol/" + relative,  // PREFIX/lib/x86_64-linux-gnu
      std::string(AQSOL_SOURCE_DIR) + "/" + std::string(sourceFolder) + "/" + std::string(name),
  };
  for (const std::string& path : candidates)
    if (!path.empty() && isFile(path)) return path;
  return {};
}

}  // namespace aqsol
