// The calculator's window with SDL 1.2: the 640 x 400 text console, full-screen switching, key
// events, the close box, and message boxes drawn over the window.
#include "frame/sdl/sdl_window.hpp"

#include <SDL/SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "frame/font_data.hpp"
#include "frame/termination_signals.hpp"

namespace aqsol {
namespace {

constexpr int kGlyphWidth = 8;
constexpr int kGlyphHeight = 16;

// The window icon: a drop of water, 16 x 16, doubled to 32 x 32.
constexpr const char* kIconRows[16] = {
    "       ##       ", "       ##       ", "      #..#      ", "      #..#      ",
    "     #....#     ", "     #....#     ", "    #......#    ", "   #........#   ",
    "  #..*.......#  ", "  #..*.......#  ", " #..*.........# ", " #...**.......# ",
    " #............# ", "  #..........#  ", "   ##......##   ", "     ######     ",
};

void set_icon() {
  static uint32_t pixels[32 * 32];
  static uint8_t mask[32 * 32 / 8];
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const char c = kIconRows[y / 2][x / 2];
      pixels[y * 32 + x] = c == '#' ? 0x1040A0 : c == '*' ? 0xFFFFFF : 0x40A0FF;
      if (c != ' ') mask[(y * 32 + x) / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  SDL_Surface* icon =
      SDL_CreateRGBSurfaceFrom(pixels, 32, 32, 32, 32 * 4, 0xFF0000, 0x00FF00, 0x0000FF, 0);
  if (icon == nullptr) return;
  SDL_WM_SetIcon(icon, mask);
  SDL_FreeSurface(icon);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Draws `text` with the 8x16 glyphs at pixel (x, y).
void draw_text(Canvas& canvas, int x, int y, const std::string& text, uint32_t ink,
               uint32_t paper) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    for (int gy = 0; gy < kGlyphHeight; ++gy) {
      const uint8_t bits = kFont8x16Rows[c * kGlyphHeight + gy];
      for (int gx = 0; gx < kGlyphWidth; ++gx) {
        const int px = x + static_cast<int>(i) * kGlyphWidth + gx, py = y + gy;
        if (px < 0 || py < 0 || px >= canvas.width || py >= canvas.height) continue;
        canvas.pixels[py * canvas.pitch + px] = (bits & (0x80 >> gx)) ? ink : paper;
      }
    }
  }
}

void fill_rect(Canvas& canvas, const SDL_Rect& r, uint32_t colour) {
  for (int y = std::max<int>(r.y, 0); y < std::min<int>(r.y + r.h, canvas.height); ++y)
    for (int x = std::max<int>(r.x, 0); x < std::min<int>(r.x + r.w, canvas.width); ++x)
      canvas.pixels[y * canvas.pitch + x] = colour;
}

bool has_rgb_order(const SDL_Surface* s) {
  return s->format->BytesPerPixel == 4 && s->format->Rmask == 0xFF0000 &&
         s->format->Gmask == 0x00FF00 && s->format->Bmask == 0x0000FF;
}

}  // namespace

SdlWindow::SdlWindow() {
  // The window is an X11 window. Without that choice SDL would fall back to drawing into the
  // terminal or the frame buffer when no display exists; a driver named in SDL_VIDEODRIVER (the
  // dummy one of the tests) is still honoured.
  if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
    // Without a display the window cannot open: say what to use instead before SDL says why.
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
      std::fputs("aqsol: no display (DISPLAY is not set): use aqsol-console\n", stderr);
    setenv("SDL_VIDEODRIVER", "x11", 1);
  }
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) < 0) {
    std::fprintf(stderr, "Unable to init SDL: %s\n", SDL_GetError());
    std::exit(kExitSdlInit);
  }
  std::atexit(SDL_Quit);
  if (TTF_Init() < 0) std::exit(kExitTtfInit);
  std::atexit(TTF_Quit);
  SDL_Rect** modes = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
  if (modes != nullptr && modes != reinterpret_cast<SDL_Rect**>(-1))
    for (int i = 0; modes[i] != nullptr; ++i) modes_.push_back({modes[i]->w, modes[i]->h});
  SDL_EnableKeyRepeat(500, 30);
  SDL_EnableUNICODE(1);
}

SdlWindow::~SdlWindow() {
  SDL_ShowCursor(0);
}

void SdlWindow::attach(Frame& frame, BoxMailbox& boxes) {
  frame_ = &frame;
  boxes_ = &boxes;
  set_icon();
  SDL_WM_SetCaption("Untitled", nullptr);
  const SDLMod mods = SDL_GetModState();
  frame.keyboard().follow_locks({(mods & KMOD_CAPS) != 0, (mods & KMOD_NUM) != 0});
  apply_video_mode();
}

void SdlWindow::apply_video_mode() {
  const TextScreen& screen = frame_->runtime().screen;
  const ModeSize page{ScreenRenderer::page_width(screen), ScreenRenderer::page_height(screen)};
  int width = page.width, height = page.height;
  scale_ = 1;
  offset_x_ = offset_y_ = 0;
  if (full_screen_ != 0) {
    if (page.width <= 512 && page.height <= 384) scale_ = 2;
    const ModeSize image{page.width * scale_, page.height * scale_};
    const auto mode = nearest_mode(modes_, image, full_screen_ == 2);
    if (mode) {
      width = mode->width;
      height = mode->height;
      offset_x_ = (width - image.width) / 2;
      offset_y_ = (height - image.height) / 2;
    } else {
      full_screen_ = 0;
      scale_ = 1;
    }
  }
  if (surface_ != nullptr && width == surface_width_ && height == surface_height_ &&
      full_screen_ == shown_full_screen_)
    return;
  surface_ = SDL_SetVideoMode(width, height, 32, full_screen_ != 0 ? SDL_FULLSCREEN : 0);
  if (surface_ == nullptr && full_screen_ != 0) {
    full_screen_ = 0;
    return apply_video_mode();
  }
  surface_width_ = width;
  surface_height_ = height;
  shown_full_screen_ = full_screen_;
  SDL_ShowCursor(full_screen_ != 0 ? 0 : 1);
  renderer_.invalidate();
  box_shown_ = false;
}

Canvas SdlWindow::canvas() {
  Canvas c{nullptr, surface_->w, surface_->h, 0, offset_x_, offset_y_, scale_};
  if (has_rgb_order(surface_)) {
    c.pixels = static_cast<uint32_t*>(surface_->pixels);
    c.pitch = surface_->pitch / 4;
  } else {
    staging_.resize(static_cast<std::size_t>(surface_->w) * surface_->h);
    c.pixels = staging_.data();
    c.pitch = surface_->w;
  }
  return c;
}

void SdlWindow::refresh() {
  if (frame_ == nullptr) return;
  while (frame_->keyboard().take_full_screen_request()) {
    const TextScreen& screen = frame_->runtime().screen;
    const ModeSize page{ScreenRenderer::page_width(screen), ScreenRenderer::page_height(screen)};
    full_screen_ = next_full_screen_state(full_screen_, modes_, page);
  }
  apply_video_mode();
  if (surface_ == nullptr) return;
  if (SDL_MUSTLOCK(surface_) && SDL_LockSurface(surface_) < 0) return;
  Canvas target = canvas();
  bool drew = renderer_.refresh(frame_->runtime().screen, target);
  PixelArea shown = renderer_.drawn_area();
  const auto box = boxes_->waiting();
  if (box && (drew || !box_shown_)) {
    draw_box(*box);
    drew = true;
    shown = {0, 0, surface_->w, surface_->h};
  }
  if (!box && box_shown_) box_shown_ = false;
  if (drew && !has_rgb_order(surface_)) {
    // Copy the drawing into the surface in the surface's own channel order.
    for (int y = shown.y; y < shown.y + shown.h; ++y)
      for (int x = shown.x; x < shown.x + shown.w; ++x) {
        const uint32_t p = staging_[static_cast<std::size_t>(y) * surface_->w + x];
        const Uint32 mapped = SDL_MapRGB(surface_->format, p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
        auto* row = static_cast<uint8_t*>(surface_->pixels) + y * surface_->pitch;
        std::copy_n(reinterpret_cast<const uint8_t*>(&mapped), surface_->format->BytesPerPixel,
                    row + x * surface_->format->BytesPerPixel);
      }
  }
  if (SDL_MUSTLOCK(surface_)) SDL_UnlockSurface(surface_);
  if (drew && input_method_ != nullptr && input_method_->composition_state() == kComposing) {
    draw_strip();
    shown = {0, 0, surface_->w, surface_->h};
  }
  // Only what was drawn goes to the display: a blinking cursor is one cell, not the window.
  if (drew)
    SDL_UpdateRect(surface_, static_cast<Sint32>(shown.x), static_cast<Sint32>(shown.y),
                   static_cast<Uint32>(shown.w), static_cast<Uint32>(shown.h));
}

void SdlWindow::draw_box(const MessageBoxRequest& box) {
  const std::vector<std::string> lines = lines_of(box.text);
  std::vector<std::pair<std::string, BoxAnswer>> labels;
  if (box.yes_no)
    labels = {{" Yes ", BoxAnswer::kYes}, {" No ", BoxAnswer::kNo}};
  else
    labels = {{" OK ", BoxAnswer::kYes}};
  std::size_t columns = box.caption.size() + 2;
  for (const std::string& line : lines) columns = std::max(columns, line.size() + 4);
  columns = std::max<std::size_t>(columns, 20);
  const int width = static_cast<int>(columns) * kGlyphWidth;
  const int height = (static_cast<int>(lines.size()) + 5) * kGlyphHeight;
  Canvas c = canvas();
  const int x = (c.width - width) / 2, y = (c.height - height) / 2;
  const uint32_t caption_paper = 0x0000AA, body = 0xAAAAAA, ink = 0x000000, white = 0xFFFFFF;
  fill_rect(c,
            {static_cast<Sint16>(x - 2), static_cast<Sint16>(y - 2), static_cast<Uint16>(width + 4),
             static_cast<Uint16>(height + 4)},
            white);
  fill_rect(c,
            {static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(width),
             static_cast<Uint16>(kGlyphHeight)},
            caption_paper);
  draw_text(c, x + kGlyphWidth, y, box.caption, white, caption_paper);
  fill_rect(c,
            {static_cast<Sint16>(x), static_cast<Sint16>(y + kGlyphHeight),
             static_cast<Uint16>(width), static_cast<Uint16>(height - kGlyphHeight)},
            body);
  for (std::size_t i = 0; i < lines.size(); ++i)
    draw_text(c, x + 2 * kGlyphWidth, y + (static_cast<int>(i) + 2) * kGlyphHeight, lines[i], ink,
              body);
  buttons_.clear();
  int button_x = x + width / 2 - static_cast<int>(labels.size()) * 4 * kGlyphWidth;
  const int button_y = y + height - 2 * kGlyphHeight;
  for (const auto& [label, answer] : labels) {
    const SDL_Rect area{static_cast<Sint16>(button_x), static_cast<Sint16>(button_y),
                        static_cast<Uint16>(label.size() * kGlyphWidth),
                        static_cast<Uint16>(kGlyphHeight)};
    draw_text(c, button_x, button_y, label, white, 0x000000);
    buttons_.push_back({area, answer});
    button_x += 8 * kGlyphWidth;
  }
  box_shown_ = true;
}

void SdlWindow::answer_box(BoxAnswer answer) {
  boxes_->answer(answer);
  buttons_.clear();
  renderer_.invalidate();  // the next refresh draws the screen over the box
}

void SdlWindow::box_key(const SDL_KeyboardEvent& key) {
  const SDLKey sym = key.keysym.sym;
  const bool yes_no = buttons_.size() == 2;
  if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER || sym == SDLK_y ||
      (!yes_no && sym == SDLK_ESCAPE))
    answer_box(BoxAnswer::kYes);
  else if (yes_no && (sym == SDLK_n || sym == SDLK_ESCAPE))
    answer_box(BoxAnswer::kNo);
}

void SdlWindow::box_click(int x, int y) {
  for (const Button& b : buttons_)
    if (x >= b.area.x && x < b.area.x + b.area.w && y >= b.area.y && y < b.area.y + b.area.h) {
      answer_box(b.answer);
      return;
    }
}

void SdlWindow::handle_key_down(const SDL_KeyboardEvent& key) {
  if (input_method_ != nullptr && input_method_->composition_state() != kNotComposing) {
    // The key belongs to the composition; the one that ended it is not typed again.
    if (input_method_->composition_state() == kCompositionEnded)
      input_method_->set_composition_state(kKeyOfEndedComposition);
    return;
  }
  frame_->keyboard().key_down(static_cast<int32_t>(key.keysym.sym), key.keysym.unicode);
}

void SdlWindow::handle_key_up(const SDL_KeyboardEvent& key) {
  if (input_method_ != nullptr && input_method_->composition_state() != kNotComposing) {
    if (input_method_->composition_state() == kKeyOfEndedComposition)
      input_method_->set_composition_state(kNotComposing);
    return;
  }
  frame_->keyboard().key_up(static_cast<int32_t>(key.keysym.sym));
}

void SdlWindow::draw_strip() {
  SDL_Surface* strip = input_method_->strip();
  if (strip == nullptr || surface_ == nullptr) return;
  SDL_Rect from{0, 0, static_cast<Uint16>(std::min(surface_->w, strip->w)), 32};
  SDL_Rect to{0, static_cast<Sint16>(surface_->h - 32), 0, 0};
  SDL_BlitSurface(strip, &from, surface_, &to);
}

bool SdlWindow::pump_events() {
  if (frame_ == nullptr) return true;
  if (termination_signal() != 0) return false;  // ends as closing the window does
  const Uint8 state = SDL_GetAppState();
  const bool focused = (state & SDL_APPINPUTFOCUS) && (state & SDL_APPACTIVE);
  if (focused)
    SDL_EnableKeyRepeat(500, 30);
  else
    SDL_EnableKeyRepeat(0, 0);
  const SDLMod mods = SDL_GetModState();
  frame_->keyboard().follow_locks({(mods & KMOD_CAPS) != 0, (mods & KMOD_NUM) != 0});
  const bool box_up = boxes_->waiting().has_value() && !buttons_.empty();
  if (input_method_ != nullptr) {
    input_method_->service(frame_->keyboard(), false);
    // A message box takes its keys straight from the window.
    input_method_->set_enabled(!box_up);
  }
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT:
        return false;
      case SDL_USEREVENT:
        if (input_method_ != nullptr && event.user.code == InputMethodFrame::kResultMarker &&
            !box_up)
          input_method_->service(frame_->keyboard(), true);
        break;
      case SDL_KEYDOWN:
        if (box_up)
          box_key(event.key);
        else
          handle_key_down(event.key);
        break;
      case SDL_KEYUP:
        handle_key_up(event.key);
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (box_up) box_click(event.button.x, event.button.y);
        break;
      case SDL_VIDEOEXPOSE:
        renderer_.invalidate();
        box_shown_ = false;
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace aqsol
