// Tones on the audio device with SDL 1.2 and SDL_mixer.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

#include <vector>

#include "frame/tones.hpp"

namespace aqsol {

// The SDL_mixer functions the tones use. The library is loaded when the first tone opens the
// device: its codecs and their dependencies (33 libraries, about 4 MB resident) are never
// mapped by a run that makes no sound.
struct MixerFunctions {
  decltype(&Mix_OpenAudio) open_audio = nullptr;
  decltype(&Mix_AllocateChannels) allocate_channels = nullptr;
  decltype(&Mix_QuickLoad_RAW) quick_load_raw = nullptr;
  decltype(&Mix_PlayChannelTimed) play_channel_timed = nullptr;
  decltype(&Mix_Volume) volume = nullptr;
  decltype(&Mix_Playing) playing = nullptr;
  decltype(&Mix_FreeChunk) free_chunk = nullptr;
  decltype(&Mix_HaltChannel) halt_channel = nullptr;
  decltype(&Mix_CloseAudio) close_audio = nullptr;
};

// Plays tones on the audio device through SDL_mixer (22,050 Hz, 16-bit stereo, 256 channels).
class SdlToneSink final : public ToneSink {
 public:
  ~SdlToneSink() override;
  bool open() override;
  Handle start(const ToneSamples& samples) override;
  bool finished(Handle handle) override;
  void release(Handle handle) override;

 private:
  bool load_mixer();

  void* library_ = nullptr;
  MixerFunctions mix_;
  bool opened_ = false;
  std::vector<Mix_Chunk*> chunks_ = std::vector<Mix_Chunk*>(256, nullptr);
};

}  // namespace aqsol
