// Line input: one line typed on the text screen, validated key by key against the types of its
// target variables, and stored into them.
#include "console/line_input.hpp"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace aqsol {
namespace {

constexpr std::size_t kMaxLine = 255;
constexpr int kPollMs = 10;

enum : uint8_t {
  kKeyBell = 7,
  kKeyBackspace = 8,
  kKeyTab = 9,
  kKeyEnter = 13,
};

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_exponent_letter(char c) {
  return c == 'D' || c == 'd' || c == 'E' || c == 'e';
}

// Whether the leading significant digits `digits` compare above (`above`) or below `limit`,
// the shorter one padded with zeros.
int compare_leading(const std::string& digits, std::string_view limit) {
  for (std::size_t k = 0; k < limit.size(); ++k) {
    const char d = k < digits.size() ? digits[k] : '0';
    if (d != limit[k]) return d < limit[k] ? -1 : 1;
  }
  for (std::size_t k = limit.size(); k < digits.size(); ++k)
    if (digits[k] != '0') return 1;
  return 0;
}

// The parts of a decimal number as the range rules see them.
struct DecimalParts {
  int integer_digits = 0;   // i: 0 when the integer part is a lone 0 or absent
  int fraction_digits = 0;  // f: a fraction that is a single 0 counts as none
  int leading_zeros = 0;    // z: zeros after the point before the first significant digit
  long exponent = 0;        // x
  std::string significant;  // the significant digits in order
};

bool range_ok(const DecimalParts& p, bool single) {
  if (p.significant.empty()) return true;
  const int max_zeros = single ? 44 : 323;
  const int max_magnitude = single ? 39 : 309;
  const int min_magnitude = single ? -44 : -323;
  const std::string_view largest = single ? "3402823" : "17976931";
  const std::string_view smallest = single ? "1401298" : "4940656";
  if (p.leading_zeros >= max_zeros) return false;
  const long magnitude = (p.integer_digits > 0 ? p.integer_digits : -p.leading_zeros) + p.exponent;
  if (magnitude > max_magnitude) return false;
  if (magnitude == max_magnitude && compare_leading(p.significant, largest) > 0) return false;
  if (p.fraction_digits > 0) {
    const int digits = p.integer_digits > 0 ? p.integer_digits + p.fraction_digits
                                            : p.fraction_digits - p.leading_zeros;
    if (digits > (single ? 8 : 16)) return false;
  }
  if (magnitude < min_magnitude) return false;
  if (magnitude == min_magnitude && compare_leading(p.significant, smallest) < 0) return false;
  return true;
}

// "&H..." or "&O..." limited to `bits` bits; the incomplete forms "&", "&H", "&O" pass.
bool valid_radix_field(std::string_view field, int bits) {
  if (field.size() < 2) return true;
  const char letter = field[1];
  const std::string_view digits = field.substr(2);
  if (letter == 'H' || letter == 'h') {
    for (char c : digits)
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    const std::size_t significant =
        digits.size() - std::min(digits.find_first_not_of('0'), digits.size());
    return significant * 4 <= static_cast<std::size_t>(bits);
  }
  if (letter == 'O' || letter == 'o') {
    for (char c : digits)
      if (c < '0' || c > '7') return false;
    const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    const std::size_t significant = digits.size() - first;
    if (significant == 0) return true;
    const int top_bits = digits[first] >= '4' ? 3 : digits[first] >= '2' ? 2 : 1;
    return static_cast<int>(significant - 1) * 3 + top_bits <= bits;
  }
  return false;
}

uint64_t radix_value(std::string_view field) {
  if (field.size() < 3) return 0;
  const int base = (field[1] == 'H' || field[1] == 'h') ? 16 : 8;
  return std::strtoull(std::string(field.substr(2)).c_str(), nullptr, base);
}

// The fields of `line` for `count` targets; false when it splits into more fields or a quoted
// field is followed by anything but a comma.
bool split_fields(std::string_view line, std::size_t count, bool whole_line,
                  std::vector<std::string>& fields) {
  fields.assign(1, std::string());
  if (whole_line) {
    fields[0] = line;
    return true;
  }
  enum { kPlain, kQuoted, kClosed } state = kPlain;
  for (char c : line) {
    if (state == kQuoted) {
      if (c == '"')
        state = kClosed;
      else
        fields.back() += c;
      continue;
    }
    if (c == ',') {
      if (fields.size() == count) return false;
      fields.emplace_back();
      state = kPlain;
      continue;
    }
    if (state == kClosed) return false;
    if (c == '"' && fields.back().empty()) {
      state = kQuoted;
      continue;
    }
    fields.back() += c;
  }
  return true;
}

void reset_target(StringStorage& strings, const InputTarget& t) {
  if (t.type & kInputString) {
    auto* s = static_cast<RuntimeString*>(t.variable);
    if (s->fixed_length)
      std::fill(s->data, s->data + s->length, static_cast<uint8_t>(' '));
    else
      strings.string_assign(s, strings.string_new(0, true));
    return;
  }
  const int bits = static_cast<int>(t.type & kInputSizeMask);
  if (t.type & kInputFloat) {
    if (bits == 32)
      *static_cast<float*>(t.variable) = 0;
    else
      *static_cast<double*>(t.variable) = 0;
    return;
  }
  std::fill_n(static_cast<uint8_t*>(t.variable), bits / 8, uint8_t{0});
}

void store_integer(const InputTarget& t, uint64_t bits_value) {
  const int bits = static_cast<int>(t.type & kInputSizeMask);
  switch (bits) {
    case 8:
      *static_cast<uint8_t*>(t.variable) = static_cast<uint8_t>(bits_value);
      break;
    case 16:
      *static_cast<uint16_t*>(t.variable) = static_cast<uint16_t>(bits_value);
      break;
    case 32:
      *static_cast<uint32_t*>(t.variable) = static_cast<uint32_t>(bits_value);
      break;
    default:
      *static_cast<uint64_t*>(t.variable) = bits_value;
      break;
  }
}

// Validates `field` for target `t` and, when valid, stores its value.
bool validate_and_store(StringStorage& strings, const InputTarget& t, const std::string& field) {
  if (t.type & kInputString) {
    auto* s = static_cast<RuntimeString*>(t.variable);
    if (s->fixed_length && static_cast<int32_t>(field.size()) > s->length) return false;
    RuntimeString* text = strings.string_new(static_cast<uint32_t>(field.size()), true);
    std::copy(field.begin(), field.end(), text->data);
    strings.string_assign(s, text);
    return true;
  }
  if (field.empty()) return true;
  const int bits = static_cast<int>(t.type & kInputSizeMask);
  if (field[0] == '&') {
    if (!valid_radix_field(field, (t.type & kInputFloat) ? 64 : bits)) return false;
    const uint64_t value = radix_value(field);
    if (t.type & kInputFloat) {
      if (bits == 32)
        *static_cast<float*>(t.variable) = static_cast<float>(static_cast<int64_t>(value));
      else
        *static_cast<double*>(t.variable) = static_cast<double>(static_cast<int64_t>(value));
    } else {
      store_integer(t, value);
    }
    return true;
  }
  if (t.type & kInputFloat) {
    if (!valid_decimal_field(field, bits == 32)) return false;
    std::string text = field;
    for (char& c : text)
      if (c == 'D' || c == 'd') c = 'E';
    if (bits == 32)
      std::sscanf(text.c_str(), "%f", static_cast<float*>(t.variable));
    else
      std::sscanf(text.c_str(), "%lf", static_cast<double*>(t.variable));
    return true;
  }
  const bool is_unsigned = t.type & kInputUnsigned;
  if (!valid_integer_field(field, bits, is_unsigned)) return false;
  store_integer(t, is_unsigned ? std::strtoull(field.c_str(), nullptr, 10)
                               : static_cast<uint64_t>(std::strtoll(field.c_str(), nullptr, 10)));
  return true;
}

// The state of one line input call.
class LineEditor {
 public:
  LineEditor(Console& con, std::span<const InputTarget> targets)
      : con_(con), targets_(targets), has_snapshot_(con.screen.take_snapshot(snapshot_)) {}

  // Whether the page could be copied for rebuilding the echo (its memory may run out).
  bool ready() const { return has_snapshot_; }

  // Appends `key`, echoes it and keeps it when the line stays valid.
  void type(uint8_t key) {
    if (accepted_.size() >= kMaxLine) return;
    line_ = accepted_ + static_cast<char>(key);
    echo(key);
    if (validate())
      accepted_ = line_;
    else
      reject_and_shorten();
  }

  // Removes the last byte and rebuilds the echo from the snapshot.
  void reject_and_shorten() {
    if (line_.empty()) return;
    line_.pop_back();
    con_.screen.restore(snapshot_);
    // The rebuilt echo scrolls no further than the first one did, which listeners have heard.
    con_.screen.set_listener_muted(true);
    for (char c : line_) echo(static_cast<uint8_t>(c));
    con_.screen.set_listener_muted(false);
    if (validate()) accepted_ = line_;
  }

  std::size_t accepted_length() const { return accepted_.size(); }

 private:
  void echo(uint8_t key) {
    RuntimeString* s = con_.strings.string_new(1, true);
    s->data[0] = key;
    print_string(con_, s, 0);
  }

  bool validate() {
    std::vector<std::string> fields;
    const bool whole_line =
        (targets_[0].type & kInputString) && (targets_[0].type & kInputWholeLine);
    if (!split_fields(line_, targets_.size(), whole_line, fields)) return false;
    return validate_and_store(con_.strings, targets_[fields.size() - 1], fields.back());
  }

  Console& con_;
  std::span<const InputTarget> targets_;
  TextScreen::Snapshot snapshot_;
  bool has_snapshot_;
  std::string line_, accepted_;
};

bool is_ignored_control(uint8_t key) {
  return key == 10 || key == 11 || key == 12 || (key >= 28 && key <= 31);
}

}  // namespace

bool valid_decimal_field(std::string_view field, bool single) {
  std::size_t k = 0;
  if (k < field.size() && field[k] == '-') ++k;
  DecimalParts p;
  const std::size_t mantissa_start = k;
  bool any_digit = false;
  // Integer digits.
  if (k < field.size() && field[k] == '0') {
    ++k;
    any_digit = true;
    if (k < field.size() && field[k] != '.') return false;
  } else {
    while (k < field.size() && is_digit(field[k])) {
      p.significant += field[k];
      ++p.integer_digits;
      ++k;
      any_digit = true;
    }
  }
  // Fraction.
  if (k < field.size() && field[k] == '.') {
    ++k;
    bool seen_significant = false;
    const std::size_t fraction_start = k;
    while (k < field.size() && is_digit(field[k])) {
      if (field[k] != '0' || seen_significant) {
        seen_significant = true;
        p.significant += field[k];
      } else if (p.integer_digits == 0) {
        ++p.leading_zeros;
      }
      ++k;
      any_digit = true;
    }
    p.fraction_digits = static_cast<int>(k - fraction_start);
    if (p.fraction_digits == 1 && field[fraction_start] == '0') p.fraction_digits = 0;
  }
  // Exponent.
  if (k < field.size() && is_exponent_letter(field[k])) {
    if (k == mantissa_start || !any_digit) return false;
    if (single && (field[k] == 'D' || field[k] == 'd')) return false;
    ++k;
    bool negative = false;
    if (k < field.size() && (field[k] == '-' || field[k] == '+')) negative = field[k++] == '-';
    const std::size_t digits_start = k;
    while (k < field.size() && is_digit(field[k])) {
      if (k > digits_start && field[digits_start] == '0') return false;
      if (p.exponent < 100'000) p.exponent = p.exponent * 10 + (field[k] - '0');
      ++k;
    }
    if (negative) p.exponent = -p.exponent;
  }
  if (k != field.size()) return false;
  // Leading zeros of the significant digits belong to z, not to the digits themselves.
  const std::size_t first = p.significant.find_first_not_of('0');
  p.significant = first == std::string::npos ? std::string() : p.significant.substr(first);
  return range_ok(p, single);
}

bool valid_integer_field(std::string_view field, int bits, bool is_unsigned) {
  std::size_t k = 0;
  const bool negative = !field.empty() && field[0] == '-';
  if (negative) {
    if (is_unsigned) return false;
    k = 1;
  }
  const std::string_view digits = field.substr(k);
  for (char c : digits)
    if (!is_digit(c)) return false;
  if (digits.size() > 1 && digits[0] == '0') return false;
  if (digits.empty()) return true;
  if (bits >= 64) {
    const std::string_view limit = is_unsigned ? "18446744073709551615"
                                   : negative  ? "9223372036854775808"
                                               : "9223372036854775807";
    return digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
  }
  if (digits.size() > 19) return false;
  const uint64_t value = std::strtoull(std::string(digits).c_str(), nullptr, 10);
  const uint64_t top = is_unsigned ? (uint64_t{1} << bits) - 1
                       : negative  ? uint64_t{1} << (bits - 1)
                                   : (uint64_t{1} << (bits - 1)) - 1;
  return value <= top;
}

void line_input(Console& con, RuntimeHost& host, std::span<const InputTarget> targets,
                int newline) {
  if (con.errors.has_error() || targets.empty()) return;
  StringStorage& strings = con.strings;
  TextScreen& screen = con.screen;
  // The cursor shows while the line is entered and is as it was afterwards, however the entry
  // ends (Enter, a stop, no memory).
  struct CursorShown {
    TextScreen& screen;
    const uint8_t was_visible = screen.cursor_visible();
    explicit CursorShown(TextScreen& s) : screen(s) { screen.set_cursor_visible(1); }
    ~CursorShown() { screen.set_cursor_visible(was_visible); }
  } cursor_shown(screen);
  for (const InputTarget& t : targets) reset_target(strings, t);

  LineEditor editor(con, targets);
  if (!editor.ready()) {
    con.errors.raise_error(kOutOfMemory);
    return;
  }
  int pending_spaces = 0;
  const int32_t mark = strings.temporaries_mark();
  for (;;) {
    uint8_t key;
    if (pending_spaces > 0) {
      --pending_spaces;
      key = ' ';
    } else {
      const RuntimeString* read = host.read_key();
      const int32_t length = read->length;
      key = length > 0 ? read->data[0] : 0;
      strings.temporaries_release(mark, 0);
      if (host.stop_requested()) return;
      if (length != 1) {
        if (length == 0) host.wait_for_key(kPollMs);
        continue;  // nothing, or a key without a character
      }
    }
    if (key == kKeyEnter) break;
    if (key == kKeyBackspace) {
      editor.reject_and_shorten();
    } else if (key == kKeyTab) {
      pending_spaces = 8 - static_cast<int>(editor.accepted_length() % 8);
    } else if (key == kKeyBell) {
      RuntimeString* bell = strings.string_new(1, true);
      bell->data[0] = kKeyBell;
      print_string(con, bell, 0);
    } else if (!is_ignored_control(key)) {
      editor.type(key);
    }
    strings.temporaries_release(mark, 0);
  }
  strings.temporaries_release(mark, 0);
  if (newline) print_string(con, strings.shared_empty(), 1);
}

}  // namespace aqsol
