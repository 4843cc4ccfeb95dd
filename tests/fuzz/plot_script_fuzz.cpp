// Fuzz target: a plot's gnuplot script made from any labels has the commands of a script made
// from plain labels, every text being a closed string constant, and no control character but the
// line ends of those commands.
#include <string>
#include <vector>

#include "apps/table/plot.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

// The script with each gnuplot string constant ('...' with '' inside, "..." with backslash
// escapes) replaced by S; "" when a constant is not closed.
std::string commandsOf(const std::string& script) {
  std::string out;
  for (std::size_t n = 0; n < script.size(); ++n) {
    const char c = script[n];
    if (c != '\'' && c != '"') {
      out += c;
      continue;
    }
    for (++n;; ++n) {
      if (n >= script.size()) return "";
      if (c == '"' && script[n] == '\\') {
        ++n;
      } else if (script[n] == c) {
        if (c == '\'' && n + 1 < script.size() && script[n + 1] == '\'') {
          ++n;
          continue;
        }
        break;
      }
    }
    out += 'S';
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace aqsol;
  fuzz::Bytes bytes(data, size);
  const std::string extension = bytes.text(4);
  const std::string x = bytes.text(), y = bytes.text(), title = bytes.text();
  std::vector<std::string> labels(1 + bytes.byte() % 20);
  for (std::string& label : labels) label = bytes.text();
  const std::string script = table::plotScript(extension, x, y, title, labels);
  const std::string plain =
      table::plotScript(extension, "x", "y", "t", std::vector<std::string>(labels.size(), "c"));
  fuzz::check(commandsOf(script) == commandsOf(plain), "texts stay string constants");
  fuzz::check(!commandsOf(plain).empty(), "every constant is closed");
  for (char c : script)
    fuzz::check(c == '\n' || static_cast<unsigned char>(c) >= 0x20, "no control characters");
  return 0;
}
