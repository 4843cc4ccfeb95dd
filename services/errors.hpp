// Runtime errors: the pending-error slot, critical errors and the message table.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace aqsol {

// Error numbers the calculator and its services raise in practice.
enum RuntimeError : uint32_t {
  kSyntaxError = 2,
  kReturnWithoutGosub = 3,
  kOutOfData = 4,
  kIllegalFunctionCall = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kSubscriptOutOfRange = 9,
  kDivisionByZero = 11,
  kTypeMismatch = 13,
  kOutOfStackSpace = 256,
};

// A critical error (resource exhaustion and the like) on its way out of the computation that
// raised it, with the text and caption of its message box. It is caught at the one protected
// boundary of each kind of computation: the frame's calculator thread (which shows the box and
// ends the program with code 0), aqsol-table's main, the Python module. Not an std::exception,
// so no handler of the routine's catches it by accident.
struct CriticalError {
  uint32_t number;
  std::string text, caption;

  // "caption: text", as it is reported where no box can be shown.
  std::string line() const { return caption + ": " + text; }
};

// One pending-error slot: the first error raised wins until the slot is cleared. The calculator
// thread owns it; only the optional event flag it sets is read by other threads. Several slots
// may exist at once (one per computation), so computations on different threads never meet.
class ErrorSlot {
 public:
  explicit ErrorSlot(std::atomic<bool>* event_pending = nullptr) : event_pending_(event_pending) {}

  // Raises error n. Critical numbers are thrown as CriticalError (see raise_critical).
  // Otherwise the error is dropped when one is already pending; a number of 0 or below
  // becomes 5.
  void raise_error(int64_t n);

  // Raises the critical error n (a number with a critical box; any other shows as "Out of
  // memory"): throws CriticalError with its box. Callers may rely on it not returning.
  [[noreturn]] void raise_critical(uint32_t n);

  // The pending error number, 0 when none is pending.
  uint32_t pending_error() const { return pending_; }
  bool has_error() const { return pending_ != 0; }

  // Forgets the pending error.
  void clear() { pending_ = 0; }

 private:
  uint32_t pending_ = 0;
  std::atomic<bool>* event_pending_;
};

// The message of error n ("Illegal function call" for 5), "Unprintable error" for a number
// that has none.
std::string_view error_message(uint32_t n);

// Whether a pending error n is critical when the hook shows it (the memory-block errors 300 to
// 313): its box has only OK and the process ends after it.
bool is_critical_when_shown(uint32_t n);

// The box of pending error n raised at statement `line`: the text "Line:120", a line feed, the
// message and, unless critical, a line feed and "Continue?"; the caption "Unhandled Error #n"
// or "Critical Error #n".
std::string error_box_text(uint32_t n, int32_t line);
std::string error_box_caption(uint32_t n);

}  // namespace aqsol
