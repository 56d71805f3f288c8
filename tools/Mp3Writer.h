#pragma once
// Encodes 16-bit PCM to MP3 with LAME: constant bit rate, no ID3 or
// Xing/LAME info frame, so the file is nothing but MPEG audio frames.
// Thread-safe: each call has its own encoder. Failures throw std::runtime_error.
#include <cstdint>
#include <vector>

struct Mp3Settings {
    int SampleRate = 44100;
    int Channels = 2; // 1 or 2; stereo samples are interleaved left, right
    int BitrateKbps = 128;
    int Quality = 7; // LAME's 0 (best, slowest) .. 9 (fastest)
};

std::vector<unsigned char> EncodeMp3(const std::vector<std::int16_t>& Pcm,
                                     const Mp3Settings& Settings);
