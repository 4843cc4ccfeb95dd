// The X Input Method back end: composition through an input-method server on the SDL window.
#include "inputmethod/xim_backend.hpp"

#include <SDL/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <langinfo.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "inputmethod/typed_results.hpp"

namespace aqsol {
namespace {

// The connection to the server. The exported interface runs one back end at a time, so there is
// one session per process, used on the main thread.
struct XimSession {
  Display* display = nullptr;
  Window window = 0;
  XIM im = nullptr;
  XIC ic = nullptr;
  Preedit preedit;
  int caret = 0;
};

XimSession& session() {
  static XimSession the_session;
  return the_session;
}

std::u16string to_utf16(const std::u32string& text) {
  std::u16string out;
  for (char32_t c : text) {
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::u32string from_multibyte(const char* text, std::size_t bytes) {
  std::u32string out;
  std::mbstate_t state{};
  for (std::size_t at = 0; at < bytes;) {
    wchar_t c;
    const std::size_t n = std::mbrtowc(&c, text + at, bytes - at, &state);
    if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) break;
    out += static_cast<char32_t>(c);
    at += n == 0 ? 1 : n;
  }
  return out;
}

void post_text(int message, const std::u32string& text, int cursor, int position, int length) {
  const std::u16string utf16 = to_utf16(text);
  InputMethod_PostEvent(message, reinterpret_cast<const uint16_t*>(utf16.c_str()), cursor, position,
                        length);
}

void post_change() {
  const XimSession& s = session();
  const auto [position, length] = s.preedit.clause();
  post_text(INPUT_METHOD_MESSAGE_CHANGE, s.preedit.text, s.caret, position, length);
}

int preedit_start(XIC, XPointer, XPointer) {
  session().preedit = Preedit{};
  session().caret = 0;
  return -1;  // no limit on the length of the composition
}

int preedit_done(XIC, XPointer, XPointer) {
  session().preedit = Preedit{};
  session().caret = 0;
  post_change();  // an empty change: the composition has ended
  return 0;
}

int preedit_draw(XIC, XPointer, XPointer call) {
  XimSession& s = session();
  const auto* draw = reinterpret_cast<const XIMPreeditDrawCallbackStruct*>(call);
  std::u32string replacement, marks;
  if (const XIMText* t = draw->text) {
    if (t->encoding_is_wchar && t->string.wide_char != nullptr)
      for (int i = 0; i < t->length; ++i)
        replacement += static_cast<char32_t>(t->string.wide_char[i]);
    else if (t->string.multi_byte != nullptr)
      replacement = from_multibyte(t->string.multi_byte, std::strlen(t->string.multi_byte));
    for (std::size_t i = 0; i < replacement.size(); ++i) {
      const bool reversed =
          t->feedback != nullptr && i < t->length && (t->feedback[i] & XIMReverse);
      marks += reversed ? U'\1' : U'\0';
    }
  }
  s.preedit.change(draw->chg_first, draw->chg_length, replacement, marks);
  s.caret = draw->caret;
  post_change();
  return 0;
}

int preedit_caret(XIC, XPointer, XPointer call) {
  const auto* caret = reinterpret_cast<const XIMPreeditCaretCallbackStruct*>(call);
  if (caret->direction == XIMAbsolutePosition) session().caret = caret->position;
  post_change();
  return 0;
}

bool window_of_sdl(Display*& display, Window& window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11) return false;
  display = info.info.x11.display;
  window = info.info.x11.window;
  return display != nullptr && window != 0;
}

// The server must understand the locale's character type; the numeric conventions stay "C".
void use_character_locale() {
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
  XSetLocaleModifiers("");
}

bool server_named() {
  const char* modifiers = std::getenv("XMODIFIERS");
  return modifiers != nullptr && std::strstr(modifiers, "@im=") != nullptr &&
         std::strstr(modifiers, "@im=none") == nullptr;
}

int xim_available() {
  Display* display;
  Window window;
  if (!server_named() || !window_of_sdl(display, window)) return 0;
  use_character_locale();
  XIM im = XOpenIM(display, nullptr, nullptr, nullptr);
  if (im == nullptr) return 0;
  XCloseIM(im);
  return 1;
}

bool supports_preedit_callbacks(XIM im) {
  XIMStyles* styles = nullptr;
  if (XGetIMValues(im, XNQueryInputStyle, &styles, nullptr) != nullptr || styles == nullptr)
    return false;
  const auto* begin = styles->supported_styles;
  const bool found =
      std::find(begin, begin + styles->count_styles, XIMPreeditCallbacks | XIMStatusNothing) !=
      begin + styles->count_styles;
  XFree(styles);
  return found;
}

void xim_quit() {
  XimSession& s = session();
  if (s.ic != nullptr) XDestroyIC(s.ic);
  if (s.im != nullptr) XCloseIM(s.im);
  s = XimSession{};
}

// Init's error codes: no X window, no server, no composition through callbacks, no context.
int xim_init() {
  XimSession& s = session();
  if (!window_of_sdl(s.display, s.window)) return 5;
  use_character_locale();
  s.im = XOpenIM(s.display, nullptr, nullptr, nullptr);
  if (s.im == nullptr) return 6;
  if (!supports_preedit_callbacks(s.im)) return 7;
  XICCallback start{nullptr, preedit_start};
  XICCallback done{nullptr, preedit_done};
  XICCallback draw{nullptr, preedit_draw};
  XICCallback caret{nullptr, preedit_caret};
  XVaNestedList preedit =
      XVaCreateNestedList(0, XNPreeditStartCallback, &start, XNPreeditDoneCallback, &done,
                          XNPreeditDrawCallback, &draw, XNPreeditCaretCallback, &caret, nullptr);
  s.ic = XCreateIC(s.im, XNInputStyle, XIMPreeditCallbacks | XIMStatusNothing, XNClientWindow,
                   s.window, XNFocusWindow, s.window, XNPreeditAttributes, preedit, nullptr);
  XFree(preedit);
  if (s.ic == nullptr) return 8;
  // The server's events reach the window only when the window asks for them.
  long filter_events = 0;
  XGetICValues(s.ic, XNFilterEvents, &filter_events, nullptr);
  XWindowAttributes attributes;
  XGetWindowAttributes(s.display, s.window, &attributes);
  XSelectInput(s.display, s.window, attributes.your_event_mask | filter_events);
  XSetICFocus(s.ic);
  return 0;
}

void xim_reset() {
  XimSession& s = session();
  if (s.ic == nullptr) return;
  if (char* left = XmbResetIC(s.ic)) XFree(left);
  s.preedit = Preedit{};
}

int xim_validate() {
  if (session().ic != nullptr) XSetICFocus(session().ic);
  return 0;
}

int xim_invalidate() {
  if (session().ic != nullptr) XUnsetICFocus(session().ic);
  return 0;
}

const char* xim_name() {
  return "X Input Method";
}

}  // namespace

void Preedit::change(int first, int length, const std::u32string& replacement,
                     const std::u32string& replacement_marks) {
  const std::size_t at =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(first, 0)), text.size());
  const std::size_t count =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), text.size() - at);
  text.replace(at, count, replacement);
  marked.replace(at, count, replacement_marks);
}

std::pair<int, int> Preedit::clause() const {
  const std::size_t start = marked.find_first_not_of(U'\0');
  if (start == std::u32string::npos) return {0, 0};
  const std::size_t end = std::min(marked.find(U'\0', start), marked.size());
  return {static_cast<int>(start), static_cast<int>(end - start)};
}

const InputMethod_Bootstrap& xim_bootstrap() {
  static const InputMethod_Bootstrap bootstrap{xim_available, xim_init,       xim_quit, xim_reset,
                                               xim_validate,  xim_invalidate, xim_name, {}};
  return bootstrap;
}

bool xim_take_commit(XEvent* event) {
  XimSession& s = session();
  if (s.ic == nullptr || event->type != KeyPress || event->xkey.keycode != 0 ||
      event->xkey.window != s.window)
    return false;
  char buffer[512];
  KeySym keysym = 0;
  Status status = 0;
  const int bytes = Xutf8LookupString(s.ic, &event->xkey, buffer, sizeof buffer, &keysym, &status);
  if ((status != XLookupChars && status != XLookupBoth) || bytes <= 0) return false;
  return post_result_in_place(to_utf16(from_multibyte(buffer, static_cast<std::size_t>(bytes))));
}

}  // namespace aqsol

// SDL hands every event of its window to XFilterEvent before it reads it as a key. Text that the
// server commits comes as a key press without a key code, readable only by this back end's input
// context: this program's XFilterEvent takes such a press for the back end, so that SDL drops it,
// and passes every other event on to Xlib's own.
extern "C" __attribute__((visibility("default"))) Bool XFilterEvent(XEvent* event, Window window) {
  using Filter = Bool (*)(XEvent*, Window);
  static const auto xlib_filter = reinterpret_cast<Filter>(dlsym(RTLD_NEXT, "XFilterEvent"));
  if (xlib_filter != nullptr && xlib_filter(event, window)) return True;
  return aqsol::xim_take_commit(event) ? True : False;
}

// SDL opens an input method of its own, with a context on its top window that it focuses at
// every FocusIn. With a server named, the server then held two compositions for one window and
// committed to whichever it last saw focused: text composed in this back end's strip was lost at
// the tone mark in about half the runs. SDL's connection (opened with a resource name; this back
// end passes none) takes Xlib's local method instead (dead keys and compose sequences, as with no
// server), so that only this back end speaks to the server.
extern "C" __attribute__((visibility("default"))) XIM XOpenIM(Display* display,
                                                              XrmDatabase database, char* name,
                                                              char* class_name) {
  using Open = XIM (*)(Display*, XrmDatabase, char*, char*);
  static const auto xlib_open = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "XOpenIM"));
  if (xlib_open == nullptr) return nullptr;
  if (name == nullptr) return xlib_open(display, database, name, class_name);
  const char* current = XSetLocaleModifiers(nullptr);
  const std::string saved = current != nullptr ? current : "";
  XSetLocaleModifiers("@im=none");
  XIM im = xlib_open(display, database, name, class_name);
  XSetLocaleModifiers(saved.c_str());
  return im;
}
