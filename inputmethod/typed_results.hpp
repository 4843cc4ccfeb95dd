// Results that stand for typed keys: posted to the input-method queue and marked in SDL's event
// queue, so that the frame types them in their place among the other key events.
#pragma once

#include <string>

namespace aqsol {

// Posts `text` as a result event and marks its place among the key events. False, with nothing
// marked, when the event could not be posted.
bool post_result_in_place(const std::u16string& text);

}  // namespace aqsol
