// Dead keys: an accent typed first combines with the next character (´ then e gives é).
#include "inputmethod/dead_keys.hpp"

namespace aqsol {
namespace {

struct Triple {
  char16_t dead, base, result;
};

// Grave, acute, circumflex, tilde, diaeresis, ring and cedilla over the Latin letters.
constexpr Triple kTriples[] = {
    {u'`', u'a', u'à'}, {u'`', u'e', u'è'}, {u'`', u'i', u'ì'}, {u'`', u'o', u'ò'},
    {u'`', u'u', u'ù'}, {u'`', u'A', u'À'}, {u'`', u'E', u'È'}, {u'`', u'I', u'Ì'},
    {u'`', u'O', u'Ò'}, {u'`', u'U', u'Ù'}, {u'´', u'a', u'á'}, {u'´', u'e', u'é'},
    {u'´', u'i', u'í'}, {u'´', u'o', u'ó'}, {u'´', u'u', u'ú'}, {u'´', u'y', u'ý'},
    {u'´', u'A', u'Á'}, {u'´', u'E', u'É'}, {u'´', u'I', u'Í'}, {u'´', u'O', u'Ó'},
    {u'´', u'U', u'Ú'}, {u'´', u'Y', u'Ý'}, {u'^', u'a', u'â'}, {u'^', u'e', u'ê'},
    {u'^', u'i', u'î'}, {u'^', u'o', u'ô'}, {u'^', u'u', u'û'}, {u'^', u'A', u'Â'},
    {u'^', u'E', u'Ê'}, {u'^', u'I', u'Î'}, {u'^', u'O', u'Ô'}, {u'^', u'U', u'Û'},
    {u'~', u'a', u'ã'}, {u'~', u'n', u'ñ'}, {u'~', u'o', u'õ'}, {u'~', u'A', u'Ã'},
    {u'~', u'N', u'Ñ'}, {u'~', u'O', u'Õ'}, {u'¨', u'a', u'ä'}, {u'¨', u'e', u'ë'},
    {u'¨', u'i', u'ï'}, {u'¨', u'o', u'ö'}, {u'¨', u'u', u'ü'}, {u'¨', u'y', u'ÿ'},
    {u'¨', u'A', u'Ä'}, {u'¨', u'E', u'Ë'}, {u'¨', u'I', u'Ï'}, {u'¨', u'O', u'Ö'},
    {u'¨', u'U', u'Ü'}, {u'°', u'a', u'å'}, {u'°', u'A', u'Å'}, {u'¸', u'c', u'ç'},
    {u'¸', u'C', u'Ç'},
};

}  // namespace

std::optional<char16_t> combine_dead_key(char16_t dead, char16_t base) {
  for (const Triple& t : kTriples)
    if (t.dead == dead && t.base == base) return t.result;
  return std::nullopt;
}

std::u16string after_dead_key(char16_t dead, char16_t base) {
  if (const auto combined = combine_dead_key(dead, base)) return std::u16string(1, *combined);
  if (base == u' ') return std::u16string(1, dead);
  return std::u16string{dead, base};
}

char16_t accent_of_dead_keysym(unsigned long keysym) {
  switch (keysym) {
    case 0xFE50:
      return u'`';
    case 0xFE51:
      return u'´';
    case 0xFE52:
      return u'^';
    case 0xFE53:
      return u'~';
    case 0xFE57:
      return u'¨';
    case 0xFE58:
      return u'°';
    case 0xFE5B:
      return u'¸';
    default:
      return 0;
  }
}

}  // namespace aqsol
