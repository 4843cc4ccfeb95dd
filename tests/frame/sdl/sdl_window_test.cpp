// Tests of the SDL window with SDL's dummy video driver: size and caption, key events into the
// key buffer, the close box, and a message box answered by keys.
#include "frame/sdl/sdl_window.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

namespace aqsol {
namespace {

class Window : public testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "dummy", 1); }

  void push_key(SDLKey symbol, Uint16 unicode, bool down = true) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.keysym.sym = symbol;
    event.key.keysym.unicode = unicode;
    SDL_PushEvent(&event);
  }

  BoxMailbox boxes;
  SdlWindow window;
  Frame frame{{}, nullptr, boxes};
};

TEST_F(Window, OpensTheConsoleWindowAndTurnsKeyEventsIntoKeys) {
  window.attach(frame, boxes);
  window.refresh();
  const SDL_Surface* surface = SDL_GetVideoSurface();
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->w, 640);
  EXPECT_EQ(surface->h, 400);
  char* caption = nullptr;
  SDL_WM_GetCaption(&caption, nullptr);
  EXPECT_STREQ(caption, "Untitled");

  push_key(SDLK_5, '5');
  push_key(SDLK_5, 0, false);
  push_key(SDLK_RETURN, 13);
  EXPECT_TRUE(window.pump_events());
  uint8_t c, s;
  ASSERT_TRUE(frame.key_buffer().take(c, s));
  EXPECT_EQ(c, '5');
  ASSERT_TRUE(frame.key_buffer().take(c, s));
  EXPECT_EQ(c, 13);

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_FALSE(window.pump_events());
}

TEST_F(Window, MessageBoxAnsweredByKeysAndKeptFromTheKeyBuffer) {
  window.attach(frame, boxes);
  auto answer = std::async(std::launch::async, [this] {
    return boxes.show_box({"Line:120\nIllegal function call\nContinue?", "Unhandled Error #5"});
  });
  while (!boxes.waiting()) SDL_Delay(1);
  window.refresh();       // draws the box
  push_key(SDLK_x, 'x');  // not an answer, and not typed either
  push_key(SDLK_n, 'n');
  window.pump_events();
  EXPECT_EQ(answer.get(), BoxAnswer::kNo);
  uint8_t c, s;
  EXPECT_FALSE(frame.key_buffer().take(c, s));
}

}  // namespace
}  // namespace aqsol
