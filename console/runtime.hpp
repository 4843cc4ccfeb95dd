// One console runtime: the state a routine works in, from low memory to the text screen.
#pragma once

#include <atomic>
#include <string_view>

#include "console/runtime_host.hpp"
#include "console/runtime_string.hpp"
#include "console/text_screen.hpp"
#include "services/errors.hpp"
#include "services/low_memory.hpp"
#include "services/return_stack.hpp"
#include "services/variable_pool.hpp"

namespace aqsol {

// Everything here belongs to the routine's thread, except what the text screen and the key
// buffer inside low memory share with the frame by design.
struct Runtime {
  // A runtime whose errors set `event_pending` (may be null), whose routine calls
  // `routine_host`, and whose command_text holds `command`.
  Runtime(std::atomic<bool>* event_pending, RuntimeHost& routine_host, std::string_view command)
      : errors(event_pending),
        strings(errors, low_memory),
        screen(low_memory),
        console{errors, strings, screen, {}},
        pool(errors),
        returns(errors),
        host(routine_host) {
    RuntimeString* text = strings.string_new(static_cast<uint32_t>(command.size()), false);
    std::copy(command.begin(), command.end(), text->data);
    command_text = text;
  }
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  LowMemory low_memory;
  ErrorSlot errors;
  StringStorage strings;
  TextScreen screen;
  Console console;  // its bell is set by the frame
  VariablePool pool;
  ReturnStack returns;
  RuntimeHost& host;
  RuntimeString* command_text;  // the process arguments joined with single blanks
};

}  // namespace aqsol
