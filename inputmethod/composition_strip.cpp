// The frame's side of the input method: it takes the queued events, shows the text being
// composed in a strip at the bottom of the window, and types finished text into the key buffer.
#include "inputmethod/composition_strip.hpp"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "console/code_page.hpp"
#include "frame/font_data.hpp"
#include "inputmethod/input_method.h"

namespace aqsol {
namespace {

constexpr SDL_Color kBlack{0, 0, 0, 0};
constexpr SDL_Color kWhite{255, 255, 255, 0};

// The code points of UTF-16 text.
std::vector<char32_t> code_points(const std::u16string& text) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      out.push_back(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Files of the installed fonts that cover every character of `text`, best match first.
std::vector<std::string> fonts_covering(const std::u16string& text) {
  std::vector<std::string> files;
  if (!FcInit()) return files;
  FcCharSet* wanted = FcCharSetCreate();
  for (char32_t c : code_points(text)) FcCharSetAddChar(wanted, c);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
  FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  if (FcFontSet* set = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result)) {
    for (int i = 0; i < set->nfont; ++i) {
      FcCharSet* has = nullptr;
      FcChar8* file = nullptr;
      if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &has) != FcResultMatch ||
          FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
        continue;
      if (FcCharSetIsSubset(wanted, has)) files.emplace_back(reinterpret_cast<char*>(file));
    }
    FcFontSetDestroy(set);
  }
  FcPatternDestroy(pattern);
  FcCharSetDestroy(wanted);
  return files;
}

void push_expose() {
  SDL_Event expose{};
  expose.type = SDL_VIDEOEXPOSE;
  SDL_PushEvent(&expose);
}

}  // namespace

CompositionStrip::CompositionStrip()
    : strip_(SDL_CreateRGBSurface(SDL_SWSURFACE, kWidth, kHeight, 32, 0xFF0000, 0x00FF00, 0x0000FF,
                                  0)) {
  if (strip_ == nullptr) std::exit(kExitStripSurface);
  SDL_FillRect(strip_, nullptr, SDL_MapRGB(strip_->format, 255, 255, 255));
}

CompositionStrip::~CompositionStrip() {
  if (font_ != nullptr) TTF_CloseFont(font_);
  SDL_FreeSurface(strip_);
}

void CompositionStrip::set_enabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled)
    InputMethod_Validate();
  else
    InputMethod_Invalidate();
}

bool CompositionStrip::use_font_covering(const std::u16string& text) {
  // The open font stays while it has every character; fonts are looked up only when it has not.
  const auto covers = [&text](TTF_Font* font) {
    return std::all_of(text.begin(), text.end(),
                       [font](char16_t c) { return TTF_GlyphIsProvided(font, c) != 0; });
  };
  if (font_ != nullptr && covers(font_)) return true;
  // "cyberbit.ttf" beside the program first, then the installed fonts that cover the text; the
  // first that opens draws.
  std::vector<std::string> candidates = {"cyberbit.ttf"};
  const std::vector<std::string> installed = fonts_covering(text);
  candidates.insert(candidates.end(), installed.begin(), installed.end());
  for (const std::string& file : candidates) {
    if (file == font_file_ && font_ != nullptr) return true;
    TTF_Font* font = TTF_OpenFont(file.c_str(), kPointSize);
    if (font == nullptr) continue;
    if (font_ != nullptr) TTF_CloseFont(font_);
    font_ = font;
    font_file_ = file;
    return true;
  }
  return false;
}

void CompositionStrip::draw(const std::u16string& text, int cursor, int position, int length) {
  SDL_FillRect(strip_, nullptr, SDL_MapRGB(strip_->format, 255, 255, 255));
  const int size = static_cast<int>(text.size());
  position = std::clamp(position, 0, size);
  length = std::clamp(length, 0, size - position);
  cursor = std::clamp(cursor, 0, size);
  if (text.empty()) return;
  if (use_font_covering(text))
    draw_with_font(text, cursor, position, length);
  else
    draw_with_glyphs(text, cursor, position, length);
}

void CompositionStrip::draw_with_font(const std::u16string& text, int cursor, int position,
                                      int length) {
  const std::u16string pieces[3] = {text.substr(0, position), text.substr(position, length),
                                    text.substr(position + length)};
  int x = 0, cursor_x = 0;
  for (int i = 0; i < 3; ++i) {
    if (pieces[i].empty()) continue;
    const bool clause = i == 1;
    SDL_Surface* rendered =
        TTF_RenderUNICODE_Shaded(font_, reinterpret_cast<const Uint16*>(pieces[i].c_str()),
                                 clause ? kWhite : kBlack, clause ? kBlack : kWhite);
    if (rendered == nullptr) continue;
    SDL_Rect at{static_cast<Sint16>(x), 0, 0, 0};
    SDL_BlitSurface(rendered, nullptr, strip_, &at);
    x += rendered->w;
    SDL_FreeSurface(rendered);
  }
  const std::u16string before = text.substr(0, cursor);
  int h = 0;
  if (!before.empty())
    TTF_SizeUNICODE(font_, reinterpret_cast<const Uint16*>(before.c_str()), &cursor_x, &h);
  SDL_Rect bar{static_cast<Sint16>(cursor_x), 2, 2, kHeight - 4};
  SDL_FillRect(strip_, &bar, SDL_MapRGB(strip_->format, 128, 128, 128));
}

void CompositionStrip::draw_with_glyphs(const std::u16string& text, int cursor, int position,
                                        int length) {
  // No font opens: the composition as code page 437 text in the built-in glyphs.
  font_file_.clear();
  auto* pixels = static_cast<uint32_t*>(strip_->pixels);
  const int pitch = strip_->pitch / 4;
  const std::vector<char32_t> points = code_points(text);
  for (int i = 0; i < static_cast<int>(points.size()) && (i + 1) * 8 <= kWidth; ++i) {
    const int code = unicode_to_cp437(points[i]);
    const uint8_t c = static_cast<uint8_t>(code > 0 ? code : '?');
    const bool clause = i >= position && i < position + length;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool ink = kFont8x16Rows[c * 16 + y] & (0x80 >> x);
        pixels[(y + 8) * pitch + i * 8 + x] = (ink != clause) ? 0x000000 : 0xFFFFFF;
      }
  }
  for (int y = 6; y < 26; ++y) pixels[y * pitch + std::min(cursor * 8, kWidth - 1)] = 0x808080;
}

void CompositionStrip::type_result(Keyboard& keyboard, const std::u16string& text) {
  for (char32_t c : code_points(text)) {
    keyboard.key_press_char(c);
    keyboard.key_release_char(c);
  }
}

void CompositionStrip::service(Keyboard& keyboard, bool oldest_only) {
  while (InputMethod_GetEventNumber() > 0) {
    const int message = InputMethod_GetCurrentMessage();
    const uint16_t* raw = InputMethod_GetCurrentEditingString();
    const std::u16string text = raw != nullptr ? reinterpret_cast<const char16_t*>(raw) : u"";
    if (message == INPUT_METHOD_MESSAGE_CHANGE) {
      if (!text.empty())
        state_ = kComposing;
      else if (state_ == kComposing)
        state_ = kCompositionEnded;
      draw(text, InputMethod_GetCurrentCursorPosition(),
           InputMethod_GetCurrentCompositionPosition(), InputMethod_GetCurrentCompositionLength());
    } else if (message == INPUT_METHOD_MESSAGE_RESULT) {
      type_result(keyboard, text);
      // Text committed after the composition ended: the key that ended it went to the input
      // method, so no key of the window is left to hold back.
      if (state_ == kCompositionEnded) state_ = kNotComposing;
    }
    InputMethod_MoveNextEvent();
    push_expose();
    if (oldest_only) break;
  }
}

}  // namespace aqsol
