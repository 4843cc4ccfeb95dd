// Keyboard events: key codes, the keys-down list, translation to PC keyboard codes, the keys that
// act on the program (Break, Pause, Alt+Enter, Alt with keypad digits) and the flag bytes.
#include "frame/keyboard.hpp"

#include <algorithm>
#include <array>

#include "console/code_page.hpp"

namespace aqsol {
namespace {

// One row of the translation table: the codes a key produces (PC BIOS keyboard codes). A code
// below 256 is a character; a larger one is an extended key whose scan code is its high byte.
struct KeyRow {
  int32_t base, scan, plain, shift, ctrl, alt, num_lock, num_lock_shift;
};

constexpr int kKeypadRows = 512;
constexpr int kTableRows = 528;

// Character keys, by the character they type unshifted and shifted.
constexpr KeyRow kCharacterRows[] = {
    {8, 0x0E, 8, 8, 0x7F, 0x0E00, 0, 0},
    {9, 0x0F, 9, 0x0F00, 0x9400, 0xA500, 0, 0},
    {13, 0x1C, 13, 13, 10, 0, 0, 0},
    {27, 0x01, 27, 27, 27, 0x0100, 0, 0},
    {32, 0x39, 32, 32, 32, 32, 0, 0},
    {'1', 0x02, '1', '!', 0, 0x7800, 0, 0},
    {'2', 0x03, '2', '@', 0x0300, 0x7900, 0, 0},
    {'3', 0x04, '3', '#', 0, 0x7A00, 0, 0},
    {'4', 0x05, '4', '$', 0, 0x7B00, 0, 0},
    {'5', 0x06, '5', '%', 0, 0x7C00, 0, 0},
    {'6', 0x07, '6', '^', 30, 0x7D00, 0, 0},
    {'7', 0x08, '7', '&', 0, 0x7E00, 0, 0},
    {'8', 0x09, '8', '*', 0, 0x7F00, 0, 0},
    {'9', 0x0A, '9', '(', 0, 0x8000, 0, 0},
    {'0', 0x0B, '0', ')', 0, 0x8100, 0, 0},
    {'-', 0x0C, '-', '_', 31, 0x8200, 0, 0},
    {'=', 0x0D, '=', '+', 0, 0x8300, 0, 0},
    {'[', 0x1A, '[', '{', 27, 0x1A00, 0, 0},
    {']', 0x1B, ']', '}', 29, 0x1B00, 0, 0},
    {';', 0x27, ';', ':', 0, 0x2700, 0, 0},
    {'\'', 0x28, '\'', '"', 0, 0x2800, 0, 0},
    {'`', 0x29, '`', '~', 0, 0x2900, 0, 0},
    {'\\', 0x2B, '\\', '|', 28, 0x2B00, 0, 0},
    {',', 0x33, ',', '<', 0, 0x3300, 0, 0},
    {'.', 0x34, '.', '>', 0, 0x3400, 0, 0},
    {'/', 0x35, '/', '?', 0, 0x3500, 0, 0},
};

// Scan codes of the letters a to z.
constexpr int32_t kLetterScans[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                      0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                      0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

// Extended keys: function keys and the cursor block.
constexpr KeyRow kExtendedRows[] = {
    {0x3B00, 0x3B, 0x3B00, 0x5400, 0x5E00, 0x6800, 0, 0},  // F1
    {0x3C00, 0x3C, 0x3C00, 0x5500, 0x5F00, 0x6900, 0, 0},
    {0x3D00, 0x3D, 0x3D00, 0x5600, 0x6000, 0x6A00, 0, 0},
    {0x3E00, 0x3E, 0x3E00, 0x5700, 0x6100, 0x6B00, 0, 0},
    {0x3F00, 0x3F, 0x3F00, 0x5800, 0x6200, 0x6C00, 0, 0},
    {0x4000, 0x40, 0x4000, 0x5900, 0x6300, 0x6D00, 0, 0},
    {0x4100, 0x41, 0x4100, 0x5A00, 0x6400, 0x6E00, 0, 0},
    {0x4200, 0x42, 0x4200, 0x5B00, 0x6500, 0x6F00, 0, 0},
    {0x4300, 0x43, 0x4300, 0x5C00, 0x6600, 0x7000, 0, 0},
    {0x4400, 0x44, 0x4400, 0x5D00, 0x6700, 0x7100, 0, 0},  // F10
    {0x8500, 0x85, 0x8500, 0x8700, 0x8900, 0x8B00, 0, 0},  // F11
    {0x8600, 0x86, 0x8600, 0x8800, 0x8A00, 0x8C00, 0, 0},  // F12
    {0x4700, 0x47, 0x4700, 0x4700, 0x7700, 0x9700, 0, 0},  // Home
    {0x4800, 0x48, 0x4800, 0x4800, 0x8D00, 0x9800, 0, 0},  // Up
    {0x4900, 0x49, 0x4900, 0x4900, 0x8400, 0x9900, 0, 0},  // PgUp
    {0x4B00, 0x4B, 0x4B00, 0x4B00, 0x7300, 0x9B00, 0, 0},  // Left
    {0x4D00, 0x4D, 0x4D00, 0x4D00, 0x7400, 0x9D00, 0, 0},  // Right
    {0x4F00, 0x4F, 0x4F00, 0x4F00, 0x7500, 0x9F00, 0, 0},  // End
    {0x5000, 0x50, 0x5000, 0x5000, 0x9100, 0xA000, 0, 0},  // Down
    {0x5100, 0x51, 0x5100, 0x5100, 0x7600, 0xA100, 0, 0},  // PgDn
    {0x5200, 0x52, 0x5200, 0x5200, 0x9200, 0xA200, 0, 0},  // Insert
    {0x5300, 0x53, 0x5300, 0x5300, 0x9300, 0xA300, 0, 0},  // Delete
};

// Keypad keys 0..9, point, /, *, -, +, Enter.
constexpr KeyRow kKeypadRowList[16] = {
    {0x5200, 0x52, 0x5200, '0', 0x9200, 0, '0', 0x5200},
    {0x4F00, 0x4F, 0x4F00, '1', 0x7500, 0, '1', 0x4F00},
    {0x5000, 0x50, 0x5000, '2', 0x9100, 0, '2', 0x5000},
    {0x5100, 0x51, 0x5100, '3', 0x7600, 0, '3', 0x5100},
    {0x4B00, 0x4B, 0x4B00, '4', 0x7300, 0, '4', 0x4B00},
    {0x4C00, 0x4C, 0, '5', 0x8F00, 0, '5', 0},
    {0x4D00, 0x4D, 0x4D00, '6', 0x7400, 0, '6', 0x4D00},
    {0x4700, 0x47, 0x4700, '7', 0x7700, 0, '7', 0x4700},
    {0x4800, 0x48, 0x4800, '8', 0x8D00, 0, '8', 0x4800},
    {0x4900, 0x49, 0x4900, '9', 0x8400, 0, '9', 0x4900},
    {0x5300, 0x53, 0x5300, '.', 0x9300, 0, '.', 0x5300},
    {'/', 0x35, '/', '/', 0x9500, 0xA400, '/', '/'},
    {'*', 0x37, '*', '*', 0x9600, 0x3700, '*', '*'},
    {'-', 0x4A, '-', '-', 0x8E00, 0x4A00, '-', '-'},
    {'+', 0x4E, '+', '+', 0x9000, 0x4E00, '+', '+'},
    {13, 0x1C, 13, 13, 10, 0xA600, 13, 13},
};

// The full table: rows 0..255 by character, 256..511 by 256 + scan code, 512..527 keypad. A
// shifted character (A, !, {) gets the row of its key with itself as the plain and shifted code.
constexpr std::array<KeyRow, kTableRows> build_table() {
  std::array<KeyRow, kTableRows> table{};
  for (const KeyRow& row : kCharacterRows) {
    table[row.plain] = row;
    if (row.shift != row.plain && row.shift < 256) {
      KeyRow shifted = row;
      shifted.plain = row.shift;
      table[row.shift] = shifted;
    }
  }
  for (int i = 0; i < 26; ++i) {
    const KeyRow lower{'a' + i, kLetterScans[i],      'a' + i, 'A' + i,
                       1 + i,   kLetterScans[i] << 8, 0,       0};
    table['a' + i] = lower;
    KeyRow upper = lower;
    upper.plain = upper.shift = 'A' + i;
    table['A' + i] = upper;
  }
  // Characters without a key of their own (accented letters, symbols, typed through an input
  // method or a keyboard layout) type themselves, with scan code 0.
  for (int c = 1; c < 256; ++c)
    if (table[c].plain == 0) table[c] = {c, 0, c, c, 0, 0, 0, 0};
  for (const KeyRow& row : kExtendedRows) table[256 + row.scan] = row;
  for (int i = 0; i < 16; ++i) table[kKeypadRows + i] = kKeypadRowList[i];
  return table;
}

constexpr std::array<KeyRow, kTableRows> kTable = build_table();

bool is_keypad_code(int32_t code) {
  return (code >= kKeypadFirst && code <= kKeypadLast) ||
         (code >= kKeypadPlainFirst && code <= kKeypadPlainLast);
}

bool is_modifier_or_lock(int32_t code) {
  return (code >= kKeyNumLock && code <= kKeyLeftAlt) || code == kScrollLockOn ||
         code == kInsertModeOn;
}

// The extended code of a cursor-block symbol, or 0.
int32_t cursor_block_code(int32_t symbol) {
  switch (symbol) {
    case kSymHome:
      return 0x4700;
    case kSymUp:
      return 0x4800;
    case kSymPageUp:
      return 0x4900;
    case kSymLeft:
      return 0x4B00;
    case kSymRight:
      return 0x4D00;
    case kSymEnd:
      return 0x4F00;
    case kSymDown:
      return 0x5000;
    case kSymPageDown:
      return 0x5100;
    case kSymInsert:
      return 0x5200;
    case kSymDelete:
      return 0x5300;
    default:
      return 0;
  }
}

}  // namespace

int32_t Keyboard::code_of_unicode(uint32_t unicode) {
  if (unicode <= 127) return static_cast<int32_t>(unicode);
  if (const int code = unicode_to_cp437(unicode); code > 0) return code;
  if (unicode >= 0xFF01 && unicode <= 0xFF5E) return static_cast<int32_t>(unicode - 0xFF01 + 0x21);
  if (unicode == 0x3000) return 32;
  return kUnicodeBase + static_cast<int32_t>(unicode);
}

bool Keyboard::held(int32_t code) const {
  return std::any_of(down_.begin(), down_.end(), [code](const Held& h) { return h.code == code; });
}

void Keyboard::add_held(int32_t code) {
  if (!held(code)) down_.push_back({code, current_symbol_});
}

bool Keyboard::remove_held(int32_t code) {
  const auto it =
      std::find_if(down_.begin(), down_.end(), [code](const Held& h) { return h.code == code; });
  if (it == down_.end()) return false;
  down_.erase(it);
  return true;
}

void Keyboard::toggle_pseudo_key(int32_t code) {
  if (!remove_held(code)) down_.push_back({code, 0});
}

void Keyboard::update_flag_bytes() {
  int first = 0, second = 0;
  first |= held(kKeyRightShift) ? 0x01 : 0;
  first |= held(kKeyLeftShift) ? 0x02 : 0;
  first |= ctrl_held() ? 0x04 : 0;
  first |= alt_held() ? 0x08 : 0;
  first |= held(kScrollLockOn) ? 0x10 : 0;
  first |= held(kKeyNumLock) ? 0x20 : 0;
  first |= held(kKeyCapsLock) ? 0x40 : 0;
  first |= held(kInsertModeOn) ? 0x80 : 0;
  second |= held(kKeyLeftCtrl) ? 0x01 : 0;
  second |= held(kKeyLeftAlt) ? 0x02 : 0;
  second |= held(kKeyPause) ? 0x08 : 0;
  second |= held(kKeyScrollLock) ? 0x10 : 0;
  second |= held(0x5200) ? 0x80 : 0;
  low_memory_.bytes()[kFlags1] = static_cast<uint8_t>(first);
  low_memory_.bytes()[kFlags2] = static_cast<uint8_t>(second);
}

void Keyboard::key_press(int32_t code) {
  if (code == 0) code = kNoKey;
  const bool insert_was_held = held(0x5200);
  add_held(code);
  if (flags_.suspend_mask.load() & FrameFlags::kPaused) {
    flags_.clear_suspend_bits(FrameFlags::kPaused);
    return;
  }
  // Ctrl+Pause is the Break key of a PC keyboard, which X11 reports as Pause with Ctrl held.
  const bool breaks_with_ctrl = code == kKeyScrollLock || code == kKeyF15 || code == kKeyPause;
  if (code == kKeyBreak || (breaks_with_ctrl && ctrl_held())) {
    flags_.exit_requested.store(true);
    return;
  }
  if (code == kKeyPause || (code == kKeyNumLock && ctrl_held())) {
    flags_.set_suspend_bits(FrameFlags::kPaused);
    flags_.event_pending.store(true);
    return;
  }
  if (code == 13 && alt_held()) {
    ++full_screen_requests_;
    return;
  }
  if (code == 0x5200 && !insert_was_held && !shift_held() && !ctrl_held() && !alt_held()) {
    toggle_pseudo_key(kInsertModeOn);
    update_flag_bytes();
  }
  if (code > 0xFFFF && !is_keypad_code(code)) {
    if (code == kKeyScrollLock && !ctrl_held()) toggle_pseudo_key(kScrollLockOn);
    if (is_modifier_or_lock(code)) update_flag_bytes();
    return;
  }
  type_code(code);
}

void Keyboard::type_code(int32_t code) {
  int row_index;
  bool num_lock_meaning = false;
  if (code < 256) {
    row_index = code;
  } else if (code <= 0xFFFF) {
    row_index = 256 + (code >> 8);
  } else if (code >= kKeypadPlainFirst) {
    row_index = kKeypadRows + code - kKeypadPlainFirst;
  } else {
    row_index = kKeypadRows + code - kKeypadFirst;
    num_lock_meaning = true;
  }
  const KeyRow& row = kTable[static_cast<std::size_t>(row_index)];
  int32_t value = row.plain;
  if (num_lock_meaning) {
    value = shift_held() ? row.num_lock_shift : row.num_lock;
  } else {
    const bool alt_gr = from_unicode_ && held(kKeyLeftCtrl) && held(kKeyRightAlt);
    if (!alt_gr) {
      if (shift_held()) value = row.shift;
      if (ctrl_held()) value = row.ctrl;
      if (alt_held()) value = row.alt;
    }
  }
  if (value == 0) return;
  if (value < 256)
    buffer_.put(static_cast<uint8_t>(value), static_cast<uint8_t>(row.scan));
  else
    buffer_.put(0, static_cast<uint8_t>(value >> 8));
}

void Keyboard::key_release(int32_t code) {
  if (code == 0) code = kNoKey;
  if (remove_held(code) && is_modifier_or_lock(code)) update_flag_bytes();
}

void Keyboard::key_press_char(uint32_t unicode) {
  from_unicode_ = true;
  key_press(code_of_unicode(unicode));
  from_unicode_ = false;
}

void Keyboard::key_release_char(uint32_t unicode) {
  key_release(code_of_unicode(unicode));
}

int32_t Keyboard::letter_code(int32_t offset_letter) const {
  const bool upper = caps_on() != shift_held();
  return (upper ? 64 : 96) + offset_letter;
}

void Keyboard::key_down(int32_t symbol, uint32_t unicode) {
  const bool is_alt = symbol == kSymLeftAlt || symbol == kSymRightAlt;
  if (is_alt && !alt_held()) {
    alt_number_state_ = 1;
    alt_number_value_ = 0;
  } else if (alt_number_state_ != 0 && !is_alt) {
    if (symbol >= kSymKeypad0 && symbol <= kSymKeypad9) {
      alt_number_state_ = 2;
      alt_number_value_ = alt_number_value_ * 10 + static_cast<uint64_t>(symbol - kSymKeypad0);
    } else {
      alt_number_state_ = 0;
    }
  }
  current_symbol_ = symbol;
  // While Alt is held for a keypad number, the keypad digits type no character of their own
  // (the window system would deliver the digit).
  if (alt_number_state_ != 0 && symbol >= kSymKeypad0 && symbol <= kSymKeypadPoint) unicode = 0;
  if (unicode == 127 && symbol == kSymBackspace) unicode = 8;
  if (unicode == 127 && symbol == kSymDelete) unicode = 0;
  if (unicode != 0)
    key_down_with_character(symbol, unicode);
  else
    key_down_without_character(symbol);
}

void Keyboard::key_down_with_character(int32_t symbol, uint32_t character) {
  if (symbol >= kSymKeypad0 && symbol <= kSymKeypadEnter) {
    key_press(100000 + symbol);
    return;
  }
  if (ctrl_held()) {
    static constexpr int32_t kOwnKeyPairs[][2] = {{127, 8}, {10, 13}, {27, 27}, {32, 32},
                                                  {30, 54}, {27, 91}, {28, 92}, {29, 93}};
    for (const auto& pair : kOwnKeyPairs)
      if (static_cast<int32_t>(character) == pair[0] && symbol == pair[1]) {
        key_press(symbol);
        return;
      }
    if (character >= 1 && character <= 26) {
      key_press(letter_code(static_cast<int32_t>(character)));
      return;
    }
  }
  key_press_char(character);
  if (symbol == 0) key_release_char(character);
}

void Keyboard::key_down_without_character(int32_t symbol) {
  if (symbol == 0) return;
  if (symbol >= kSymKeypad0 && symbol <= kSymKeypadPoint) return key_press(199744 + symbol);
  if (symbol > kSymKeypadPoint && symbol <= kSymKeypadEnter) return key_press(100000 + symbol);
  if (symbol >= kSymF1 && symbol <= kSymF10) return key_press((symbol - 223) << 8);
  if (symbol == kSymF11 || symbol == kSymF12) return key_press((symbol - 159) << 8);
  if (const int32_t code = cursor_block_code(symbol); code != 0) return key_press(code);
  if (ctrl_held()) {
    if ((symbol >= 32 && symbol <= 96) || symbol == 8 || symbol == 9 || symbol == 13 ||
        symbol == 27)
      return key_press(symbol);
    if (symbol >= 'a' && symbol <= 'z') return key_press(letter_code(symbol - 'a' + 1));
  }
  if (symbol < 32 || symbol > 127) key_press(100000 + symbol);
}

void Keyboard::key_up(int32_t symbol) {
  int32_t alt_typed = -1;
  if (alt_number_state_ != 0 && (symbol == kSymLeftAlt || symbol == kSymRightAlt)) {
    if (alt_number_state_ == 2) alt_typed = static_cast<int32_t>(alt_number_value_ & 0xFF);
    alt_number_state_ = 0;
  }
  bool modifier_released = false;
  for (auto it = down_.begin(); it != down_.end();) {
    if (it->symbol == symbol && it->code < kScrollLockOn) {
      modifier_released |= is_modifier_or_lock(it->code);
      it = down_.erase(it);
    } else {
      ++it;
    }
  }
  if (modifier_released) update_flag_bytes();
  if (alt_typed >= 0) {
    key_press(alt_typed);
    key_release(alt_typed);
  }
}

void Keyboard::follow_locks(const LockStates& locks) {
  const auto follow = [this](int32_t code, bool on) {
    if (held(code) == on) return false;
    if (on)
      down_.push_back({code, 0});
    else
      remove_held(code);
    return true;
  };
  bool changed = follow(kKeyCapsLock, locks.caps);
  changed |= follow(kKeyNumLock, locks.num);
  if (changed) update_flag_bytes();
}

bool Keyboard::take_full_screen_request() {
  if (full_screen_requests_ == 0) return false;
  --full_screen_requests_;
  return true;
}

}  // namespace aqsol
