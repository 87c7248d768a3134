// Audio.cpp -- SDL2_mixer behind the audio interface.
#include "platform/Audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <map>
#include <memory>

#include "platform/Limiter.h"

namespace platform {

namespace {

struct TChunkDeleter {
  void operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }
};
struct TMusicDeleter {
  void operator()(Mix_Music* music) const { Mix_FreeMusic(music); }
};

struct TAudioState {
  bool Open = false;
  int NextHandle = 1;
  // Decoded effects, kept for the device's lifetime so that rapid fire does
  // not decode the same file again and again.
  std::map<std::string, std::unique_ptr<Mix_Chunk, TChunkDeleter>> Chunks;
  std::map<int, int> EffectChannels;  // handle -> mixer channel
  std::unique_ptr<Mix_Music, TMusicDeleter> Music;
  int MusicHandle = 0;
  // The last step of the mix, run by the mixer's post-mix hook.
  TLimiter Limiter;
  int MixChannels = 2;
};

TAudioState& State() {
  static TAudioState state;
  return state;
}

int MixVolume(int volume) {
  if (volume < 0) volume = 0;
  if (volume > 100) volume = 100;
  return volume * MIX_MAX_VOLUME / 100;
}

// Channels whose effect has ended are forgotten; their chunk stays cached.
void ForgetFinishedEffects(TAudioState& state) {
  for (auto it = state.EffectChannels.begin(); it != state.EffectChannels.end();) {
    if (!Mix_Playing(it->second)) {
      it = state.EffectChannels.erase(it);
    } else {
      ++it;
    }
  }
}

int FreeChannel() {
  const int channels = Mix_AllocateChannels(-1);
  for (int channel = 0; channel < channels; ++channel) {
    if (!Mix_Playing(channel)) return channel;
  }
  Mix_AllocateChannels(channels * 2);
  return channels;
}

// The post-mix hook, on the audio thread: the device runs on float samples,
// so the sum of every channel and the music arrives here unclipped.
void LimitMix(void* state, Uint8* stream, int bytes) {
  auto& audio = *static_cast<TAudioState*>(state);
  const auto frames = static_cast<std::size_t>(bytes) / (sizeof(float) * static_cast<std::size_t>(audio.MixChannels));
  audio.Limiter.Process(reinterpret_cast<float*>(stream), frames, audio.MixChannels);
}

// Music is told by its content, not by the name's ending: the first track
// is Ogg Vorbis under the name settings.ini files have always given it,
// music1.wav. SDL_mixer would take a name's ".wav" for a RIFF file.
Mix_Music* LoadMusic(const std::string& path) {
  SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
  return file ? Mix_LoadMUS_RW(file, 1) : nullptr;
}

int PlayMusic(TAudioState& state, const std::string& path, bool loop, int volume) {
  std::unique_ptr<Mix_Music, TMusicDeleter> music(LoadMusic(path));
  if (!music) return 0;
  Mix_HaltMusic();
  state.Music = std::move(music);
  Mix_VolumeMusic(MixVolume(volume));
  Mix_PlayMusic(state.Music.get(), loop ? -1 : 1);
  state.MusicHandle = state.NextHandle++;
  return state.MusicHandle;
}

}  // namespace

bool OpenAudioDevice() {
  TAudioState& state = State();
  if (state.Open) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  Mix_Init(MIX_INIT_MP3 | MIX_INIT_MOD | MIX_INIT_OGG);
  // Float samples: channels add up without clipping until the limiter.
  if (Mix_OpenAudio(44100, AUDIO_F32SYS, 2, 1024) != 0) {
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  if (Mix_QuerySpec(&frequency, &format, &channels) != 0 && format == AUDIO_F32SYS) {
    state.Limiter.Reset(frequency);
    state.MixChannels = channels;
    Mix_SetPostMix(LimitMix, &state);
  }
  Mix_AllocateChannels(16);
  state.Open = true;
  return true;
}

void CloseAudioDevice() {
  TAudioState& state = State();
  if (!state.Open) return;
  Mix_SetPostMix(nullptr, nullptr);
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  state.EffectChannels.clear();
  state.Chunks.clear();
  state.Music.reset();
  state.MusicHandle = 0;
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  state.Open = false;
}

bool AudioDeviceOpen() { return State().Open; }

int PlayAudioFile(const std::string& path, bool loop, int volume) {
  TAudioState& state = State();
  if (!state.Open) return 0;
  if (loop) return PlayMusic(state, path, true, volume);

  ForgetFinishedEffects(state);
  auto cached = state.Chunks.find(path);
  if (cached == state.Chunks.end()) {
    std::unique_ptr<Mix_Chunk, TChunkDeleter> chunk(Mix_LoadWAV(path.c_str()));
    // Not a sample stream: a module file plays once on the music stream.
    if (!chunk) return PlayMusic(state, path, false, volume);
    cached = state.Chunks.emplace(path, std::move(chunk)).first;
  }
  const int channel = FreeChannel();
  Mix_Volume(channel, MixVolume(volume));
  if (Mix_PlayChannel(channel, cached->second.get(), 0) < 0) return 0;
  const int handle = state.NextHandle++;
  state.EffectChannels[handle] = channel;
  return handle;
}

void PreloadAudioFile(const std::string& path) {
  TAudioState& state = State();
  if (!state.Open || state.Chunks.count(path) != 0) return;
  std::unique_ptr<Mix_Chunk, TChunkDeleter> chunk(Mix_LoadWAV(path.c_str()));
  if (chunk) state.Chunks.emplace(path, std::move(chunk));
}

void StopAudio(int handle) {
  TAudioState& state = State();
  if (!state.Open || handle == 0) return;
  if (handle == state.MusicHandle) {
    Mix_HaltMusic();
    state.Music.reset();
    state.MusicHandle = 0;
    return;
  }
  auto it = state.EffectChannels.find(handle);
  if (it == state.EffectChannels.end()) return;
  Mix_HaltChannel(it->second);
  state.EffectChannels.erase(it);
}

void PauseAudio(bool paused) {
  if (!State().Open) return;
  if (paused) {
    Mix_Pause(-1);
    Mix_PauseMusic();
  } else {
    Mix_Resume(-1);
    Mix_ResumeMusic();
  }
}

bool AudioPaused() { return State().Open && Mix_PausedMusic() != 0; }

void SetMusicVolume(int volume) {
  TAudioState& state = State();
  if (state.Open && state.MusicHandle != 0) Mix_VolumeMusic(MixVolume(volume));
}

int MixerVolume(int handle) {
  TAudioState& state = State();
  if (!state.Open || handle == 0) return -1;
  if (handle == state.MusicHandle) return Mix_VolumeMusic(-1);
  const auto it = state.EffectChannels.find(handle);
  return it == state.EffectChannels.end() ? -1 : Mix_Volume(it->second, -1);
}

int PlayingAudioCount() {
  TAudioState& state = State();
  if (!state.Open) return 0;
  return Mix_Playing(-1) + (Mix_PlayingMusic() ? 1 : 0);
}

double AudioFileSeconds(const std::string& path, bool loop) {
  if (!State().Open) return -1;
  if (loop) {
    std::unique_ptr<Mix_Music, TMusicDeleter> music(LoadMusic(path));
    if (!music) return -1;
    return Mix_MusicDuration(music.get());
  }
  std::unique_ptr<Mix_Chunk, TChunkDeleter> chunk(Mix_LoadWAV(path.c_str()));
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  if (!chunk || !Mix_QuerySpec(&frequency, &format, &channels)) return -1;
  const double bytesPerSecond = static_cast<double>(frequency) * channels * (SDL_AUDIO_BITSIZE(format) / 8);
  return chunk->alen / bytesPerSecond;
}

}  // namespace platform
