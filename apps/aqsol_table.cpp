// aqsol-table: water and solute properties over lists and grids of states, as CSV, TSV or JSON.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "apps/table/options.hpp"
#include "apps/table/run.hpp"
#include "services/file_output.hpp"
#include "services/version.hpp"

int main(int argc, char** argv) {
  using namespace aqsol;
  // A file grown past the size limit is a write error like any other (status 3, temporary
  // removed), not the end of the process.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  table::Options options;
  std::string error;
  if (!table::parseOptions(args, options, error) ||
      (options.stateList && !table::loadStateList(options, error))) {
    std::fprintf(stderr, "aqsol-table: %s\n(see aqsol-table --help)\n", error.c_str());
    return table::kExitBadArgument;
  }
  if (const std::string note = table::kelvinHabitNote(options); !note.empty())
    std::fprintf(stderr, "aqsol-table: %s\n", note.c_str());
  if (options.help || options.version) {
    Output out(STDOUT_FILENO);
    const std::string text =
        options.help ? std::string(table::usageText()) : versionText("aqsol-table");
    if (out.write(text) && out.flush()) return table::kExitOk;
    std::fprintf(stderr, "aqsol-table: %s\n", writeErrorMessage(out.error()).c_str());
    return table::kExitWriteError;
  }

  ErrorSlot setupErrors;
  const Constants constants = setupConstants(setupErrors);
  if (setupErrors.has_error()) {
    std::fprintf(stderr, "aqsol-table: constants could not be set up: %s\n",
                 std::string(error_message(setupErrors.pending_error())).c_str());
    return table::kExitFailed;
  }
  const unsigned threads =
      options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  try {
    return table::runTable(options, constants, threads);
  } catch (const CriticalError& critical) {
    std::fprintf(stderr, "aqsol-table: %s\n", critical.line().c_str());
    return table::kExitFailed;
  } catch (const std::bad_alloc&) {  // the outputs' temporaries are removed on the way out
    std::fprintf(stderr, "aqsol-table: out of memory\n");
    return table::kExitFailed;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "aqsol-table: %s\n", e.what());
    return table::kExitFailed;
  }
}
