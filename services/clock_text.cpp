// Date and time texts of the local clock.
#include "services/clock_text.hpp"

namespace aqsol {
namespace {

// Which of the two texts: the forms are literals here, so the compiler checks them.
enum class ClockForm { kDate, kTime };

std::size_t format_clock(char* text, std::size_t size, ClockForm form, const std::tm& parts) {
  return form == ClockForm::kDate ? std::strftime(text, size, "%m-%d-%Y", &parts)
                                  : std::strftime(text, size, "%H:%M:%S", &parts);
}

std::string local_text(ErrorSlot& errors, std::time_t now, ClockForm form) {
  std::tm parts{};
  char text[32];
  if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &parts) == nullptr ||
      format_clock(text, sizeof text, form, parts) == 0) {
    errors.raise_error(kIllegalFunctionCall);
    return {};
  }
  return text;
}

}  // namespace

std::string date_text(ErrorSlot& errors, std::time_t now) {
  return local_text(errors, now, ClockForm::kDate);
}

std::string time_text(ErrorSlot& errors, std::time_t now) {
  return local_text(errors, now, ClockForm::kTime);
}

}  // namespace aqsol
