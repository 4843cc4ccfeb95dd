// Tests of the input-method interface through its exported functions, the composition strip, the
// typing of results, the composition states of key events, and dead keys.
#include "inputmethod/input_method.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "frame/sdl/sdl_window.hpp"
#include "inputmethod/composition_strip.hpp"
#include "inputmethod/dead_keys.hpp"
#include "inputmethod/xim_backend.hpp"

namespace aqsol {
namespace {

const uint16_t* utf16(const std::u16string& text) {
  return reinterpret_cast<const uint16_t*>(text.c_str());
}

class InputMethod : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_Init(SDL_INIT_VIDEO);
    TTF_Init();
  }
  void TearDown() override { InputMethod_Quit(); }
};

TEST_F(InputMethod, EventsQueueInOrderWithTheirFields) {
  ASSERT_EQ(InputMethod_Init(), 0);
  EXPECT_STREQ(InputMethod_GetInputMethodName(), "Typed characters");
  const std::u16string editing = u"ni\u4F60", result = u"\u4F60\u597D";
  EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_ON, utf16(editing), 1, 2, 3), 0);
  EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, utf16(editing), 3, 2, 1), 0);
  EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, utf16(result), 1, 1, 1), 0);
  EXPECT_EQ(InputMethod_GetEventNumber(), 3);

  EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_ON);
  EXPECT_EQ(InputMethod_GetCurrentEditingString(), nullptr);  // on and off keep nothing
  EXPECT_EQ(InputMethod_GetCurrentCursorPosition(), 0);
  EXPECT_EQ(InputMethod_MoveNextEvent(), 2);

  EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_CHANGE);
  EXPECT_EQ(
      std::u16string(reinterpret_cast<const char16_t*>(InputMethod_GetCurrentEditingString())),
      editing);
  EXPECT_EQ(InputMethod_GetCurrentCursorPosition(), 3);
  EXPECT_EQ(InputMethod_GetCurrentCompositionPosition(), 2);
  EXPECT_EQ(InputMethod_GetCurrentCompositionLength(), 1);
  EXPECT_EQ(InputMethod_MoveNextEvent(), 1);

  EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_RESULT);
  EXPECT_EQ(InputMethod_GetCurrentCompositionPosition(), 0);  // a result keeps only its text
  EXPECT_EQ(InputMethod_MoveNextEvent(), 0);
  EXPECT_EQ(InputMethod_MoveNextEvent(), 0);

  EXPECT_EQ(InputMethod_GetCurrentMessage(), -1);
  EXPECT_STREQ(SDL_GetError(), "Message is not found");
  EXPECT_EQ(InputMethod_GetCurrentChar(), 0);
  EXPECT_EQ(InputMethod_GetCurrentEditingString(), nullptr);
}

TEST_F(InputMethod, ErrorCodesAndTexts) {
  EXPECT_EQ(InputMethod_Validate(), -1);
  EXPECT_STREQ(SDL_GetError(), "Input method is no init");
  EXPECT_EQ(InputMethod_Invalidate(), -1);
  EXPECT_STREQ(SDL_GetError(), "Input method is no init");
  EXPECT_STREQ(InputMethod_GetInputMethodName(), "");

  EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, nullptr, 0, 0, 0), 3);
  EXPECT_STREQ(SDL_GetError(), "post INPUT_METHOD_MESSAGE_CHANGE: Editing string is NULL");
  EXPECT_EQ(InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, nullptr, 0, 0, 0), 3);
  EXPECT_STREQ(SDL_GetError(), "post INPUT_METHOD_MESSAGE_RESULT: Editing string is NULL");
  EXPECT_EQ(InputMethod_PostEvent(9, utf16(u"x"), 0, 0, 0), 4);
  EXPECT_STREQ(SDL_GetError(), "post message: unknown message");
  EXPECT_EQ(InputMethod_GetEventNumber(), 0);

  ASSERT_EQ(InputMethod_Init(), 0);
  EXPECT_EQ(InputMethod_Init(), 1);
  EXPECT_STREQ(SDL_GetError(), "Input method is already inited");
  EXPECT_EQ(InputMethod_Invalidate(), 0);
  EXPECT_EQ(InputMethod_Validate(), 0);
}

// A back end described by another module, counting the calls it receives.
struct Calls {
  int init = 0, quit = 0, reset = 0;
  int init_result = 0;
  bool available = true;
};
Calls calls;

InputMethod_Bootstrap counting_bootstrap() {
  InputMethod_Bootstrap b{};
  b.available = [] { return calls.available ? 1 : 0; };
  b.init = [] {
    ++calls.init;
    return calls.init_result;
  };
  b.quit = [] { ++calls.quit; };
  b.reset = [] { ++calls.reset; };
  b.validate = [] { return 0; };
  b.invalidate = [] { return 0; };
  b.name = [] { return "Counting"; };
  return b;
}

TEST_F(InputMethod, InitFromOtherQuitAndReset) {
  calls = {};
  InputMethod_Bootstrap b = counting_bootstrap();
  calls.available = false;
  EXPECT_EQ(InputMethod_InitFromOther(&b), 11);
  EXPECT_STREQ(SDL_GetError(), "Bootstrap is invalid");
  EXPECT_EQ(InputMethod_InitFromOther(nullptr), 11);

  calls.available = true;
  calls.init_result = 7;
  const int unicode_before = SDL_EnableUNICODE(-1);
  EXPECT_EQ(InputMethod_InitFromOther(&b), 7);  // the back end's own error; its quit is called
  EXPECT_EQ(calls.quit, 1);
  EXPECT_EQ(SDL_EnableUNICODE(-1), unicode_before);

  calls.init_result = 0;
  ASSERT_EQ(InputMethod_InitFromOther(&b), 0);
  b.name = [] { return "changed after the copy"; };
  EXPECT_STREQ(InputMethod_GetInputMethodName(), "Counting");
  EXPECT_EQ(SDL_EnableUNICODE(-1), 1);
  InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, utf16(u"a"), 0, 0, 0);
  InputMethod_Reset();
  EXPECT_EQ(InputMethod_GetEventNumber(), 0);
  EXPECT_EQ(calls.reset, 1);
  InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, utf16(u"b"), 0, 0, 0);
  InputMethod_Quit();
  EXPECT_EQ(calls.quit, 2);
  EXPECT_EQ(InputMethod_GetEventNumber(), 0);
  EXPECT_EQ(SDL_EnableUNICODE(-1), unicode_before);
}

class Composition : public InputMethod {
 protected:
  void SetUp() override { ASSERT_EQ(InputMethod_Init(), 0); }
  std::vector<std::pair<int, int>> typed() {
    std::vector<std::pair<int, int>> out;
    uint8_t c, s;
    while (buffer.take(c, s)) out.emplace_back(c, s);
    return out;
  }
  uint32_t pixel(int x, int y) {
    SDL_Surface* s = strip.strip();
    return static_cast<uint32_t*>(s->pixels)[y * s->pitch / 4 + x] & 0xFFFFFF;
  }

  LowMemory low_memory;
  FrameFlags flags;
  KeyBuffer buffer{low_memory};
  Keyboard keyboard{flags, buffer, low_memory};
  CompositionStrip strip;
};

TEST_F(Composition, ResultsTypeTheirCodePage437Characters) {
  InputMethod_PostEvent(INPUT_METHOD_MESSAGE_RESULT, utf16(u"\u00E9\uFF21\u4F60x"), 0, 0, 0);
  strip.service(keyboard, false);
  EXPECT_EQ(typed(), (std::vector<std::pair<int, int>>{{130, 0}, {'A', 30}, {'x', 45}}));
  EXPECT_EQ(InputMethod_GetEventNumber(), 0);
}

TEST_F(Composition, AChangeDrawsTheStripWithTheClauseInverted) {
  InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, utf16(u"WWWWMMMM"), 8, 4, 4);
  strip.service(keyboard, true);
  EXPECT_EQ(strip.composition_state(), kComposing);
  // Before the clause: black ink on white; the clause: on black.
  int white_before = 0, black_in_clause = 0, white_after = 0;
  const int clause_start = strip.font_file().empty() ? 32 : 1;
  for (int x = 0; x < 2048; ++x)
    for (int y = 0; y < 32; ++y) {
      const uint32_t p = pixel(x, y);
      if (x < clause_start) white_before += p == 0xFFFFFF;
      if (x > 1000) white_after += p == 0xFFFFFF;
    }
  for (int y = 0; y < 32; ++y)
    black_in_clause += pixel(strip.font_file().empty() ? 33 : 200, y) == 0;
  EXPECT_GT(white_before, 0);
  EXPECT_GT(black_in_clause, 8);
  EXPECT_EQ(white_after, (2048 - 1001) * 32);

  InputMethod_PostEvent(INPUT_METHOD_MESSAGE_CHANGE, utf16(u""), 0, 0, 0);
  strip.service(keyboard, true);
  EXPECT_EQ(strip.composition_state(), kCompositionEnded);
  EXPECT_EQ(pixel(0, 16), 0xFFFFFFu);
}

TEST_F(Composition, KeysOfAnEndedCompositionAreNotTypedAgain) {
  BoxMailbox boxes;
  SdlWindow window;
  Frame frame{{}, nullptr, boxes};
  window.attach(frame, boxes);
  window.set_input_method(&strip);
  strip.set_composition_state(kCompositionEnded);
  auto push = [](Uint8 type, SDLKey sym, Uint16 unicode) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = sym;
    e.key.keysym.unicode = unicode;
    SDL_PushEvent(&e);
  };
  push(SDL_KEYDOWN, SDLK_RETURN, 13);
  window.pump_events();
  EXPECT_EQ(strip.composition_state(), kKeyOfEndedComposition);
  push(SDL_KEYUP, SDLK_RETURN, 0);
  window.pump_events();
  EXPECT_EQ(strip.composition_state(), kNotComposing);
  push(SDL_KEYDOWN, SDLK_RETURN, 13);
  window.pump_events();
  uint8_t c, s;
  ASSERT_TRUE(frame.key_buffer().take(c, s));
  EXPECT_EQ(c, 13);
  EXPECT_FALSE(frame.key_buffer().take(c, s));
}

TEST_F(Composition, TypedCharactersGoThroughTheQueueInTheirPlace) {
  SDL_EventFilter filter = SDL_GetEventFilter();
  ASSERT_NE(filter, nullptr);
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_a;
  key.key.keysym.unicode = 'a';
  EXPECT_EQ(filter(&key), 0);  // dropped from SDL's queue, posted as a result
  EXPECT_EQ(InputMethod_GetCurrentMessage(), INPUT_METHOD_MESSAGE_RESULT);
  SDL_Event marker;
  ASSERT_EQ(SDL_PeepEvents(&marker, 1, SDL_GETEVENT, SDL_EVENTMASK(SDL_USEREVENT)), 1);
  EXPECT_EQ(marker.user.code, InputMethodFrame::kResultMarker);
  key.key.keysym.sym = SDLK_RETURN;
  key.key.keysym.unicode = 13;
  EXPECT_EQ(filter(&key), 1);  // not printable: stays a key event
  InputMethod_Invalidate();
  key.key.keysym.unicode = 'b';
  EXPECT_EQ(filter(&key), 1);  // disabled: everything stays a key event
}

// The server redraws the composition piecewise: inserted, replaced and deleted characters, with
// the clause under conversion marked.
TEST(Preedit, FollowsTheServersChangesAndFindsTheClause) {
  Preedit p;
  p.change(0, 0, U"nihao", U"\0\0\0\0\0");
  EXPECT_EQ(p.clause(), (std::pair<int, int>{0, 0}));
  p.change(0, 2, U"\u4F60", U"\1");  // "ni" converted, and under conversion
  EXPECT_EQ(p.text, U"\u4F60hao");
  EXPECT_EQ(p.clause(), (std::pair<int, int>{0, 1}));
  p.change(1, 3, U"\u597D", U"\1");
  EXPECT_EQ(p.clause(), (std::pair<int, int>{0, 2}));
  p.change(1, 99, U"", U"");  // lengths past the end are cut
  EXPECT_EQ(p.text, U"\u4F60");
  p.change(-3, 1, U"", U"");
  EXPECT_EQ(p.text, U"");
}

TEST(DeadKeys, CombineWithTheNextCharacter) {
  EXPECT_EQ(after_dead_key(u'\u00B4', u'e'), u"\u00E9");
  EXPECT_EQ(after_dead_key(u'^', u'o'), u"\u00F4");
  EXPECT_EQ(after_dead_key(u'\u00A8', u'u'), u"\u00FC");
  EXPECT_EQ(after_dead_key(u'~', u' '), u"~");
  EXPECT_EQ(after_dead_key(u'`', u'x'), u"`x");
  EXPECT_EQ(accent_of_dead_keysym(0xFE51), u'\u00B4');
  EXPECT_EQ(accent_of_dead_keysym('a'), 0);
}

}  // namespace
}  // namespace aqsol
