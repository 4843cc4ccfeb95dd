// The calculator's window with SDL 1.2: the 640 x 400 text console, full-screen switching, key
// events, the close box, and message boxes drawn over the window.
#pragma once

#include <SDL/SDL.h>

#include <memory>
#include <optional>
#include <vector>

#include "frame/display.hpp"
#include "frame/frame.hpp"
#include "frame/message_box.hpp"
#include "frame/sdl/input_method_frame.hpp"

namespace aqsol {

// Exit codes of the window's start-up.
inline constexpr int kExitSdlInit = 100;
inline constexpr int kExitTtfInit = 7000;

class SdlWindow final : public FrontEnd {
 public:
  // Initialises SDL's video and timer and SDL_ttf. On failure writes "Unable to init SDL: ..."
  // to standard error and exits with code 100 (7000 for SDL_ttf).
  SdlWindow();
  ~SdlWindow() override;

  // Connects the window to the frame it shows and the mailbox of its message boxes; opens the
  // window captioned "Untitled" with its icon. Call before Frame::run.
  void attach(Frame& frame, BoxMailbox& boxes);

  // Lets `input_method` (may be null) take its events before the window's key events, hold key
  // events back while it composes, and show its strip.
  void set_input_method(InputMethodFrame* input_method) { input_method_ = input_method; }

  void refresh() override;
  bool pump_events() override;
  void sleep_ms(int ms) override { SDL_Delay(static_cast<Uint32>(ms)); }
  uint32_t ticks_ms() override { return SDL_GetTicks(); }

 private:
  struct Button {
    SDL_Rect area;
    BoxAnswer answer;
  };

  void apply_video_mode();
  Canvas canvas();
  void handle_key_down(const SDL_KeyboardEvent& key);
  void handle_key_up(const SDL_KeyboardEvent& key);
  void draw_strip();
  void draw_box(const MessageBoxRequest& box);
  void answer_box(BoxAnswer answer);
  void box_key(const SDL_KeyboardEvent& key);
  void box_click(int x, int y);

  Frame* frame_ = nullptr;
  BoxMailbox* boxes_ = nullptr;
  SDL_Surface* surface_ = nullptr;
  std::vector<uint32_t> staging_;  // used when the surface's channel order is not 0xRRGGBB
  ScreenRenderer renderer_;
  std::vector<ModeSize> modes_;
  int full_screen_ = 0, shown_full_screen_ = -1;
  int surface_width_ = 0, surface_height_ = 0;
  int offset_x_ = 0, offset_y_ = 0, scale_ = 1;
  bool box_shown_ = false;
  InputMethodFrame* input_method_ = nullptr;
  std::vector<Button> buttons_;
};

}  // namespace aqsol
