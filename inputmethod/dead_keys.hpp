// Dead keys: an accent typed first combines with the next character (´ then e gives é).
#pragma once

#include <optional>
#include <string>

namespace aqsol {

// The character that dead accent `dead` (a spacing accent such as U+00B4 ´ or U+005E ^) makes of
// `base`, if the pair is one of the common Latin combinations.
std::optional<char16_t> combine_dead_key(char16_t dead, char16_t base);

// The characters typed after a dead key: the combination when there is one; the accent alone
// when `base` is a blank; else the accent followed by `base`.
std::u16string after_dead_key(char16_t dead, char16_t base);

// The spacing accent of an X dead keysym (0xFE50 dead_grave ...), or 0 when it is none.
char16_t accent_of_dead_keysym(unsigned long keysym);

}  // namespace aqsol
