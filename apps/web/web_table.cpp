// aqsol-table's rows for the browser page.
#include "apps/web/web_table.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "apps/table/options.hpp"
#include "apps/table/rows.hpp"
#include "calculator/constants.hpp"
#include "calculator/state_rows.hpp"
#include "services/errors.hpp"
#include "services/shortest_number.hpp"

namespace aqsol::web {
namespace {

// One open table: its options (the whole list of a --states table read) and how it writes rows.
struct Table {
  table::Options options;
  std::unique_ptr<table::TableStyle> style;
  table::PressureTexts pressureTexts;
  std::string note;
};

// What the page's tables share: the model's constants, the open tables, the last text made.
struct Tables {
  Constants constants;
  std::map<int, std::unique_ptr<Table>> open;
  int nextHandle = 1;
  std::string text, error;
};

Tables& tables() {
  static Tables* state = [] {
    ErrorSlot errors;
    auto* made = new Tables{setupConstants(errors), {}, 1, {}, {}};
    if (errors.has_error()) made->error = "constants could not be set up";
    return made;
  }();
  return *state;
}

std::vector<std::string> linesOf(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// The states of a --states list that the first read left, read now: the page takes rows from
// anywhere in the table.
bool readWholeList(table::Options& options, std::string& error) {
  table::StateReader& reader = *options.stateReader;
  while (!reader.atEnd())
    if (!reader.read(table::kLargestStateBlock, options.states, error)) return false;
  return true;
}

bool openOptions(const std::vector<std::string>& arguments, table::Options& options,
                 std::string& error) {
  const std::vector<std::string_view> args(arguments.begin(), arguments.end());
  if (!table::parseOptions(args, options, error)) return false;
  if (!options.stateList) return true;
  std::string why;
  if (!table::loadStateList(options, error)) return false;
  if (readWholeList(options, why)) return true;
  error = "--states: " + why;
  return false;
}

// A JSON string of `text` (the columns' texts have no control characters but line breaks).
std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c == '\n' ? ' ' : c;
  }
  return out + "\"";
}

// A description as one line: its continuation lines' indents gone.
std::string oneLine(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\n') {
      out += text[at];
      continue;
    }
    out += ' ';
    while (at + 1 < text.size() && text[at + 1] == ' ') ++at;
  }
  return out;
}

Table* find(int handle) {
  const auto found = tables().open.find(handle);
  return found == tables().open.end() ? nullptr : found->second.get();
}

// The requests of rows first..first + count - 1: a grid's, or a list's (solutes outermost), with
// the list's kept texts of those rows.
void requestsOf(const table::Options& options, std::size_t first, std::size_t count,
                std::vector<RowRequest>& requests, std::vector<std::string>& kept) {
  if (!options.stateList) {
    table::appendGridRequests(options, first, count, requests);
    return;
  }
  const table::StateBlock& list = options.states;
  const std::size_t states = list.states.size(), perRow = options.keep.size();
  for (std::size_t row = first; row < first + count; ++row) {
    const std::size_t solute = row / states, state = row % states;
    const SoluteParams* params = options.solutes.empty() ? nullptr : &options.solutes[solute];
    requests.push_back({params, list.states[state].temperatureC, list.states[state].pressure});
    for (std::size_t n = 0; n < perRow; ++n) kept.push_back(list.texts[state * perRow + n]);
  }
}

}  // namespace
}  // namespace aqsol::web

using namespace aqsol;

extern "C" int aqsol_web_table_open(const char* arguments) try {
  web::Tables& all = web::tables();
  all.error.clear();
  auto made = std::make_unique<web::Table>();
  table::Options& options = made->options;
  if (!web::openOptions(web::linesOf(arguments != nullptr ? arguments : ""), options, all.error))
    return 0;
  if (options.help || options.version || options.format == table::Format::kNetcdf ||
      !options.plotFile.empty() || !options.outputFile.empty()) {
    all.error = "the page makes CSV, TSV or JSON tables; it writes no file of its own";
    return 0;
  }
  made->style = std::make_unique<table::TableStyle>(
      options.format, options.units, options.withSolute(), options.columns, options.keep);
  if (!options.stateList && options.temperaturesC.size() > 1)
    made->pressureTexts = table::PressureTexts(options.pressures, options.units);
  made->note = table::kelvinHabitNote(options);
  const int handle = all.nextHandle++;
  all.open.emplace(handle, std::move(made));
  return handle;
} catch (const std::bad_alloc&) {
  web::tables().error = "out of memory";
  return 0;
}

extern "C" double aqsol_web_table_rows(int handle) {
  const web::Table* table = web::find(handle);
  return table == nullptr ? 0 : static_cast<double>(table->options.rowCount());
}

extern "C" const char* aqsol_web_table_header(int handle) {
  const web::Table* table = web::find(handle);
  web::tables().text = table == nullptr ? "" : table::headerText(*table->style);
  return web::tables().text.c_str();
}

extern "C" const char* aqsol_web_table_columns(int handle) {
  const web::Table* table = web::find(handle);
  std::string& json = web::tables().text;
  json = "[";
  if (table != nullptr) {
    for (const table::ResolvedColumn& column : table->style->columns.all()) {
      const table::Column& about = table::kColumns[column.index];
      if (json.size() > 1) json += ',';
      json += "{\"name\":" + web::jsonString(column.name) +
              ",\"quantity\":" + web::jsonString(about.quantity) +
              ",\"description\":" + web::jsonString(web::oneLine(about.description)) +
              ",\"unit\":" +
              web::jsonString(about.dimension == table::Dimension::kText
                                  ? std::string()
                                  : table::unitText(about.dimension, table->options.units)) +
              ",\"label\":" + web::jsonString(column.label) + "}";
    }
  }
  json += "]";
  return json.c_str();
}

extern "C" const char* aqsol_web_table_shape(int handle) {
  const web::Table* table = web::find(handle);
  std::string& json = web::tables().text;
  json.clear();
  if (table == nullptr) return json.c_str();
  const table::Options& options = table->options;
  json = "{\"solutes\":" + std::to_string(std::max<std::size_t>(1, options.solutes.size()));
  if (options.stateList) {
    json += ",\"states\":" + std::to_string(options.states.states.size()) + "}";
    return json.c_str();
  }
  char number[kShortestNumberRoom];
  const auto text = [&](double value) { return std::string(number, writeShortest(number, value)); };
  json += ",\"temperatures\":[";
  for (double t : options.temperaturesC)
    json += text(table::inUnits(t, table::kTemperatureColumn, options.units)) + ",";
  json.back() = ']';
  json += ",\"pressures\":[";
  for (const PressureItem& p : options.pressures)
    json += (p.saturation ? std::string("\"sat\"")
                          : text(table::inUnits(p.bar, table::kPressureColumn, options.units))) +
            ",";
  json.back() = ']';
  json += "}";
  return json.c_str();
}

extern "C" const char* aqsol_web_table_note(int handle) {
  const web::Table* table = web::find(handle);
  return table == nullptr ? "" : table->note.c_str();
}

extern "C" const char* aqsol_web_table_text(int handle, double first, int count) try {
  web::Tables& all = web::tables();
  all.text.clear();
  const web::Table* table = web::find(handle);
  const double rows = aqsol_web_table_rows(handle);
  if (table == nullptr || !(first >= 0) || count <= 0 || first >= rows) return all.text.c_str();
  const auto start = static_cast<std::size_t>(first);
  const std::size_t n =
      std::min(static_cast<std::size_t>(count), static_cast<std::size_t>(rows) - start);
  std::vector<RowRequest> requests;
  std::vector<std::string> kept;
  web::requestsOf(table->options, start, n, requests, kept);
  std::vector<Row> computed(n);
  computeRows(all.constants, requests, computed);
  table::appendRows(*table->style, computed, all.text, table->pressureTexts, kept);
  return all.text.c_str();
} catch (const std::bad_alloc&) {
  web::tables().error = "out of memory";
  web::tables().text.clear();
  return "";
}

extern "C" void aqsol_web_table_close(int handle) {
  web::tables().open.erase(handle);
}

extern "C" const char* aqsol_web_error(void) {
  return web::tables().error.c_str();
}
