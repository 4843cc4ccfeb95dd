// Writes aqsol-table's manual page from its template: the OPTIONS section from the table of
// options that --help lists too, and the version. Run by the build.
//
// usage: aqsol-table-manual TEMPLATE OUTPUT
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "apps/table/options.hpp"
#include "services/version.hpp"

namespace {

// Replaces the line `marker` (with its line end) by `text`.
bool fill(std::string& page, const std::string& marker, const std::string& text) {
  const std::size_t at = page.find(marker + "\n");
  if (at == std::string::npos) return false;
  page.replace(at, marker.size() + 1, text);
  return true;
}

// Replaces every `word` by `value`.
void replaceAll(std::string& page, const std::string& word, std::string_view value) {
  for (std::size_t at = page.find(word); at != std::string::npos;
       at = page.find(word, at + value.size()))
    page.replace(at, word.size(), value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: aqsol-table-manual TEMPLATE OUTPUT\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1]);
  std::stringstream text;
  text << in.rdbuf();
  std::string page = text.str();
  if (!in || !fill(page, "@OPTIONS@", aqsol::table::manualOptions())) {
    std::fprintf(stderr, "aqsol-table-manual: %s: no @OPTIONS@ line\n", argv[1]);
    return 1;
  }
  replaceAll(page, "@PROJECT_VERSION@", aqsol::version());
  std::ofstream out(argv[2], std::ios::binary);
  out << page;
  out.close();
  if (!out) {
    std::fprintf(stderr, "aqsol-table-manual: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
