// Comparisons of ASCII text, as names and keywords typed by users are compared.
#pragma once

#include <cctype>
#include <string_view>

namespace aqsol {

// Whether two texts are equal ignoring the case of ASCII letters.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t n = 0; n < a.size(); ++n)
    if (std::tolower(static_cast<unsigned char>(a[n])) !=
        std::tolower(static_cast<unsigned char>(b[n])))
      return false;
  return true;
}

}  // namespace aqsol
