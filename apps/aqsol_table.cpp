// aqsol-table: water and solute properties over lists and grids of states, as CSV or TSV.
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "apps/table/options.hpp"
#include "apps/table/rows.hpp"

int main(int argc, char** argv) {
  using namespace aqsol;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  table::Options options;
  std::string error;
  if (!table::parseOptions(args, options, error)) {
    std::cerr << "aqsol-table: " << error << "\n(see aqsol-table --help)\n";
    return 2;
  }
  if (options.help) {
    std::cout << table::usageText();
    return 0;
  }

  ErrorSlot setupErrors;
  const Constants constants = setupConstants(setupErrors);
  if (setupErrors.has_error()) {
    std::cerr << "aqsol-table: constants could not be set up: "
              << error_message(setupErrors.pending_error()) << '\n';
    return 1;
  }

  std::ios::sync_with_stdio(false);
  table::writeHeader(std::cout, options.format);
  const unsigned threads =
      options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  table::writeTable(std::cout, constants, options, threads);
  std::cout.flush();
  return std::cout ? 0 : 1;
}
