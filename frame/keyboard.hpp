// Keyboard events: key codes, the keys-down list, translation to PC keyboard codes, the keys that
// act on the program (Break, Pause, Alt+Enter, Alt with keypad digits) and the flag bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/frame_flags.hpp"
#include "frame/key_buffer.hpp"
#include "services/low_memory.hpp"

namespace aqsol {

// Key codes of keys without a character: 100000 + the key symbol.
enum KeyCode : int32_t {
  kKeyPause = 100019,
  kKeypadFirst = 100256,  // keypad 0 .. Enter (100271) with Num Lock meaning
  kKeypadLast = 100271,
  kKeyNumLock = 100300,
  kKeyCapsLock = 100301,
  kKeyScrollLock = 100302,
  kKeyRightShift = 100303,
  kKeyLeftShift = 100304,
  kKeyRightCtrl = 100305,
  kKeyLeftCtrl = 100306,
  kKeyRightAlt = 100307,
  kKeyLeftAlt = 100308,
  kKeyBreak = 100318,
  kKeyF15 = 100296,
  kKeypadPlainFirst = 200000,  // keypad 0..9 and point without Num Lock meaning
  kKeypadPlainLast = 200010,
  kScrollLockOn = 200011,
  kInsertModeOn = 200012,
  kNoKey = 200013,            // stands for code 0
  kUnicodeBase = 0x40000000,  // a typed character without a code page 437 code
};

// Key symbols of the window system's key events (SDL 1.2 numbering) that the translation uses.
enum KeySymbol : int32_t {
  kSymBackspace = 8,
  kSymDelete = 127,
  kSymKeypad0 = 256,
  kSymKeypad9 = 265,
  kSymKeypadPoint = 266,
  kSymKeypadEnter = 271,
  kSymUp = 273,
  kSymDown = 274,
  kSymRight = 275,
  kSymLeft = 276,
  kSymInsert = 277,
  kSymHome = 278,
  kSymEnd = 279,
  kSymPageUp = 280,
  kSymPageDown = 281,
  kSymF1 = 282,
  kSymF10 = 291,
  kSymF11 = 292,
  kSymF12 = 293,
  kSymRightAlt = 307,
  kSymLeftAlt = 308,
};

// Lock states that the window system reports (Scroll Lock has no state there: it follows the
// key presses alone).
struct LockStates {
  bool caps = false;
  bool num = false;
};

// The main thread's keyboard: it turns key events into key-buffer entries and frame requests.
class Keyboard {
 public:
  static constexpr std::size_t kFlags1 = 1047;
  static constexpr std::size_t kFlags2 = 1048;

  Keyboard(FrameFlags& flags, KeyBuffer& buffer, LowMemory& low_memory)
      : flags_(flags), buffer_(buffer), low_memory_(low_memory) {}

  // A key-down event: key symbol and the Unicode character it typed (0 for none).
  void key_down(int32_t symbol, uint32_t unicode);
  // A key-up event of `symbol`.
  void key_up(int32_t symbol);

  // Presses or releases key `code` (0 stands for 200013).
  void key_press(int32_t code);
  void key_release(int32_t code);
  // Presses or releases the key of Unicode character `unicode`, mapped to code page 437.
  void key_press_char(uint32_t unicode);
  void key_release_char(uint32_t unicode);

  // Brings the lock pseudo-keys in line with the window system's lock states, typing nothing.
  void follow_locks(const LockStates& locks);

  // Takes one pending Alt+Enter request; false when none is pending.
  bool take_full_screen_request();

  // Code page 437 code of a Unicode character as key_press_char types it.
  static int32_t code_of_unicode(uint32_t unicode);

 private:
  struct Held {
    int32_t code;
    int32_t symbol;
  };

  bool held(int32_t code) const;
  bool shift_held() const { return held(kKeyLeftShift) || held(kKeyRightShift); }
  bool ctrl_held() const { return held(kKeyLeftCtrl) || held(kKeyRightCtrl); }
  bool alt_held() const { return held(kKeyLeftAlt) || held(kKeyRightAlt); }
  bool caps_on() const { return held(kKeyCapsLock); }
  void add_held(int32_t code);
  bool remove_held(int32_t code);
  void toggle_pseudo_key(int32_t code);
  void update_flag_bytes();
  void type_code(int32_t code);
  int32_t letter_code(int32_t offset_letter) const;
  void key_down_with_character(int32_t symbol, uint32_t character);
  void key_down_without_character(int32_t symbol);

  FrameFlags& flags_;
  KeyBuffer& buffer_;
  LowMemory& low_memory_;
  std::vector<Held> down_;
  int32_t current_symbol_ = 0;
  bool from_unicode_ = false;
  int alt_number_state_ = 0;  // 0 idle, 1 Alt pressed alone, 2 digits entered
  uint64_t alt_number_value_ = 0;
  int full_screen_requests_ = 0;
};

}  // namespace aqsol
