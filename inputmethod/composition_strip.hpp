// The frame's side of the input method: it takes the queued events, shows the text being
// composed in a strip at the bottom of the window, and types finished text into the key buffer.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

#include <string>

#include "frame/sdl/input_method_frame.hpp"

namespace aqsol {

inline constexpr int kExitStripSurface = 601;
inline constexpr int kExitInputMethodInit = 602;

class CompositionStrip final : public InputMethodFrame {
 public:
  static constexpr int kWidth = 2048;
  static constexpr int kHeight = 32;
  static constexpr int kPointSize = 29;

  // Creates the strip surface; exits the process with code 601 when it cannot.
  CompositionStrip();
  ~CompositionStrip() override;
  CompositionStrip(const CompositionStrip&) = delete;
  CompositionStrip& operator=(const CompositionStrip&) = delete;

  void service(Keyboard& keyboard, bool oldest_only) override;
  int composition_state() const override { return state_; }
  void set_composition_state(int state) override { state_ = state; }
  void set_enabled(bool enabled) override;
  SDL_Surface* strip() override { return strip_; }

  // Draws `text` (UTF-16) white on black from `clause_position` for `clause_length` characters,
  // black on white elsewhere, with the cursor before character `cursor`.
  void draw(const std::u16string& text, int cursor, int clause_position, int clause_length);

  // The file of the font that draws composition text now; empty when the built-in code page 437
  // glyphs stand in.
  const std::string& font_file() const { return font_file_; }

 private:
  bool use_font_covering(const std::u16string& text);
  void draw_with_font(const std::u16string& text, int cursor, int position, int length);
  void draw_with_glyphs(const std::u16string& text, int cursor, int position, int length);
  void type_result(Keyboard& keyboard, const std::u16string& text);

  SDL_Surface* strip_;
  int state_ = kNotComposing;
  bool enabled_ = true;
  TTF_Font* font_ = nullptr;
  std::string font_file_;
};

}  // namespace aqsol
