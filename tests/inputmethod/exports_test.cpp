// Tests that the programs export the input-method interface to the modules they load.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

namespace {

std::string output_of(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

TEST(Exports, TheWindowProgramExportsEveryFunctionOfTheInterface) {
  const std::string symbols = output_of(std::string("nm -D --defined-only ") + AQSOL_BINARY);
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
