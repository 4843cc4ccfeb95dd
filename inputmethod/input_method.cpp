// The exported input-method interface: its event queue, the back ends, and the SDL event filter
// that sends typed characters through the queue.
#include "inputmethod/input_method.h"

#include <SDL/SDL.h>
#include <SDL/SDL_syswm.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <utility>

#include "frame/sdl/input_method_frame.hpp"
#include "inputmethod/dead_keys.hpp"
#include "inputmethod/typed_results.hpp"
#include "inputmethod/xim_backend.hpp"

namespace aqsol {
namespace {

struct QueuedEvent {
  int message;
  std::u16string text;
  bool has_text;
  int cursor, composition_position, composition_length;
  uint16_t character;
};

// The interface's state. The exported functions take no context, so there is one per process,
// used on the main thread (the frame and the event filter) and by modules it loads.
struct InputMethodState {
  bool initialised = false;
  bool enabled = false;
  bool owns_record = false;
  InputMethod_Bootstrap* record = nullptr;
  int saved_unicode = 0;
  char16_t pending_dead = 0;
  std::deque<QueuedEvent> queue;
};

InputMethodState& state() {
  static InputMethodState the_state;
  return the_state;
}

// The plain back end: no composition of its own; typed characters reach the queue through the
// event filter, and dead keys are combined there.
int plain_available() {
  return 1;
}
int plain_init() {
  return 0;
}
void plain_quit() {}
void plain_reset() {}
int plain_validate() {
  return 0;
}
int plain_invalidate() {
  return 0;
}
const char* plain_name() {
  return "Typed characters";
}

bool is_printable_ascii(uint16_t u) {
  return u >= 32 && u < 127;
}

// The accent of a dead key: the window system reports every dead key as the Compose key without
// a character; which accent it is, the key's X keysym tells. 0 when it is no dead key.
char16_t dead_accent_of(const SDL_keysym& key) {
  if (key.sym != SDLK_COMPOSE || key.unicode != 0) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11) return 0;
  const int level = (key.mod & KMOD_SHIFT) ? 1 : 0;
  return accent_of_dead_keysym(
      XkbKeycodeToKeysym(info.info.x11.display, static_cast<::KeyCode>(key.scancode), 0, level));
}

// While the input method is enabled, a key that types a printable ASCII character becomes a
// result event, marked in the SDL queue where the key was so that the frame types it in order.
int SDLCALL filter_typed_characters(const SDL_Event* event) {
  InputMethodState& s = state();
  if (!s.enabled) return 1;
  if (event->type != SDL_KEYDOWN) return 1;
  if (const char16_t accent = dead_accent_of(event->key.keysym)) {
    s.pending_dead = accent;
    return 0;
  }
  const uint16_t u = event->key.keysym.unicode;
  const char16_t dead = std::exchange(s.pending_dead, 0);
  if (!is_printable_ascii(u)) return 1;
  // The window system may have combined the accent with this key already (the character is then
  // not the key's own); else the accent combines here.
  const int sym = event->key.keysym.sym;
  const bool keys_own = u == sym || (sym >= 'a' && sym <= 'z' && u == sym - 'a' + 'A');
  std::u16string text(1, static_cast<char16_t>(u));
  if (dead != 0 && keys_own) text = after_dead_key(dead, static_cast<char16_t>(u));
  if (!post_result_in_place(text)) return 1;
  SDL_GetKeyState(nullptr)[event->key.keysym.sym] = 0;
  return 0;
}

}  // namespace

bool post_result_in_place(const std::u16string& text) {
  if (InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT,
                            reinterpret_cast<const uint16_t*>(text.c_str()), 0, 0, 0) != 0)
    return false;
  SDL_Event marker{};
  marker.type = SDL_USEREVENT;
  marker.user.code = InputMethodFrame::kResultMarker;
  SDL_PushEvent(&marker);
  return true;
}

namespace {

void free_queue() {
  state().queue.clear();
}

int start(InputMethod_Bootstrap* record, bool owned) {
  InputMethodState& s = state();
  s.saved_unicode = SDL_EnableUNICODE(-1);
  SDL_EnableUNICODE(1);
  if (const int code = record->init(); code != 0) {
    record->quit();
    SDL_EnableUNICODE(s.saved_unicode);
    if (owned) std::free(record);
    return code;
  }
  free_queue();
  s.record = record;
  s.owns_record = owned;
  s.pending_dead = 0;
  s.enabled = s.initialised = true;
  SDL_SetEventFilter(filter_typed_characters);
  return 0;
}

const QueuedEvent* oldest() {
  const auto& queue = state().queue;
  return queue.empty() ? nullptr : &queue.front();
}

}  // namespace
}  // namespace aqsol

using aqsol::state;

extern "C" {

int InputMethod_Init(void) {
  static InputMethod_Bootstrap plain{
      aqsol::plain_available, aqsol::plain_init,       aqsol::plain_quit, aqsol::plain_reset,
      aqsol::plain_validate,  aqsol::plain_invalidate, aqsol::plain_name, {}};
  if (state().initialised) {
    SDL_SetError("Input method is already inited");
    return 1;
  }
  // The X Input Method when a server answers; a back end that fails leaves the plain one.
  static InputMethod_Bootstrap xim = aqsol::xim_bootstrap();
  if (xim.available() && aqsol::start(&xim, false) == 0) return 0;
  return aqsol::start(&plain, false);
}

int InputMethod_InitFromOther(const InputMethod_Bootstrap* bootstrap) {
  if (state().initialised) {
    SDL_SetError("Input method is already inited");
    return 1;
  }
  if (bootstrap == nullptr || bootstrap->available == nullptr || !bootstrap->available()) {
    SDL_SetError("Bootstrap is invalid");
    return 11;
  }
  auto* copy = static_cast<InputMethod_Bootstrap*>(std::malloc(sizeof(InputMethod_Bootstrap)));
  if (copy == nullptr) {
    SDL_SetError("Allocate memory failed");
    return 2;
  }
  std::memcpy(copy, bootstrap, sizeof(InputMethod_Bootstrap));
  return aqsol::start(copy, true);
}

void InputMethod_Quit(void) {
  aqsol::InputMethodState& s = state();
  if (!s.initialised) return;
  SDL_SetEventFilter(nullptr);
  s.record->quit();
  if (s.owns_record) std::free(s.record);
  aqsol::free_queue();
  SDL_EnableUNICODE(s.saved_unicode);
  s = aqsol::InputMethodState{};
}

void InputMethod_Reset(void) {
  aqsol::free_queue();
  if (state().initialised) state().record->reset();
}

int InputMethod_Validate(void) {
  if (!state().initialised) {
    SDL_SetError("Input method is no init");
    return -1;
  }
  const int code = state().record->validate();
  if (code == 0) state().enabled = true;
  return code;
}

int InputMethod_Invalidate(void) {
  if (!state().initialised) {
    SDL_SetError("Input method is no init");
    return -1;
  }
  const int code = state().record->invalidate();
  if (code == 0) state().enabled = false;
  return code;
}

int InputMethod_GetEventNumber(void) {
  return static_cast<int>(state().queue.size());
}

int InputMethod_MoveNextEvent(void) {
  if (!state().queue.empty()) state().queue.pop_front();
  return InputMethod_GetEventNumber();
}

int InputMethod_GetCurrentMessage(void) {
  const aqsol::QueuedEvent* event = aqsol::oldest();
  if (event == nullptr) {
    SDL_SetError("Message is not found");
    return -1;
  }
  return event->message;
}

const uint16_t* InputMethod_GetCurrentEditingString(void) {
  const aqsol::QueuedEvent* event = aqsol::oldest();
  if (event == nullptr || !event->has_text) return nullptr;
  return reinterpret_cast<const uint16_t*>(event->text.c_str());
}

uint16_t InputMethod_GetCurrentChar(void) {
  const aqsol::QueuedEvent* event = aqsol::oldest();
  return event == nullptr ? 0 : event->character;
}

int InputMethod_GetCurrentCursorPosition(void) {
  const aqsol::QueuedEvent* event = aqsol::oldest();
  return event == nullptr ? 0 : event->cursor;
}

int InputMethod_GetCurrentCompositionPosition(void) {
  const aqsol::QueuedEvent* event = aqsol::oldest();
  return event == nullptr ? 0 : event->composition_position;
}

int InputMethod_GetCurrentCompositionLength(void) {
  const aqsol::QueuedEvent* event = aqsol::oldest();
  return event == nullptr ? 0 : event->composition_length;
}

const char* InputMethod_GetInputMethodName(void) {
  return state().initialised ? state().record->name() : "";
}

int InputMethod_PostEvent(int message, const uint16_t* text, int cursor, int composition_position,
                          int composition_length) {
  aqsol::QueuedEvent event{message, {}, false, 0, 0, 0, 0};
  switch (message) {
    case INPUT_METHOD_MESSAGE_CHANGE:
    case INPUT_METHOD_MESSAGE_RESULT:
      if (text == nullptr) {
        SDL_SetError(message == INPUT_METHOD_MESSAGE_CHANGE
                         ? "post INPUT_METHOD_MESSAGE_CHANGE: Editing string is NULL"
                         : "post INPUT_METHOD_MESSAGE_RESULT: Editing string is NULL");
        return 3;
      }
      break;
    case INPUT_METHOD_MESSAGE_ON:
    case INPUT_METHOD_MESSAGE_OFF:
      break;
    default:
      SDL_SetError("post message: unknown message");
      return 4;
  }
  try {
    if (text != nullptr && message != INPUT_METHOD_MESSAGE_ON &&
        message != INPUT_METHOD_MESSAGE_OFF) {
      event.text = reinterpret_cast<const char16_t*>(text);
      event.has_text = true;
    }
    if (message == INPUT_METHOD_MESSAGE_CHANGE) {
      event.cursor = cursor;
      event.composition_position = composition_position;
      event.composition_length = composition_length;
    }
    state().queue.push_back(std::move(event));
  } catch (const std::bad_alloc&) {
    SDL_SetError("Allocate memory failed");
    return 2;
  }
  return 0;
}

}  // extern "C"
