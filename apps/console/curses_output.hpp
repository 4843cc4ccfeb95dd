// The full-screen terminal: the 80 x 25 text screen drawn with ncurses, keys read through it,
// and message boxes drawn as framed boxes.
#pragma once

#include <memory>
#include <vector>

#include "apps/console/console_front_end.hpp"

namespace aqsol {

class CursesOutput final : public ScreenOutput {
 public:
  // Takes over the terminal on standard output (and its keys, when standard input is it too).
  CursesOutput(Frame& frame, BoxMailbox& boxes);
  ~CursesOutput() override;
  void refresh() override;
  void finish() override;

  // Keys typed on the terminal: characters, Enter, Backspace, Tab and the arrows; Ctrl+C ends
  // the program; y/n (Enter/Esc) answer a message box.
  std::unique_ptr<KeyInput> terminal_keys();

 private:
  class Keys;
  void draw_screen();
  void draw_box(const MessageBoxRequest& request);
  bool too_small() const;

  Frame& frame_;
  BoxMailbox& boxes_;
  std::vector<uint16_t> drawn_;
  bool full_redraw_ = true;
  bool box_shown_ = false;
};

}  // namespace aqsol
