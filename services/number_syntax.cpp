// The decimal number syntax that the data reader (strictly) and numeric text (leniently) read.
#include "services/number_syntax.hpp"

namespace aqsol {
namespace {

constexpr std::size_t kStrictDigits = 256;
constexpr int kStrictExponentDigits = 18;
constexpr std::size_t kLenientDigits = 12'000;
constexpr int kLenientExponentDigits = 17;

enum class State { kStart, kInteger, kFraction, kExponentLetter, kExponentDigits };

bool is_exponent_letter(char c) {
  return c == 'D' || c == 'E' || c == 'd' || c == 'e';
}

// One character's step through the syntax; false when it cannot continue the number.
class Scanner {
 public:
  Scanner(NumberSyntax syntax, DecimalNumber& out)
      : strict_(syntax == NumberSyntax::kStrict), out_(out) {}

  // kNumber to go on, kSyntaxError when `c` cannot continue (the lenient syntax stops there),
  // kOverflow when a strict limit is passed.
  ScanStatus step(char c) {
    const bool digit = c >= '0' && c <= '9';
    if ((c == '-' || c == '+') && state_ == State::kStart) {
      out_.negative = c == '-';
      state_ = State::kInteger;
    } else if ((c == '-' || c == '+') && state_ == State::kExponentLetter) {
      exponent_negative_ = c == '-';
      state_ = State::kExponentDigits;
    } else if (c == '.' && state_ <= State::kInteger) {
      state_ = State::kFraction;
    } else if (is_exponent_letter(c) && state_ <= State::kFraction) {
      state_ = State::kExponentLetter;
    } else if (digit && state_ <= State::kFraction) {
      return mantissa_digit(c);
    } else if (digit) {
      return exponent_digit(c);
    } else {
      return ScanStatus::kSyntaxError;
    }
    return ScanStatus::kNumber;
  }

  void finish() {
    if (exponent_negative_) out_.exponent = -out_.exponent;
    if (out_.dropped_nonzero) out_.digits.push_back('1');
  }

  bool at_start() const { return state_ == State::kStart; }

 private:
  ScanStatus mantissa_digit(char c) {
    const bool fraction = state_ == State::kFraction;
    if (!fraction) state_ = State::kInteger;
    if (out_.digits.empty() && c == '0') {  // a leading zero
      if (fraction) --out_.point_shift;
      return ScanStatus::kNumber;
    }
    if (!fraction) ++out_.point_shift;
    if (out_.digits.size() < (strict_ ? kStrictDigits : kLenientDigits)) {
      out_.digits.push_back(c);
    } else if (strict_) {
      return ScanStatus::kOverflow;
    } else {
      out_.dropped_nonzero |= c != '0';
    }
    return ScanStatus::kNumber;
  }

  ScanStatus exponent_digit(char c) {
    state_ = State::kExponentDigits;
    if (exponent_digits_ == 0 && c == '0') return ScanStatus::kNumber;
    if (strict_ && exponent_digits_ == kStrictExponentDigits) return ScanStatus::kOverflow;
    if (!strict_ && exponent_digits_ == kLenientExponentDigits) return ScanStatus::kSyntaxError;
    ++exponent_digits_;
    out_.exponent = out_.exponent * 10 + (c - '0');
    return ScanStatus::kNumber;
  }

  bool strict_;
  DecimalNumber& out_;
  State state_ = State::kStart;
  bool exponent_negative_ = false;
  int exponent_digits_ = 0;
};

}  // namespace

ScanStatus scan_decimal_number(std::string_view text, NumberSyntax syntax, DecimalNumber& out) {
  out = DecimalNumber{};
  const bool strict = syntax == NumberSyntax::kStrict;
  Scanner scanner(syntax, out);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!strict && (c == ' ' || c == '\t')) continue;
    if (!strict && c == '&') {
      if (scanner.at_start()) out.radix_at = i;
      break;
    }
    const ScanStatus status = scanner.step(c);
    if (status == ScanStatus::kNumber) continue;
    if (strict) return status;
    break;  // the lenient syntax ends the number here
  }
  scanner.finish();
  return ScanStatus::kNumber;
}

}  // namespace aqsol
