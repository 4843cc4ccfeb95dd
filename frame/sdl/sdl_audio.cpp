// Tones on the audio device with SDL 1.2 and SDL_mixer.
#include "frame/sdl/sdl_audio.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace aqsol {
namespace {

constexpr const char* kMixerLibrary = "libSDL_mixer-1.2.so.0";

template <typename Function>
bool find_function(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

}  // namespace

SdlToneSink::~SdlToneSink() {
  if (opened_) {
    mix_.halt_channel(-1);
    for (Mix_Chunk*& chunk : chunks_)
      if (chunk != nullptr) mix_.free_chunk(chunk);
    mix_.close_audio();
  }
  // The library stays mapped: SDL's audio thread may have been started from it.
}

bool SdlToneSink::load_mixer() {
  if (library_ == nullptr) library_ = dlopen(kMixerLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) return false;
  return find_function(library_, "Mix_OpenAudio", mix_.open_audio) &&
         find_function(library_, "Mix_AllocateChannels", mix_.allocate_channels) &&
         find_function(library_, "Mix_QuickLoad_RAW", mix_.quick_load_raw) &&
         find_function(library_, "Mix_PlayChannelTimed", mix_.play_channel_timed) &&
         find_function(library_, "Mix_Volume", mix_.volume) &&
         find_function(library_, "Mix_Playing", mix_.playing) &&
         find_function(library_, "Mix_FreeChunk", mix_.free_chunk) &&
         find_function(library_, "Mix_HaltChannel", mix_.halt_channel) &&
         find_function(library_, "Mix_CloseAudio", mix_.close_audio);
}

bool SdlToneSink::open() {
  // The sound libraries report every device they fail to find on standard error, which belongs
  // to the program's own messages: keep them quiet while the device is looked for.
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
  bool ok = load_mixer() && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (ok && mix_.open_audio(22'050, AUDIO_S16LSB, 2, 1024) < 0) {
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
  mix_.allocate_channels(256);
  opened_ = true;
  return true;
}

ToneSink::Handle SdlToneSink::start(const ToneSamples& samples) {
  Mix_Chunk* chunk =
      mix_.quick_load_raw(reinterpret_cast<Uint8*>(const_cast<int16_t*>(samples.data())),
                          static_cast<Uint32>(samples.size() * sizeof(int16_t)));
  if (chunk == nullptr) return -1;
  const int channel = mix_.play_channel_timed(-1, chunk, 0, -1);
  if (channel < 0 || channel >= static_cast<int>(chunks_.size())) {
    mix_.free_chunk(chunk);
    return -1;
  }
  mix_.volume(channel, 128);
  chunks_[static_cast<std::size_t>(channel)] = chunk;
  return channel;
}

bool SdlToneSink::finished(Handle handle) {
  return handle < 0 || mix_.playing(handle) == 0;
}

void SdlToneSink::release(Handle handle) {
  if (handle < 0) return;
  mix_.free_chunk(chunks_[static_cast<std::size_t>(handle)]);
  chunks_[static_cast<std::size_t>(handle)] = nullptr;
}

}  // namespace aqsol
