// Date and time texts of the local clock.
#include "services/clock_text.hpp"

namespace aqsol {
namespace {

std::string local_text(ErrorSlot& errors, std::time_t now, const char* format) {
  std::tm parts{};
  char text[32];
  if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &parts) == nullptr ||
      std::strftime(text, sizeof text, format, &parts) == 0) {
    errors.raise_error(kIllegalFunctionCall);
    return {};
  }
  return text;
}

}  // namespace

std::string date_text(ErrorSlot& errors, std::time_t now) {
  return local_text(errors, now, "%m-%d-%Y");
}

std::string time_text(ErrorSlot& errors, std::time_t now) {
  return local_text(errors, now, "%H:%M:%S");
}

}  // namespace aqsol
