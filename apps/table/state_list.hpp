// Lists of states for aqsol-table --states and aqsol-fit: (T, P) pairs read from a CSV, a
// semicolon- or tab-separated or whitespace table with a header line, whole or a block at a time.
#pragma once

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apps/table/number_lists.hpp"
#include "calculator/state_rows.hpp"

namespace aqsol::table {

// One state of a list, temperature in degrees Celsius.
struct StateItem {
  double temperatureC = 0;
  PressureItem pressure;
};

// The columns a reader takes from each line besides the state, named as in the header (any
// case): `numbers` read as numbers (NaN where the header lacks the column or a field is empty),
// `texts` carried as they are (every one must be in the header).
struct StateColumns {
  std::span<const std::string_view> numbers;
  std::span<const std::string_view> texts;
};

// States read from a list, with per state the numbers and the texts of the columns asked for,
// one state's after another's.
struct StateBlock {
  std::vector<StateItem> states;
  std::vector<double> numbers;
  std::vector<std::string> texts;

  void clear();
};

struct StateHeader;

// Reads a table of states. Blank lines and lines that start with # are skipped; the first other
// line is the header, which names the columns: T_C or T_K (or T, in the temperature unit) and
// P_bar or P_MPa (or P, in the pressure unit). Fields are separated by semicolons when the
// header has one, else by commas, else by tabs, else by runs of blanks (double quotes around a
// field are removed). A pressure of sat or 0 is the saturation pressure. Errors name the input
// and the line.
class StateReader {
 public:
  explicit StateReader(const Units& units, StateColumns columns = {});
  ~StateReader();
  StateReader(const StateReader&) = delete;
  StateReader& operator=(const StateReader&) = delete;

  // Opens `file` ("-": standard input). With `again`, an input that cannot be read twice (a
  // pipe) is copied to a temporary file as it is read, for rewind.
  bool open(const std::string& file, bool again, std::string& error);
  // Reads from `in`, which the reader does not close; `name` for messages.
  void open(std::FILE* in, std::string_view name);

  // Appends up to `most` further states to `block`. False with `error` at a bad line, a failed
  // read, or a list without states; at the end of the list it appends none.
  bool read(std::size_t most, StateBlock& block, std::string& error);
  bool atEnd() const { return atEnd_; }

  // Back to the first state, to read the list again.
  bool rewind(std::string& error);

 private:
  enum class Line { kLine, kEnd, kFailed };
  Line nextLine(std::string& error);
  bool takeLine(std::string_view text, StateBlock& block, std::string& error);
  bool fail(const std::string& message, std::string& error) const;

  Units units_;
  std::vector<std::string> numberColumns_, textColumns_;
  std::FILE* in_ = nullptr;
  bool owned_ = false;
  long start_ = 0;  // where the list starts in `in_` (standard input may have been read from)
  std::FILE* copy_ = nullptr;  // the copy of a pipe, while it is being written and after
  bool copying_ = false;
  std::string name_;
  std::string line_;
  std::size_t lineNumber_ = 0;
  std::size_t statesRead_ = 0;
  bool atEnd_ = false;
  std::unique_ptr<StateHeader> header_;
};

// Every state of `file` ("-": standard input) into `block`.
bool readStateList(const std::string& file, const Units& units, StateBlock& block,
                   std::string& error, StateColumns columns = {});

}  // namespace aqsol::table
