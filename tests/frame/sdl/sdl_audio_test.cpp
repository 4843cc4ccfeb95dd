// Tests of the tone sink with SDL's dummy audio driver: the mixer library is mapped only once
// the device is opened, and a tone plays out and is released.
#include "frame/sdl/sdl_audio.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace aqsol {
namespace {

bool mixer_is_mapped() {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str().find("libSDL_mixer") != std::string::npos;
}

TEST(ToneDevice, TheMixerIsLoadedByTheFirstToneAndATonePlaysOut) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_FALSE(mixer_is_mapped());
  SdlToneSink sink;
  ASSERT_TRUE(sink.open());
  EXPECT_TRUE(mixer_is_mapped());
  const ToneSamples tone = make_tone(440, 1);  // one tick, 1/18.2 s
  const ToneSink::Handle handle = sink.start(tone);
  ASSERT_GE(handle, 0);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!sink.finished(handle) && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(sink.finished(handle));
  sink.release(handle);
}

}  // namespace
}  // namespace aqsol
