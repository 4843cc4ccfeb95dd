// Tones on the audio device with SDL 1.2 and SDL_mixer.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

#include <vector>

#include "frame/tones.hpp"

namespace aqsol {

// Plays tones on the audio device through SDL_mixer (22,050 Hz, 16-bit stereo, 256 channels).
class SdlToneSink final : public ToneSink {
 public:
  ~SdlToneSink() override;
  bool open() override;
  Handle start(const ToneSamples& samples) override;
  bool finished(Handle handle) override;
  void release(Handle handle) override;

 private:
  bool opened_ = false;
  std::vector<Mix_Chunk*> chunks_ = std::vector<Mix_Chunk*>(256, nullptr);
};

}  // namespace aqsol
