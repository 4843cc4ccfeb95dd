// Tests that the programs export the input-method interface to the modules they load.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "tests/support/command_output.hpp"

namespace aqsol {
namespace {

TEST(Exports, TheWindowProgramExportsEveryFunctionOfTheInterface) {
  const std::string symbols = command_output(std::string("nm -D --defined-only ") + AQSOL_BINARY);
  std::ifstream list(AQSOL_EXPORTS_LIST);
  const std::regex name(R"((InputMethod_\w+);)");
  int names = 0;
  for (std::string line; std::getline(list, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, name)) continue;
    ++names;
    EXPECT_TRUE(std::regex_search(symbols, std::regex(" T " + m[1].str() + "\\b"))) << m[1];
  }
  EXPECT_EQ(names, 16);
}

TEST(Exports, ALoadedModuleFindsAndUsesTheInterface) {
  const int status =
      std::system((std::string(AQSOL_MODULE_HOST) + " " + AQSOL_PROBE_MODULE).c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace aqsol
