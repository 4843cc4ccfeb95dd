// End-to-end tests of aqsol-console over pipes: keys in, the screen's transcript out, compared
// with readable golden files (the date and time fields are masked). Set AQSOL_UPDATE_GOLDEN=1
// to write the golden files anew from the program's output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace aqsol {
namespace {

struct ProgramRun {
  std::string out, err;
  int exit_code;
};

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs aqsol-console with `keys` on standard input.
ProgramRun run_console(const std::string& keys) {
  const std::string base = testing::TempDir() + "aqsol_console_" +
                           testing::UnitTest::GetInstance()->current_test_info()->name();
  {
    std::ofstream in(base + ".in", std::ios::binary);
    in << keys;
  }
  const std::string command = std::string(AQSOL_CONSOLE_BINARY) + " < " + base + ".in > " + base +
                              ".out 2> " + base + ".err";
  const int status = std::system(command.c_str());
  return {read_file(base + ".out"), read_file(base + ".err"),
          WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string masked(const std::string& transcript) {
  static const std::regex date_line(R"(Date \d\d-\d\d-\d{4}  Time  \d\d:\d\d:\d\d)");
  return std::regex_replace(transcript, date_line, "Date MM-DD-YYYY  Time  HH:MM:SS");
}

void expect_golden(const std::string& name, const ProgramRun& run) {
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::string path = std::string(AQSOL_GOLDEN_DIR) + "/" + name + ".txt";
  const std::string actual = masked(run.out);
  if (std::getenv("AQSOL_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  EXPECT_EQ(actual, read_file(path)) << "golden file " << path;
}

TEST(ConsoleEndToEnd, BannerMenuAndOnePassForCarbonDioxide) {
  const ProgramRun run = run_console("5\n25\n1\n");
  expect_golden("co2_25C_1bar", run);
  EXPECT_NE(run.out.find("  lnfH2O =  -3.4712    dH2O =  0.9970"), std::string::npos);
}

TEST(ConsoleEndToEnd, OnePassForSeveralSolutes) {
  for (const char* solute : {"1", "10", "18"})
    expect_golden(std::string("solute_") + solute, run_console(std::string(solute) + "\n25\n1\n"));
}

// Re-asked solute numbers on one row; Psat at column 70; Enter repeating the previous state;
// the vapour branch; overflowing pictures; long entries.
TEST(ConsoleEndToEnd, EdgeCasesOfTheDialogue) {
  expect_golden("dialogue_edges",
                run_console("0\n21\n-3\n2.5\n1\n25\n0\n\n\n100\n0.3\n10000\n10000\n"
                            "25\n1.000000000\n25.0000000000000\n1\n\n1.0000000\n"));
}

// States without results print one line and the dialogue goes on.
TEST(ConsoleEndToEnd, StatesWithoutResultsSayWhy) {
  expect_golden("failed_states", run_console("5\n400\n0\n1e400\n1\n25\n1e999\n300\n100\n"));
}

TEST(ConsoleEndToEnd, HostileKeysNeitherHangNorCrash) {
  std::string keys =
      "\x01\x02\x1b[A\x7f\xff\xfe"
      "5\r\n";
  keys += std::string(300, '9') + "\n";                      // 300 keys in one entry
  keys += std::string("\t\x00\x07\x80\xc3\xa9", 6) + "1\r";  // control bytes and bytes above 127
  for (int c = 1; c < 256; ++c) keys += static_cast<char>(c);
  keys += "\n";
  const ProgramRun run = run_console(keys);
  EXPECT_EQ(run.exit_code, 0);
  expect_golden("hostile_keys", run);
}

TEST(ConsoleEndToEnd, SeveralHundredPasses) {
  std::string keys = "16\n";
  for (int pass = 0; pass < 200; ++pass) keys += std::to_string(pass % 350) + "\n" + "100\n";
  const ProgramRun run = run_console(keys);
  EXPECT_EQ(run.exit_code, 0);
  std::size_t results = 0;
  for (std::size_t at = run.out.find("Component HCl"); at != std::string::npos;
       at = run.out.find("Component HCl", at + 1))
    ++results;
  EXPECT_EQ(results, 200u);
}

TEST(ConsoleEndToEnd, EndOfInputAtTheMenuEndsTheProgram) {
  const ProgramRun run = run_console("");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.out.find("Which gas do you wish to specify?"), std::string::npos);
}

}  // namespace
}  // namespace aqsol
