// End-to-end tests of aqsol-console over pipes: keys in, the screen's transcript out, compared
// with readable golden files (the date and time fields are masked). Set AQSOL_UPDATE_GOLDEN=1
// to write the golden files anew from the program's output.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/command_output.hpp"

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

namespace aqsol {
namespace {

// The full-screen terminal front end, driven through tmux: the screen, an error box answered
// with y, and Ctrl+C ending the program with code 0.
class TerminalEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is needed";
    socket_ = "aqsol_test_" + std::to_string(getpid());
    exit_file_ = testing::TempDir() + socket_ + ".exit";
    std::remove(exit_file_.c_str());
    const std::string program = std::string(AQSOL_CONSOLE_BINARY) + "; echo $? > " + exit_file_;
    ASSERT_EQ(tmux("new-session -d -x 100 -y 30 \"" + program + "\""), 0);
  }
  void TearDown() override { tmux("kill-server"); }

  int tmux(const std::string& args) {
    return std::system(("tmux -L " + socket_ + " " + args + " >/dev/null 2>&1").c_str());
  }
  void keys(const std::string& args) { tmux("send-keys -t 0 " + args); }
  // The pane's text once it contains `wanted` (or after 10 s).
  std::string screen_with(const std::string& wanted) {
    std::string text;
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      text = command_output("tmux -L " + socket_ + " capture-pane -p -t 0");
      if (text.find(wanted) != std::string::npos) break;
    }
    return text;
  }

  std::string socket_, exit_file_;
};

TEST_F(TerminalEndToEnd, ScreenErrorBoxAndCtrlC) {
  EXPECT_NE(screen_with("Which gas").find("\u2554\u2550\u2550"), std::string::npos);  // ╔══
  keys("5 Enter 25 Enter 1 Enter");
  EXPECT_NE(screen_with("lnfH2O").find("  lnfH2O =  -3.4712    dH2O =  0.9970"), std::string::npos);
  keys("-l -- -300");
  keys("Enter 1 Enter");
  const std::string box = screen_with("Unhandled Error #5");
  EXPECT_NE(box.find("Illegal function call"), std::string::npos) << box;
  EXPECT_NE(box.find("(y/n)"), std::string::npos);
  keys("y");  // Yes: the calculator goes on past statement 150 (to the next failing one)
  std::string after = box;
  for (int attempt = 0; attempt < 50 && after.find("Line:150") != std::string::npos; ++attempt)
    after = screen_with("Line:1");
  EXPECT_EQ(after.find("Line:150"), std::string::npos) << after;
  keys("C-c");
  std::string code;
  for (int attempt = 0; attempt < 100 && code.empty(); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    code = read_file(exit_file_);
  }
  EXPECT_EQ(code, "0\n");
}

}  // namespace
}  // namespace aqsol
