// The full-screen terminal: the 80 x 25 text screen drawn with ncurses, keys read through it,
// and message boxes drawn as framed boxes.
#include "apps/console/curses_output.hpp"

#include <curses.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <sstream>

#include "console/code_page.hpp"
#include "frame/termination_signals.hpp"

namespace aqsol {
namespace {

// Text colours 0..7 of the screen (PC order) as curses colours.
constexpr short kCursesColour[8] = {COLOR_BLACK, COLOR_BLUE,    COLOR_GREEN,  COLOR_CYAN,
                                    COLOR_RED,   COLOR_MAGENTA, COLOR_YELLOW, COLOR_WHITE};
constexpr int kRows = 25, kColumns = 80;

short pair_of(int foreground, int background) {
  return static_cast<short>(1 + (foreground & 7) + 8 * (background & 7));
}

void put_glyph(int y, int x, char32_t glyph, attr_t attributes, short pair) {
  wchar_t text[2] = {static_cast<wchar_t>(glyph), 0};
  cchar_t cell;
  setcchar(&cell, text, attributes, pair, nullptr);
  mvadd_wch(y, x, &cell);
}

}  // namespace

class CursesOutput::Keys final : public KeyInput {
 public:
  explicit Keys(CursesOutput& output) : output_(output) {}

  bool pump() override {
    Keyboard& keyboard = output_.frame_.keyboard();
    wint_t key;
    int kind;
    while (output_.frame_.key_buffer().has_room() && (kind = get_wch(&key)) != ERR) {
      if (kind == KEY_CODE_YES) {
        if (key == KEY_RESIZE) {
          output_.full_redraw_ = true;
          continue;
        }
        const int32_t code = extended_code(key);
        if (code != 0 && !answer_box(0)) press(keyboard, code);
        continue;
      }
      if (key == 3) return false;  // Ctrl+C
      if (answer_box(key)) continue;
      if (key == '\n' || key == '\r') key = 13;
      if (key == 127) key = 8;
      keyboard.key_press_char(key);
      keyboard.key_release_char(key);
    }
    return true;
  }

 private:
  static void press(Keyboard& keyboard, int32_t code) {
    keyboard.key_press(code);
    keyboard.key_release(code);
  }

  static int32_t extended_code(wint_t key) {
    switch (key) {
      case KEY_UP:
        return 0x4800;
      case KEY_DOWN:
        return 0x5000;
      case KEY_LEFT:
        return 0x4B00;
      case KEY_RIGHT:
        return 0x4D00;
      case KEY_HOME:
        return 0x4700;
      case KEY_END:
        return 0x4F00;
      case KEY_BACKSPACE:
        return 8;
      case KEY_ENTER:
        return 13;
      default:
        return 0;
    }
  }

  // A key answers the message box on show: y or Enter Yes, n or Esc No.
  bool answer_box(wint_t key) {
    if (!output_.boxes_.waiting()) return false;
    if (key == 'y' || key == 'Y' || key == '\n' || key == '\r')
      output_.boxes_.answer(BoxAnswer::kYes);
    else if (key == 'n' || key == 'N' || key == 27)
      output_.boxes_.answer(BoxAnswer::kNo);
    else
      return true;
    output_.full_redraw_ = true;
    output_.box_shown_ = false;
    return true;
  }

  CursesOutput& output_;
};

CursesOutput::CursesOutput(Frame& frame, BoxMailbox& boxes) : frame_(frame), boxes_(boxes) {
  std::setlocale(LC_ALL, "");
  if (termios modes{}; tcgetattr(STDOUT_FILENO, &modes) == 0)
    remember_terminal_modes(STDOUT_FILENO, modes);
  initscr();
  raw();
  noecho();
  nodelay(stdscr, TRUE);
  keypad(stdscr, TRUE);
  set_escdelay(25);
  if (has_colors()) {
    start_color();
    for (int background = 0; background < 8; ++background)
      for (int foreground = 0; foreground < 8; ++foreground)
        init_pair(pair_of(foreground, background), kCursesColour[foreground],
                  kCursesColour[background]);
  }
}

CursesOutput::~CursesOutput() {
  endwin();
  forget_terminal_modes();
}

std::unique_ptr<KeyInput> CursesOutput::terminal_keys() {
  return std::make_unique<Keys>(*this);
}

bool CursesOutput::too_small() const {
  return LINES < kRows || COLS < kColumns;
}

void CursesOutput::draw_screen() {
  const TextScreen& screen = frame_.runtime().screen;
  const int rows = std::min<int>(screen.height(), kRows), columns = screen.width();
  drawn_.resize(static_cast<std::size_t>(rows) * columns);
  for (int row = 1; row <= rows; ++row)
    for (int column = 1; column <= columns; ++column) {
      const uint16_t cell = screen.load_cell(row, column);
      uint16_t& drawn = drawn_[static_cast<std::size_t>((row - 1) * columns + column - 1)];
      if (!full_redraw_ && drawn == cell) continue;
      drawn = cell;
      const int attribute = cell >> 8;
      attr_t attributes = (attribute & 8) ? A_BOLD : A_NORMAL;
      if (attribute & 0x80) attributes |= A_BLINK;
      put_glyph(row - 1, column - 1, cp437_to_unicode(static_cast<uint8_t>(cell)), attributes,
                pair_of(attribute & 7, attribute >> 4 & 7));
    }
}

void CursesOutput::draw_box(const MessageBoxRequest& request) {
  std::vector<std::string> lines;
  std::istringstream in(request.text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  lines.push_back(request.yes_no ? "(y/n)" : "(Enter)");
  std::size_t width = request.caption.size() + 4;
  for (const std::string& line : lines) width = std::max(width, line.size() + 4);
  const int height = static_cast<int>(lines.size()) + 2;
  const int top = (kRows - height) / 2, left = (kColumns - static_cast<int>(width)) / 2;
  WINDOW* frame = newwin(height, static_cast<int>(width), top, left);
  if (frame == nullptr) return;
  werase(frame);
  box(frame, 0, 0);
  mvwaddstr(frame, 0, 2, request.caption.c_str());
  for (std::size_t i = 0; i < lines.size(); ++i)
    mvwaddstr(frame, static_cast<int>(i) + 1, 2, lines[i].c_str());
  wnoutrefresh(frame);
  delwin(frame);
  box_shown_ = true;
}

void CursesOutput::refresh() {
  if (too_small()) {
    erase();
    mvaddstr(0, 0, "Please enlarge the terminal to at least 80 columns and 25 rows.");
    ::refresh();
    full_redraw_ = true;
    return;
  }
  if (full_redraw_) erase();
  draw_screen();
  const TextScreen& screen = frame_.runtime().screen;
  const bool redrawn = full_redraw_;
  full_redraw_ = false;
  wnoutrefresh(stdscr);
  const auto box = boxes_.waiting();
  if (box && (!box_shown_ || redrawn)) draw_box(*box);
  if (box) {
    curs_set(0);
  } else {
    curs_set(screen.cursor_visible() ? 1 : 0);
    move(std::min<int>(screen.cursor_row(), kRows) - 1, screen.cursor_column() - 1);
    wnoutrefresh(stdscr);
  }
  doupdate();
}

void CursesOutput::finish() {
  endwin();
}

}  // namespace aqsol
