// Transcript tests of line input: keys in, the echo on the screen and the stored value out.
#include "console/line_input.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "tests/console/runtime_fixture.hpp"

namespace aqsol {
namespace {

// A host that hands out scripted keys and asks for a stop when they run out.
class ScriptedHost final : public RuntimeHost {
 public:
  explicit ScriptedHost(StringStorage& st) : st_(st) {}
  std::deque<std::string> keys;
  int polls_without_key = 0;

  RuntimeString* read_key() override {
    if (keys.empty()) {
      ++polls_without_key;
      return st_.string_new(0, true);
    }
    const std::string key = keys.front();
    keys.pop_front();
    RuntimeString* s = st_.string_new(static_cast<uint32_t>(key.size()), true);
    std::copy(key.begin(), key.end(), s->data);
    return s;
  }
  bool stop_requested() const override { return polls_without_key > 0; }
  bool event_pending() const override { return false; }
  void hook(int32_t) override {}
  [[noreturn]] void stop() override { throw 0; }
  void sound(double, double) override {}
  void sleep_ms(int) override {}

 private:
  StringStorage& st_;
};

class LineInput : public RuntimeFixture {
 protected:
  TextScreen screen{low_memory};
  int bells = 0;
  Console con{errors, st, screen, [this] { ++bells; }};
  ScriptedHost host{st};

  void type(std::string_view text) {
    for (char c : text) host.keys.emplace_back(1, c);
  }
  double read_double(std::string_view text, int newline = 0) {
    type(text);
    host.keys.emplace_back("\r");
    double value = -1;
    const InputTarget target{kInputDouble, &value};
    line_input(con, host, std::span(&target, 1), newline);
    return value;
  }
  std::string read_string(std::string_view text, int newline = 0) {
    type(text);
    host.keys.emplace_back("\r");
    RuntimeString* s = st.string_new(0, false);
    const InputTarget target{kInputString, s};
    line_input(con, host, std::span(&target, 1), newline);
    return std::string(s->view());
  }
  std::string row(int r) const {
    std::string text;
    for (int c = 1; c <= screen.width(); ++c)
      text += static_cast<char>(screen.load_cell(r, c) & 0xFF);
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
};

TEST_F(LineInput, RejectedKeysAreTakenBackAtOnce) {
  EXPECT_EQ(read_double("12a.5"), 12.5);
  EXPECT_EQ(row(1), "12.5");
  EXPECT_EQ(screen.cursor_column(), 5);  // newline off: the cursor stays after the echo
  EXPECT_EQ(screen.cursor_row(), 1);
}

TEST_F(LineInput, DoubleEntryEdgeCases) {
  struct Case {
    const char* keys;
    double value;
    const char* echo;
  };
  const Case cases[] = {
      {"", 0, ""},
      {"-", 0, "-"},
      {"1e", 1, "1e"},
      {"05", 0, "0"},
      {"1,2", 12, "12"},
      {"1d2", 100, "1d2"},
      {"2.5e-3", 0.0025, "2.5e-3"},
      {"1e400", 1e40, "1e40"},
      {"--5", -5, "-5"},
      {"0.00\b\b\b7", 0, "0"},
      {"0.0\b\b\b7", 7, "7"},
  };
  for (const Case& c : cases) {
    screen.fill_rows(1, 25, TextScreen::kBlankCell);
    screen.set_cursor(1, 1);
    std::string keys = c.keys;
    for (char& k : keys)
      if (k == '\b') k = 8;
    EXPECT_EQ(read_double(keys), c.value) << c.keys;
    EXPECT_EQ(row(1), c.echo) << c.keys;
  }
}

TEST_F(LineInput, StringEntryTakesEverythingUpTo255Bytes) {
  EXPECT_EQ(read_string("25.0 C!", 1), "25.0 C!");
  EXPECT_EQ(screen.cursor_row(), 2);  // newline on
  EXPECT_EQ(screen.cursor_column(), 1);
  EXPECT_EQ(read_string(std::string(300, 'x')).size(), 255u);
  screen.set_cursor(10, 1);
  EXPECT_EQ(read_string("a\tb"), "a       b");
}

TEST_F(LineInput, BellRingsControlKeysAreIgnoredExtendedKeysSkipped) {
  host.keys.emplace_back(std::string("\0H", 2));  // Up: two bytes, ignored
  EXPECT_EQ(read_string("a\a\x0c\x1e"
                        "b"),
            "ab");
  EXPECT_EQ(bells, 1);
}

TEST_F(LineInput, BackspaceAfterAWrappedEchoKeepsTheRest) {
  screen.set_cursor(5, 75);
  EXPECT_EQ(read_string(std::string("abcdefghij") + '\b'), "abcdefghi");
  EXPECT_EQ(row(5).substr(74), "abcdef");
  EXPECT_EQ(row(6), "ghi");
}

TEST_F(LineInput, EchoRebuiltAtTheBottomDoesNotScrollTwice) {
  struct Counter : ScreenListener {
    int rows = 0;
    void row_scrolled_out(int) override { ++rows; }
  } counter;
  screen.set_listener(&counter);
  screen.set_cursor(24, 75);
  read_double("123456789a");  // the tenth key wraps, scrolls, and is taken back
  EXPECT_EQ(counter.rows, 1);
  screen.set_listener(nullptr);
}

TEST_F(LineInput, StopAndPendingErrorReturnAtOnce) {
  double value = 7;
  const InputTarget target{kInputDouble, &value};
  type("12");  // no Enter: the host asks for a stop once the keys run out
  screen.set_cursor_visible(0);
  line_input(con, host, std::span(&target, 1), 1);
  EXPECT_EQ(value, 12);
  EXPECT_EQ(screen.cursor_row(), 1);      // no line end after a stop
  EXPECT_EQ(screen.cursor_visible(), 0);  // hidden again, as before the entry
  host.polls_without_key = 0;
  errors.raise_error(5);
  value = 7;
  line_input(con, host, std::span(&target, 1), 0);
  EXPECT_EQ(value, 7);
}

TEST(DecimalField, RangeLimitsOfDoubleAndSingle) {
  struct Case {
    const char* field;
    bool single, valid;
  };
  const Case cases[] = {
      {"1.7976931e308", false, true},
      {"1.8e308", false, false},
      {"1e309", false, false},
      {"4.9406564e-324", false, true},
      {"4.9e-324", false, false},
      {"1e-323", false, true},
      {"1e-324", false, false},
      {"0.12345678901234567", false, false},
      {"0.1234567890123456", false, true},
      {"3.4e38", true, true},
      {"3.5e38", true, false},
      {"1d5", true, false},
      {"1e05", false, false},
      {"1e+", false, true},
      {"e5", false, false},
      {"-.", false, true},
      {".5", false, true},
      {"1.0", false, true},
  };
  for (const Case& c : cases) EXPECT_EQ(valid_decimal_field(c.field, c.single), c.valid) << c.field;
}

TEST(IntegerField, DigitsAndRanges) {
  EXPECT_TRUE(valid_integer_field("9223372036854775807", 64, false));
  EXPECT_FALSE(valid_integer_field("9223372036854775808", 64, false));
  EXPECT_TRUE(valid_integer_field("-9223372036854775808", 64, false));
  EXPECT_TRUE(valid_integer_field("18446744073709551615", 64, true));
  EXPECT_FALSE(valid_integer_field("-1", 64, true));
  EXPECT_TRUE(valid_integer_field("-32768", 16, false));
  EXPECT_FALSE(valid_integer_field("32768", 16, false));
  EXPECT_FALSE(valid_integer_field("01", 16, false));
  EXPECT_TRUE(valid_integer_field("0", 8, true));
}

}  // namespace
}  // namespace aqsol
