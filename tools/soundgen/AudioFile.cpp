// AudioFile.cpp -- WAV by hand, MP3 through libmp3lame.
#include "AudioFile.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "Synth.h"

namespace soundgen {

namespace {

int16_t ToPcm(float sample) {
  return static_cast<int16_t>(std::lrint(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
}

// Interleaved 16-bit samples of the track.
std::vector<int16_t> Interleave(const TTrack& track) {
  std::vector<int16_t> pcm;
  pcm.reserve(track.Frames() * static_cast<std::size_t>(track.Channels()));
  for (std::size_t i = 0; i < track.Frames(); ++i) {
    pcm.push_back(ToPcm(track.Left()[i]));
    if (track.Channels() == 2) pcm.push_back(ToPcm(track.Right()[i]));
  }
  return pcm;
}

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void WriteBytes(const std::string& path, const void* data, std::size_t size) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!file) throw std::runtime_error("cannot write " + path);
}

struct TLameDeleter {
  void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

}  // namespace

void WriteWav(const std::string& path, const TTrack& track) {
  const std::vector<int16_t> pcm = Interleave(track);
  const auto channels = static_cast<uint32_t>(track.Channels());
  const auto dataBytes = static_cast<uint32_t>(pcm.size() * 2);
  std::string file = "RIFF";
  PutLittleEndian(file, 36 + dataBytes, 4);
  file += "WAVEfmt ";
  PutLittleEndian(file, 16, 4);
  PutLittleEndian(file, 1, 2);  // PCM
  PutLittleEndian(file, channels, 2);
  PutLittleEndian(file, kRate, 4);
  PutLittleEndian(file, kRate * channels * 2, 4);
  PutLittleEndian(file, channels * 2, 2);
  PutLittleEndian(file, 16, 2);
  file += "data";
  PutLittleEndian(file, dataBytes, 4);
  for (int16_t sample : pcm) PutLittleEndian(file, static_cast<uint16_t>(sample), 2);
  WriteBytes(path, file.data(), file.size());
}

void WriteMp3(const std::string& path, const TTrack& track, int kbps) {
  std::unique_ptr<lame_global_flags, TLameDeleter> lame(lame_init());
  if (!lame) throw std::runtime_error("lame_init failed");
  lame_set_num_channels(lame.get(), track.Channels());
  lame_set_in_samplerate(lame.get(), kRate);
  lame_set_out_samplerate(lame.get(), kRate);
  lame_set_mode(lame.get(), track.Channels() == 2 ? JOINT_STEREO : MONO);
  lame_set_VBR(lame.get(), vbr_off);
  lame_set_brate(lame.get(), kbps);
  lame_set_quality(lame.get(), 5);
  lame_set_bWriteVbrTag(lame.get(), 1);
  lame_set_write_id3tag_automatic(lame.get(), 0);
  if (lame_init_params(lame.get()) < 0) throw std::runtime_error("lame_init_params failed");

  std::vector<int16_t> pcm = Interleave(track);
  const auto frames = static_cast<int>(track.Frames());
  std::vector<unsigned char> mp3(static_cast<std::size_t>(1.25 * frames + 7200));
  int size = track.Channels() == 2
                 ? lame_encode_buffer_interleaved(lame.get(), pcm.data(), frames, mp3.data(), static_cast<int>(mp3.size()))
                 : lame_encode_buffer(lame.get(), pcm.data(), nullptr, frames, mp3.data(), static_cast<int>(mp3.size()));
  if (size < 0) throw std::runtime_error("lame_encode_buffer failed");
  const int tail = lame_encode_flush(lame.get(), mp3.data() + size, static_cast<int>(mp3.size()) - size);
  if (tail < 0) throw std::runtime_error("lame_encode_flush failed");
  size += tail;
  // The first frame was kept free for the info frame that LAME fills in now.
  std::vector<unsigned char> tag(2880);
  const std::size_t tagSize = lame_get_lametag_frame(lame.get(), tag.data(), tag.size());
  if (tagSize > 0 && tagSize <= static_cast<std::size_t>(size)) std::copy_n(tag.data(), tagSize, mp3.data());
  WriteBytes(path, mp3.data(), static_cast<std::size_t>(size));
}

}  // namespace soundgen
