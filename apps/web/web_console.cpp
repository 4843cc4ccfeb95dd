// The calculator's console in the browser page.
#include "apps/web/web_console.hpp"

#include <emscripten.h>

#include <memory>
#include <string>
#include <vector>

#include "apps/console/screen_text.hpp"
#include "console/runtime.hpp"
#include "console/runtime_host.hpp"
#include "dialogue/calculator_dialogue.hpp"
#include "frame/display.hpp"
#include "frame/frame_flags.hpp"
#include "frame/key_buffer.hpp"
#include "frame/tones.hpp"
#include "services/errors.hpp"

// The JavaScript below is kept from the C++ formatter, which would split its operators.
// clang-format off

// Plays a tone's samples (interleaved stereo, 16-bit, 22,050 frames a second) through the Web
// Audio API where the page allows sound; returns when it will have played out (ms, page clock).
EM_JS(double, aqsol_web_play, (const short* samples, int count, int rate), {
  var now = performance.now();
  var audio = Module.audioContext;
  if (!audio || audio.state != "running") return now + count / 2 / rate * 1000;
  var frames = count / 2, buffer = audio.createBuffer(2, frames, rate);
  for (var channel = 0; channel < 2; ++channel) {
    var data = buffer.getChannelData(channel);
    for (var i = 0; i < frames; ++i) data[i] = HEAP16[(samples >> 1) + 2 * i + channel] / 32768;
  }
  var source = audio.createBufferSource();
  source.buffer = buffer;
  source.connect(audio.destination);
  source.start();
  return now + frames / rate * 1000;
});

EM_JS(void, aqsol_web_error_shown, (const char* text), {
  if (Module.onRuntimeError) Module.onRuntimeError(UTF8ToString(text));
});

// clang-format on

namespace aqsol {
namespace {

// Tones through the page's audio, timed by the page's clock.
class WebToneSink final : public ToneSink {
 public:
  bool open() override { return true; }
  Handle start(const ToneSamples& samples) override {
    ends_at_ms_ = aqsol_web_play(samples.data(), static_cast<int>(samples.size()), kSampleRate);
    return ++next_;
  }
  bool finished(Handle) override { return emscripten_get_now() >= ends_at_ms_; }
  void release(Handle) override {}

 private:
  double ends_at_ms_ = 0;
  Handle next_ = 0;
};

// Thrown by stop(): it unwinds the dialogue to the console's entry.
struct ConsoleStopped {};

constexpr double kBellFrequency = 783.99;
constexpr double kBellSeconds = 0.2;

// The routine's host in the page: keys from the page's key buffer, waits that yield to the
// browser, runtime errors shown by the page as aqsol-console shows them on standard error.
class WebHost final : public RuntimeHost {
 public:
  explicit WebHost(bool muted)
      : runtime_(&flags_.event_pending, *this, ""),
        keys_(runtime_.low_memory),
        tones_(flags_, muted ? std::unique_ptr<ToneSink>(std::make_unique<MutedToneSink>())
                             : std::make_unique<WebToneSink>()) {
    runtime_.console.bell = [this] { tones_.queue_tone(kBellFrequency, kBellSeconds); };
  }

  Runtime& runtime() { return runtime_; }
  KeyBuffer& keys() { return keys_; }
  bool waiting() const { return waiting_; }

  RuntimeString* read_key() override {
    uint8_t character = 0, scan = 0;
    if (runtime_.errors.has_error() || !keys_.take(character, scan)) {
      waiting_ = true;
      return runtime_.strings.string_new(0, true);
    }
    waiting_ = false;
    RuntimeString* key = runtime_.strings.string_new(character != 0 ? 1 : 2, true);
    key->data[0] = character;
    if (character == 0) key->data[1] = scan;
    return key;
  }
  bool stop_requested() const override { return false; }
  bool event_pending() const override { return flags_.event_pending.load(); }
  void hook(int32_t line) override {
    flags_.event_pending.store(false);
    while (flags_.suspend_mask.load() != 0) yield(10);
    if (!runtime_.errors.has_error()) return;
    const uint32_t n = runtime_.errors.pending_error();
    const std::string text = error_box_caption(n) + ": " + error_box_text(n, line);
    if (is_critical_when_shown(n))
      throw CriticalError{n, error_box_text(n, line), error_box_caption(n)};
    aqsol_web_error_shown(text.c_str());
    runtime_.errors.clear();
  }
  [[noreturn]] void stop() override { throw ConsoleStopped{}; }
  void sound(double frequency, double duration) override {
    tones_.sound(runtime_.errors, frequency, duration);
  }
  void sleep_ms(int ms) override { yield(ms); }
  void wait_for_key(int ms) override { yield(ms); }

 private:
  // Lets the page run (its keys, its drawing) for about `ms` milliseconds, the tones served.
  void yield(int ms) {
    tones_.service();
    emscripten_sleep(static_cast<unsigned>(ms));
    tones_.service();
  }

  FrameFlags flags_;
  Runtime runtime_;
  KeyBuffer keys_;
  ToneQueue tones_;
  bool waiting_ = false;
};

struct PageConsole {
  std::unique_ptr<WebHost> host;
  std::string row;
  bool ended = false;
  ScreenRenderer renderer;
  std::vector<uint32_t> pixels;
};

PageConsole& page_console() {
  static PageConsole* state = new PageConsole;
  return *state;
}

}  // namespace
}  // namespace aqsol

using namespace aqsol;

extern "C" void aqsol_web_console_run(int muted) {
  PageConsole& c = page_console();
  c.host = std::make_unique<WebHost>(muted != 0);
  try {
    run_calculator_dialogue(c.host->runtime());
  } catch (const ConsoleStopped&) {
  } catch (const CriticalError& critical) {
    aqsol_web_error_shown(critical.line().c_str());
  }
  c.ended = true;
}

extern "C" int aqsol_web_console_key(int character, int scan) {
  PageConsole& c = page_console();
  return c.host && c.host->keys().put(static_cast<uint8_t>(character), static_cast<uint8_t>(scan))
             ? 1
             : 0;
}

extern "C" const char* aqsol_web_console_row(int row) {
  PageConsole& c = page_console();
  c.row = c.host ? row_text(c.host->runtime().screen, row) : std::string();
  return c.row.c_str();
}

extern "C" int aqsol_web_console_draw(void) {
  PageConsole& c = page_console();
  if (!c.host) return 0;
  const TextScreen& screen = c.host->runtime().screen;
  const int width = ScreenRenderer::page_width(screen),
            height = ScreenRenderer::page_height(screen);
  c.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  Canvas canvas{c.pixels.data(), width, height, width};
  return c.renderer.refresh(screen, canvas) ? 1 : 0;
}

extern "C" const unsigned* aqsol_web_console_pixels(void) {
  return page_console().pixels.data();
}

extern "C" int aqsol_web_console_cursor(void) {
  const PageConsole& c = page_console();
  if (!c.host) return 0;
  const TextScreen& screen = c.host->runtime().screen;
  return screen.cursor_visible() ? screen.cursor_row() * 256 + screen.cursor_column() : 0;
}

extern "C" int aqsol_web_console_waiting(void) {
  const PageConsole& c = page_console();
  return c.host && c.host->waiting() && !c.host->keys().has_pending_keys() ? 1 : 0;
}

extern "C" int aqsol_web_console_ended(void) {
  return page_console().ended ? 1 : 0;
}
