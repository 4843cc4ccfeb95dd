// Formatted output with picture strings: numbers and strings placed into fields such as
// "####.##", "##.###^^^^", "&" or "\  \", with the literal text around them.
#include "console/picture_format.hpp"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace aqsol {
namespace {

// A number as decimal digits: value = digits (as an integer) x 10^point_shift.
struct DigitForm {
  bool negative = false;
  std::string digits;
  int32_t point_shift = 0;
  char exponent_letter = 'E';

  int32_t count() const { return static_cast<int32_t>(digits.size()); }
  int32_t integer_digits() const { return count() + point_shift; }
  // Digit i of the sequence; places before the first or past the last digit are "0".
  char digit(int32_t i) const { return i >= 0 && i < count() ? digits[i] : '0'; }
};

// One numeric field of a picture.
struct Field {
  int32_t integer_places = 0;
  int32_t fraction_places = 0;
  bool has_point = false;
  bool has_comma = false;
  bool lead_plus = false;
  bool trail_plus = false;
  bool trail_minus = false;
  bool star_fill = false;
  bool dollar = false;
  int32_t exponent_digits = 0;
};

// The item being placed: a number or a string.
struct Item {
  const DigitForm* number = nullptr;
  const RuntimeString* text = nullptr;
};

// Scans a numeric field at pos; on success sets `end` past it.
bool scan_numeric_field(std::string_view pic, std::size_t pos, Field& f, std::size_t& end) {
  enum { kStart, kAfterPlus, kInteger, kFraction, kExponent };
  int state = kStart;
  std::size_t i = pos;
  auto at = [&](std::string_view s) { return pic.substr(i, s.size()) == s; };
  while (i < pic.size()) {
    const char c = pic[i];
    if (state >= kInteger && (c == '+' || c == '-')) {
      (c == '+' ? f.trail_plus : f.trail_minus) = true;
      ++i;
      break;
    }
    if ((state == kInteger || state == kFraction) && at("^^^^^")) {
      f.exponent_digits = 3, i += 5, state = kExponent;
    } else if ((state == kInteger || state == kFraction) && at("^^^^")) {
      f.exponent_digits = 2, i += 4, state = kExponent;
    } else if (state == kFraction && c == '#') {
      ++f.fraction_places, ++i;
    } else if (state == kInteger && c == ',') {
      f.has_comma = true, ++f.integer_places, ++i;
    } else if (state <= kInteger && c == '#') {
      ++f.integer_places, ++i, state = kInteger;
    } else if (state <= kInteger && c == '.') {
      f.has_point = true, ++i, state = kFraction;
    } else if (state <= kAfterPlus && at("**$")) {
      f.star_fill = f.dollar = true, f.integer_places += 2, i += 3, state = kInteger;
    } else if (state <= kAfterPlus && at("**")) {
      f.star_fill = true, f.integer_places += 2, i += 2, state = kInteger;
    } else if (state <= kAfterPlus && at("$$")) {
      f.dollar = true, f.integer_places += 1, i += 2, state = kInteger;
    } else if (state == kStart && c == '+') {
      f.lead_plus = true, ++i, state = kAfterPlus;
    } else {
      break;
    }
  }
  end = i;
  return state >= kInteger && f.integer_places + f.fraction_places >= 1;
}

// Scans a string field ("&", "!", or "\" spaces "\") at pos; width is -1 for the whole string.
bool scan_string_field(std::string_view pic, std::size_t pos, int32_t& width, std::size_t& end) {
  const char c = pic[pos];
  if (c == '&' || c == '!') {
    width = c == '&' ? -1 : 1;
    end = pos + 1;
    return true;
  }
  if (c != '\\') return false;
  std::size_t i = pos + 1;
  while (i < pic.size() && pic[i] == ' ') ++i;
  if (i >= pic.size() || pic[i] != '\\') return false;
  width = static_cast<int32_t>(i - pos + 1);
  end = i + 1;
  return true;
}

// Rounds the digit form up by one unit in the place of digit p (p may lie before the first
// digit); digits after p are dropped.
void round_up_at(DigitForm& v, int32_t p) {
  const int32_t place = v.count() + v.point_shift - 1 - p;
  if (p < 0) {
    v.digits = "1";
  } else {
    v.digits.resize(static_cast<std::size_t>(p) + 1, '0');
    int32_t i = p;
    for (; i >= 0 && v.digits[i] == '9'; --i) v.digits[i] = '0';
    if (i >= 0)
      ++v.digits[i];
    else
      v.digits.insert(v.digits.begin(), '1');
  }
  v.point_shift = place;  // the digits now end at the rounded place
}

void append_signs_after(const Field& f, bool negative, std::string& out) {
  if (f.trail_plus) out += negative ? '-' : '+';
  if (f.trail_minus) out += negative ? '-' : ' ';
}

// Where a field's sign goes: the integer places left for digits, and whether a place before them
// holds the sign (or, in an exponent field with room, a leading "0").
struct SignPlace {
  int32_t places;
  bool used;
  char character;
};

SignPlace sign_place_of(const Field& f, bool negative) {
  const bool explicit_sign = f.lead_plus || f.trail_plus || f.trail_minus;
  SignPlace sign{f.integer_places, false, negative ? '-' : ' '};
  if (f.exponent_digits == 0) {
    if (negative && !explicit_sign) --sign.places, sign.used = true;
  } else if (!explicit_sign) {
    --sign.places, sign.used = true;
    if (!negative && sign.places < 1) {
      ++sign.places, sign.used = false;
      if (sign.places == 1 && f.fraction_places > 0)
        sign.places = 0, sign.used = true, sign.character = '0';
    }
  }
  return sign;
}

// The digits, point and exponent of an exponent field; sets `overflow` when the field has no
// place for a digit or the exponent has too many digits.
std::string exponent_body(const Field& f, const DigitForm& v, SignPlace sign, bool& overflow,
                          int32_t& next_index) {
  int32_t places = sign.places;
  if (places <= 0 && f.fraction_places == 0) overflow = true, places = 1;
  const int32_t shown_places = std::max(places, 0);
  const int32_t value_exponent = v.integer_digits() - 1;
  const int32_t exponent =
      shown_places > 0 ? value_exponent - (shown_places - 1) : value_exponent + 1;
  std::string magnitude = std::to_string(std::abs(exponent));
  if (static_cast<int32_t>(magnitude.size()) > f.exponent_digits) overflow = true;
  magnitude.insert(0, std::max<std::size_t>(f.exponent_digits, magnitude.size()) - magnitude.size(),
                   '0');
  std::string body;
  if (f.dollar) body += '$';
  if (sign.used) body += sign.character;
  for (int32_t k = 0; k < shown_places; ++k) body += v.digit(k);
  if (f.has_point) body += '.';
  for (int32_t j = 0; j < f.fraction_places; ++j) body += v.digit(shown_places + j);
  body += v.exponent_letter;
  body += exponent < 0 ? '-' : '+';
  body += magnitude;
  next_index = shown_places + f.fraction_places;
  return body;
}

// The fill, sign, digits (with commas) and point of a fixed field; sets `overflow` when the
// integer digits do not fit, and then widens the field to hold them.
std::string fixed_body(const Field& f, const DigitForm& v, SignPlace sign, bool& overflow,
                       int32_t& next_index) {
  int32_t width = sign.places;
  const int32_t digit_places = f.has_comma ? sign.places - sign.places / 4 : sign.places;
  const int32_t n_int = v.integer_digits();
  if (n_int > digit_places) {
    overflow = true;
    width = f.has_comma ? (n_int - 1) / 3 + n_int : n_int;
  }
  const int32_t shown_digits = std::max(n_int, 0);
  const int32_t int_chars =
      shown_digits + (f.has_comma && shown_digits > 0 ? (shown_digits - 1) / 3 : 0);
  int32_t fill = width - int_chars;
  const bool zero_lead = n_int <= 0 && fill >= 1;
  if (zero_lead) --fill;
  std::string body(static_cast<std::size_t>(std::max(fill, 0)), f.star_fill ? '*' : ' ');
  if (sign.used) body += '-';
  if (f.dollar) body += '$';
  if (zero_lead) body += '0';
  for (int32_t k = 0; k < shown_digits; ++k) {
    if (f.has_comma && k > 0 && (shown_digits - k) % 3 == 0) body += ',';
    body += v.digit(k);
  }
  if (f.has_point) body += '.';
  for (int32_t j = 0; j < f.fraction_places; ++j) body += v.digit(n_int + j);
  next_index = n_int + f.fraction_places;
  return body;
}

// Formats a number into a field. A lone "0" integer digit is dropped from v when the field
// has no integer places; `next_index` is set to the index in v of the first digit that was not
// printed.
std::string format_attempt(const Field& f, DigitForm& v, int32_t& next_index) {
  const SignPlace sign = sign_place_of(f, v.negative);
  if (sign.places <= 0 && v.integer_digits() == 1 && v.digits[0] == '0') v.digits.erase(0, 1);
  // A "-" needs a place of its own: a field with no integer place has none for it.
  bool overflow = sign.used && sign.character == '-' && sign.places < 0;
  const std::string body = f.exponent_digits > 0 ? exponent_body(f, v, sign, overflow, next_index)
                                                 : fixed_body(f, v, sign, overflow, next_index);
  std::string out;
  if (overflow) out += '%';
  if (f.lead_plus) out += v.negative ? '-' : '+';
  out += body;
  append_signs_after(f, v.negative, out);
  return out;
}

// The field text of a number, rounded half-up once on its digit form when the first unprinted
// digit is 5 or more.
std::string format_number(const Field& f, const DigitForm& value) {
  DigitForm v = value;
  int32_t next_index;
  const std::string text = format_attempt(f, v, next_index);
  if (v.digit(next_index) < '5') return text;
  round_up_at(v, next_index - 1);
  return format_attempt(f, v, next_index);
}

void append(StringStorage& st, RuntimeString* output, const std::string& text) {
  if (text.empty()) return;
  RuntimeString* piece = st.string_new(static_cast<uint32_t>(text.size()), true);
  std::memcpy(piece->data, text.data(), text.size());
  st.string_assign(output, st.string_concat(output, piece));
}

std::string string_field_text(const RuntimeString* item, int32_t width) {
  const std::string_view text = item->view();
  if (width < 0) return std::string(text);
  std::string out(text.substr(0, static_cast<std::size_t>(width)));
  out.resize(static_cast<std::size_t>(width), ' ');
  return out;
}

int32_t format_item(StringStorage& st, const RuntimeString* picture, int32_t start,
                    RuntimeString* output, const Item& item) {
  ErrorSlot& errors = st.errors();
  if (errors.has_error()) return 0;
  const std::string_view pic = picture->view();
  std::string text;
  std::size_t pos = static_cast<std::size_t>(std::max(start, 0));
  bool placed = false;
  bool pass_from_zero = pos == 0;
  auto finish = [&](int32_t result) {
    append(st, output, text);
    return result;
  };
  auto fail = [&](uint32_t error) {
    errors.raise_error(error);
    return finish(0);
  };
  for (;;) {
    if (pos >= pic.size()) {
      if (placed) return finish(0);
      if (pass_from_zero) return fail(kIllegalFunctionCall);
      pos = 0;
      pass_from_zero = true;
      continue;
    }
    Field field;
    std::size_t end;
    int32_t width;
    if (scan_numeric_field(pic, pos, field, end)) {
      if (placed) return finish(static_cast<int32_t>(pos));
      if (item.number == nullptr) return fail(kTypeMismatch);
      text += format_number(field, *item.number);
    } else if (scan_string_field(pic, pos, width, end)) {
      if (placed) return finish(static_cast<int32_t>(pos));
      if (item.text == nullptr) return fail(kTypeMismatch);
      text += string_field_text(item.text, width);
    } else {
      if (pic[pos] == '_' && pos + 1 < pic.size()) ++pos;
      text += pic[pos];
      ++pos;
      continue;
    }
    pos = end;
    placed = true;
  }
}

// Reads the digits of a C-library number text ("% .255E", "% .255Lf" or "% d" forms).
// Returns false on any character it does not expect.
bool parse_number_text(std::string_view text, DigitForm& v) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == ' ' || text[i] == '-')) v.negative = text[i++] == '-';
  int32_t fraction_digits = 0;
  bool in_fraction = false;
  for (; i < text.size() && text[i] != 'E'; ++i) {
    const char c = text[i];
    if (c == '.' && !in_fraction) {
      in_fraction = true;
    } else if (c >= '0' && c <= '9') {
      v.digits.push_back(c);
      fraction_digits += in_fraction;
    } else {
      return false;
    }
  }
  if (v.digits.empty()) return false;
  int32_t exponent = 0;
  if (i < text.size()) {
    const std::string_view e = text.substr(i + 1);
    if (e.size() < 2 || (e[0] != '+' && e[0] != '-')) return false;
    for (char c : e.substr(1)) {
      if (c < '0' || c > '9') return false;
      exponent = exponent * 10 + (c - '0');
    }
    if (e[0] == '-') exponent = -exponent;
  }
  v.point_shift = exponent - fraction_digits;
  // Significant digits only: no leading zeros; zero itself is the single digit 0.
  const std::size_t first = v.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    v.digits = "0";
    v.point_shift = 0;
  } else {
    v.digits.erase(0, first);
  }
  return true;
}

int32_t format_number_text(StringStorage& st, const RuntimeString* picture, std::string_view text,
                           char letter, int32_t start, RuntimeString* output) {
  if (st.errors().has_error()) return 0;
  DigitForm v;
  v.exponent_letter = letter;
  if (!parse_number_text(text, v)) {
    st.errors().raise_error(kIllegalFunctionCall);
    return 0;
  }
  Item item;
  item.number = &v;
  return format_item(st, picture, start, output, item);
}

std::string scientific_text(double value) {
  char text[320];
  std::snprintf(text, sizeof text, "% .255E", value);
  return text;
}

}  // namespace

int32_t format_with_picture(StringStorage& st, const RuntimeString* picture, int32_t start,
                            RuntimeString* output, const RuntimeString* item) {
  Item string_item;
  string_item.text = item;
  return format_item(st, picture, start, output, string_item);
}

int32_t format_int64(StringStorage& st, const RuntimeString* picture, int64_t value, int32_t start,
                     RuntimeString* output) {
  char text[32];
  std::snprintf(text, sizeof text, "% " PRId64, value);
  return format_number_text(st, picture, text, 'E', start, output);
}

int32_t format_uint64(StringStorage& st, const RuntimeString* picture, uint64_t value,
                      int32_t start, RuntimeString* output) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRIu64, value);
  return format_number_text(st, picture, text, 'E', start, output);
}

int32_t format_single(StringStorage& st, const RuntimeString* picture, float value, int32_t start,
                      RuntimeString* output) {
  return format_number_text(st, picture, scientific_text(static_cast<double>(value)), 'E', start,
                            output);
}

int32_t format_double(StringStorage& st, const RuntimeString* picture, double value, int32_t start,
                      RuntimeString* output) {
  return format_number_text(st, picture, scientific_text(value), 'D', start, output);
}

int32_t format_extended(StringStorage& st, const RuntimeString* picture, long double value,
                        int32_t start, RuntimeString* output) {
  if (st.errors().has_error()) return 0;
  const int size = std::snprintf(nullptr, 0, "% .255Lf", value);
  std::string text(static_cast<std::size_t>(std::max(size, 0)) + 1, '\0');
  std::snprintf(text.data(), text.size(), "% .255Lf", value);
  text.pop_back();
  return format_number_text(st, picture, text, 'F', start, output);
}

}  // namespace aqsol
