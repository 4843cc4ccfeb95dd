// Doubles to and from decimal text, with the standard library's floating-point <charconv> where it
// has one.
#include "services/decimal_text.hpp"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace aqsol {

#if defined(__GLIBCXX__) || defined(_MSC_VER)  // floating-point <charconv> is there

std::from_chars_result readDouble(const char* first, const char* last, double& value) {
  return std::from_chars(first, last, value);
}

std::to_chars_result writeFixed(char* first, char* last, double value, int places) {
  return std::to_chars(first, last, value, std::chars_format::fixed, places);
}

std::to_chars_result writeLibraryShortest(char* first, char* last, double value) {
  return std::to_chars(first, last, value);
}

#else

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The end of the longest prefix of [first, last) that from_chars' general format reads: digits
// with at most one point, then an exponent where one follows in full; or inf, infinity, nan.
const char* numberEnd(const char* first, const char* last) {
  const char* p = first;
  if (p != last && *p == '-') ++p;
  const std::size_t left = static_cast<std::size_t>(last - p);
  for (const char* word : {"infinity", "inf", "nan"})
    if (left >= std::strlen(word) && strncasecmp(p, word, std::strlen(word)) == 0)
      return p + std::strlen(word);
  const char* digits = p;
  while (p != last && isDigit(*p)) ++p;
  if (p != last && *p == '.') ++p;
  while (p != last && isDigit(*p)) ++p;
  if (p == digits || (p == digits + 1 && *digits == '.')) return first;
  if (p != last && (*p == 'e' || *p == 'E')) {
    const char* e = p + 1;
    if (e != last && (*e == '+' || *e == '-')) ++e;
    if (e != last && isDigit(*e)) {
      while (e != last && isDigit(*e)) ++e;
      p = e;
    }
  }
  return p;
}

}  // namespace

std::from_chars_result readDouble(const char* first, const char* last, double& value) {
  const char* end = numberEnd(first, last);
  if (end == first) return {first, std::errc::invalid_argument};
  const std::string text(first, end);
  errno = 0;
  const double read = std::strtod(text.c_str(), nullptr);
  if (errno == ERANGE && (std::isinf(read) || std::fpclassify(read) != FP_NORMAL))
    return {end, std::errc::result_out_of_range};
  value = read;
  return {end, std::errc()};
}

std::to_chars_result writeFixed(char* first, char* last, double value, int places) {
  const int length = std::snprintf(nullptr, 0, "%.*f", places, value);
  if (length < 0 || length >= last - first) return {last, std::errc::value_too_large};
  std::snprintf(first, static_cast<std::size_t>(length) + 1, "%.*f", places, value);
  return {first + length, std::errc()};
}

std::to_chars_result writeLibraryShortest(char* first, char* last, double value) {
  char text[400];
  if (value == 0) {
    std::strcpy(text, std::signbit(value) ? "-0" : "0");
  } else if (std::isinf(value)) {
    std::strcpy(text, value < 0 ? "-inf" : "inf");
  } else if (std::isnan(value)) {
    std::strcpy(text, std::signbit(value) ? "-nan" : "nan");
  } else {
    std::snprintf(text, sizeof text, "%.0f", value);  // an integer's exact digits
  }
  const std::size_t length = std::strlen(text);
  if (static_cast<std::ptrdiff_t>(length) > last - first) return {last, std::errc::value_too_large};
  std::memcpy(first, text, length);
  return {first + length, std::errc()};
}

#endif

}  // namespace aqsol
