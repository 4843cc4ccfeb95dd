// Tests of key translation: window-system key events in, key-buffer pairs and frame requests out.
#include "frame/keyboard.hpp"

#include <SDL/SDL_keysym.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace aqsol {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

class Keys : public testing::Test {
 protected:
  LowMemory low_memory;
  FrameFlags flags;
  KeyBuffer buffer{low_memory};
  Keyboard keyboard{flags, buffer, low_memory};

  void tap(SDLKey symbol, uint32_t unicode = 0) {
    keyboard.key_down(symbol, unicode);
    keyboard.key_up(symbol);
  }
  void hold(SDLKey symbol) { keyboard.key_down(symbol, 0); }
  void release(SDLKey symbol) { keyboard.key_up(symbol); }
  Pairs taken() {
    Pairs out;
    uint8_t character, scan;
    while (buffer.take(character, scan)) out.emplace_back(character, scan);
    return out;
  }
  uint8_t flags1() { return low_memory.bytes()[Keyboard::kFlags1]; }
};

TEST_F(Keys, PcCodesOfCharactersAndExtendedKeys) {
  tap(SDLK_a, 'a');
  hold(SDLK_LCTRL);
  tap(SDLK_a, 1);  // Ctrl+A
  release(SDLK_LCTRL);
  hold(SDLK_LALT);
  tap(SDLK_a, 'a');  // Alt+A
  release(SDLK_LALT);
  tap(SDLK_UP);
  tap(SDLK_F1);
  hold(SDLK_LSHIFT);
  tap(SDLK_F1);  // Shift+F1
  tap(SDLK_1, '!');
  release(SDLK_LSHIFT);
  tap(SDLK_RETURN, 13);
  tap(SDLK_BACKSPACE, 127);
  tap(SDLK_DELETE, 127);
  EXPECT_EQ(taken(), (Pairs{{'a', 30},
                            {1, 30},
                            {0, 0x1E},
                            {0, 0x48},
                            {0, 0x3B},
                            {0, 0x54},
                            {'!', 2},
                            {13, 28},
                            {8, 14},
                            {0, 0x53}}));
}

TEST_F(Keys, CodePage437CharactersAndOthers) {
  tap(SDLK_WORLD_73, 0xE9);   // é
  tap(SDLK_UNKNOWN, 0xFF21);  // full-width A, a character without a key
  tap(SDLK_UNKNOWN, 0x4E2D);  // no code page 437 code: nothing typed
  EXPECT_EQ(taken(), (Pairs{{130, 0}, {'A', 30}}));
  EXPECT_EQ(Keyboard::code_of_unicode(0x4E2D), 0x40000000 + 0x4E2D);
  EXPECT_EQ(Keyboard::code_of_unicode(0x3000), 32);
  EXPECT_EQ(Keyboard::code_of_unicode(0x2554), 201);
}

TEST_F(Keys, AltWithKeypadDigitsTypesTheCode) {
  hold(SDLK_LALT);
  tap(SDLK_KP6, '6');
  tap(SDLK_KP5, '5');
  EXPECT_EQ(taken(), Pairs{});
  release(SDLK_LALT);
  EXPECT_EQ(taken(), (Pairs{{'A', 30}}));
}

TEST_F(Keys, ModifiersAndLocksAloneTypeNothingButSetFlagBytes) {
  hold(SDLK_LSHIFT);
  hold(SDLK_RCTRL);
  EXPECT_EQ(flags1(), 0x02 | 0x04);
  release(SDLK_LSHIFT);
  release(SDLK_RCTRL);
  hold(SDLK_CAPSLOCK);  // the lock turns on
  EXPECT_EQ(flags1(), 0x40);
  tap(SDLK_a, 'A');
  release(SDLK_CAPSLOCK);  // and off
  EXPECT_EQ(flags1(), 0);
  tap(SDLK_SCROLLOCK);
  EXPECT_EQ(flags1(), 0x10);
  keyboard.follow_locks({true, true});
  EXPECT_EQ(flags1(), 0x10 | 0x20 | 0x40);
  tap(SDLK_INSERT);
  EXPECT_EQ(flags1() & 0x80, 0x80);
  EXPECT_EQ(taken(), (Pairs{{'A', 30}, {0, 0x52}}));
}

TEST_F(Keys, TheSixteenthKeyIsDropped) {
  for (int i = 0; i < 16; ++i) tap(SDLK_x, 'x');
  EXPECT_EQ(taken().size(), 15u);
}

TEST_F(Keys, BreakPauseAndAltEnterActOnTheProgram) {
  hold(SDLK_LALT);
  tap(SDLK_RETURN, 13);
  release(SDLK_LALT);
  EXPECT_TRUE(keyboard.take_full_screen_request());
  EXPECT_FALSE(keyboard.take_full_screen_request());

  tap(SDLK_PAUSE);
  EXPECT_EQ(flags.suspend_mask.load(), FrameFlags::kPaused);
  EXPECT_TRUE(flags.event_pending.load());
  tap(SDLK_q, 'q');  // ends the pause and is not typed
  EXPECT_EQ(flags.suspend_mask.load(), 0);

  hold(SDLK_LCTRL);
  tap(SDLK_BREAK);
  release(SDLK_LCTRL);
  EXPECT_TRUE(flags.exit_requested.load());
  EXPECT_EQ(taken(), Pairs{});
}

// X11 reports the Break key of a PC keyboard as Pause with Ctrl held: it ends the program.
TEST_F(Keys, CtrlPauseIsBreak) {
  hold(SDLK_RCTRL);
  tap(SDLK_PAUSE);
  release(SDLK_RCTRL);
  EXPECT_TRUE(flags.exit_requested.load());
  EXPECT_EQ(flags.suspend_mask.load(), 0);
}

}  // namespace
}  // namespace aqsol
