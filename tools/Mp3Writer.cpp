#include "tools/Mp3Writer.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include <lame/lame.h>

std::vector<unsigned char> EncodeMp3(const std::vector<std::int16_t>& Pcm,
                                     const Mp3Settings& Settings) {
    if (Settings.Channels != 1 && Settings.Channels != 2)
        throw std::invalid_argument("MP3 needs one or two channels");
    if (Pcm.size() % Settings.Channels != 0)
        throw std::invalid_argument("stereo samples must come in pairs");

    std::unique_ptr<lame_global_flags, decltype(&lame_close)> Lame(lame_init(), &lame_close);
    if (!Lame)
        throw std::runtime_error("LAME could not be started");
    lame_set_num_channels(Lame.get(), Settings.Channels);
    lame_set_in_samplerate(Lame.get(), Settings.SampleRate);
    lame_set_out_samplerate(Lame.get(), Settings.SampleRate);
    lame_set_brate(Lame.get(), Settings.BitrateKbps);
    lame_set_mode(Lame.get(), Settings.Channels == 2 ? JOINT_STEREO : MONO);
    lame_set_quality(Lame.get(), Settings.Quality);
    // Plain frames only: players need no tag to find the length of a CBR file.
    lame_set_bWriteVbrTag(Lame.get(), 0);
    lame_set_write_id3tag_automatic(Lame.get(), 0);
    if (lame_init_params(Lame.get()) < 0)
        throw std::runtime_error("LAME refused the MP3 settings");

    std::vector<unsigned char> Out;
    const std::size_t Chunk = 8192; // samples per channel per call
    std::vector<unsigned char> Buffer(Chunk * 5 / 4 + 7200);
    std::vector<short> Block; // LAME takes a non-const buffer
    std::size_t Frames = Pcm.size() / Settings.Channels;
    for (std::size_t At = 0; At < Frames; At += Chunk) {
        std::size_t N = std::min(Chunk, Frames - At);
        Block.assign(Pcm.begin() + static_cast<std::ptrdiff_t>(At * Settings.Channels),
                     Pcm.begin() + static_cast<std::ptrdiff_t>((At + N) * Settings.Channels));
        int Bytes =
            Settings.Channels == 2
                ? lame_encode_buffer_interleaved(Lame.get(), Block.data(), static_cast<int>(N),
                                                 Buffer.data(), static_cast<int>(Buffer.size()))
                : lame_encode_buffer(Lame.get(), Block.data(), nullptr, static_cast<int>(N),
                                     Buffer.data(), static_cast<int>(Buffer.size()));
        if (Bytes < 0)
            throw std::runtime_error("LAME encoding failed (" + std::to_string(Bytes) + ")");
        Out.insert(Out.end(), Buffer.begin(), Buffer.begin() + Bytes);
    }
    int Bytes = lame_encode_flush(Lame.get(), Buffer.data(), static_cast<int>(Buffer.size()));
    if (Bytes < 0)
        throw std::runtime_error("LAME flush failed (" + std::to_string(Bytes) + ")");
    Out.insert(Out.end(), Buffer.begin(), Buffer.begin() + Bytes);
    return Out;
}
