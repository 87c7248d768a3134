// AudioFile.cpp -- WAV by hand, MP3 through libmp3lame, Ogg Vorbis through
// libvorbisenc.
#include "AudioFile.h"

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

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

void WriteOggVorbis(const std::string& path, const TTrack& track, float quality) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, track.Channels(), kRate, quality) != 0) {
    vorbis_info_clear(&info);
    throw std::runtime_error("vorbis_encode_init_vbr failed");
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  // A fixed stream serial number: every build writes the same bytes.
  ogg_stream_state stream;
  ogg_stream_init(&stream, 0x52565431);

  std::string file;
  ogg_page page;
  auto take = [&](int (*next)(ogg_stream_state*, ogg_page*)) {
    while (next(&stream, &page) != 0) {
      file.append(reinterpret_cast<const char*>(page.header), static_cast<std::size_t>(page.header_len));
      file.append(reinterpret_cast<const char*>(page.body), static_cast<std::size_t>(page.body_len));
    }
  };
  ogg_packet identification, comments, codebooks;
  vorbis_analysis_headerout(&dsp, &comment, &identification, &comments, &codebooks);
  ogg_stream_packetin(&stream, &identification);
  ogg_stream_packetin(&stream, &comments);
  ogg_stream_packetin(&stream, &codebooks);
  // The audio starts on a page of its own, as decoders expect.
  take(ogg_stream_flush);

  // The samples go in as the encoder's floats, clamped like the PCM formats.
  constexpr std::size_t kChunk = 4096;
  for (std::size_t at = 0;; at += kChunk) {
    const std::size_t frames = std::min(kChunk, track.Frames() - std::min(at, track.Frames()));
    if (frames > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(frames));
      for (std::size_t i = 0; i < frames; ++i) {
        buffer[0][i] = std::clamp(track.Left()[at + i], -1.0f, 1.0f);
        if (track.Channels() == 2) buffer[1][i] = std::clamp(track.Right()[at + i], -1.0f, 1.0f);
      }
    }
    // Zero frames mark the end: the last page carries the exact length.
    vorbis_analysis_wrote(&dsp, static_cast<int>(frames));
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
        ogg_stream_packetin(&stream, &packet);
        take(ogg_stream_pageout);
      }
    }
    if (frames == 0) break;
  }
  take(ogg_stream_flush);
  const bool ended = ogg_page_eos(&page) != 0;

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  if (!ended) throw std::runtime_error("the Ogg stream of " + path + " has no end page");
  WriteBytes(path, file.data(), file.size());
}

}  // namespace soundgen
