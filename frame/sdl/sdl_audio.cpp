// Tones on the audio device with SDL 1.2 and SDL_mixer.
#include "frame/sdl/sdl_audio.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace aqsol {

SdlToneSink::~SdlToneSink() {
  if (!opened_) return;
  Mix_HaltChannel(-1);
  for (Mix_Chunk*& chunk : chunks_)
    if (chunk != nullptr) Mix_FreeChunk(chunk);
  Mix_CloseAudio();
}

bool SdlToneSink::open() {
  // The sound libraries report every device they fail to find on standard error, which belongs
  // to the program's own messages: keep them quiet while the device is looked for.
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
  bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (ok && Mix_OpenAudio(22'050, AUDIO_S16LSB, 2, 1024) < 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    ok = false;
  }
  std::fflush(stderr);
  if (saved >= 0) {
    dup2(saved, STDERR_FILENO);
    close(saved);
  }
  if (null >= 0) close(null);
  if (!ok) return false;
  Mix_AllocateChannels(256);
  opened_ = true;
  return true;
}

ToneSink::Handle SdlToneSink::start(const ToneSamples& samples) {
  Mix_Chunk* chunk =
      Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(const_cast<int16_t*>(samples.data())),
                        static_cast<Uint32>(samples.size() * sizeof(int16_t)));
  if (chunk == nullptr) return -1;
  const int channel = Mix_PlayChannelTimed(-1, chunk, 0, -1);
  if (channel < 0 || channel >= static_cast<int>(chunks_.size())) {
    Mix_FreeChunk(chunk);
    return -1;
  }
  Mix_Volume(channel, 128);
  chunks_[static_cast<std::size_t>(channel)] = chunk;
  return channel;
}

bool SdlToneSink::finished(Handle handle) {
  return handle < 0 || Mix_Playing(handle) == 0;
}

void SdlToneSink::release(Handle handle) {
  if (handle < 0) return;
  Mix_FreeChunk(chunks_[static_cast<std::size_t>(handle)]);
  chunks_[static_cast<std::size_t>(handle)] = nullptr;
}

}  // namespace aqsol
