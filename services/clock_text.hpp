// Date and time texts of the local clock.
#pragma once

#include <ctime>
#include <string>

#include "services/errors.hpp"

namespace aqsol {

// "MM-DD-YYYY" of the local date at `now`. If the local time cannot be read, raises error 5 and
// returns an empty text.
std::string date_text(ErrorSlot& errors, std::time_t now = std::time(nullptr));

// "HH:MM:SS" of the local time at `now` (24-hour clock); failure as for date_text.
std::string time_text(ErrorSlot& errors, std::time_t now = std::time(nullptr));

}  // namespace aqsol
