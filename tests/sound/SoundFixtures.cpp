#include "tests/sound/SoundFixtures.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace {

// Long enough to be unique in a chirp, short against a mixing buffer.
constexpr std::size_t StartFrames = 256;

void PutLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

Pcm MakeChirp(int rate, double seconds) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    const double from = 300, to = 3000;
    Pcm pcm(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        // Starts off zero so a frame of silence is never mistaken for its start.
        const double phase =
            2 * std::numbers::pi * (from * t + (to - from) * t * t / (2 * seconds)) +
            std::numbers::pi / 4;
        pcm[2 * i] = static_cast<std::int16_t>(std::lround(12000 * std::sin(phase)));
        pcm[2 * i + 1] = static_cast<std::int16_t>(std::lround(-7000 * std::sin(phase)));
    }
    return pcm;
}

Pcm MakeSine(int rate, double seconds, double hz, double amplitude) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    Pcm pcm(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate)));
        pcm[2 * i] = v;
        pcm[2 * i + 1] = v;
    }
    return pcm;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void WriteWav(const std::filesystem::path& path, const Pcm& pcm, int rate) {
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    std::string wav = "RIFF";
    PutLE(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    PutLE(wav, 16, 4);
    PutLE(wav, 1, 2); // PCM
    PutLE(wav, 2, 2); // stereo
    PutLE(wav, static_cast<std::uint32_t>(rate), 4);
    PutLE(wav, static_cast<std::uint32_t>(rate) * 4, 4);
    PutLE(wav, 4, 2);
    PutLE(wav, 16, 2);
    wav += "data";
    PutLE(wav, dataBytes, 4);
    for (std::int16_t s : pcm)
        PutLE(wav, static_cast<std::uint16_t>(s), 2);
    WriteBytes(path, wav);
}

void WriteMp3(const std::filesystem::path& path, const Pcm& pcm, int rate) {
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame)
        throw std::runtime_error("lame_init failed");
    lame_set_in_samplerate(lame.get(), rate);
    lame_set_num_channels(lame.get(), 2);
    lame_set_brate(lame.get(), 128);
    lame_set_bWriteVbrTag(lame.get(), 0);
    if (lame_init_params(lame.get()) < 0)
        throw std::runtime_error("lame_init_params failed");

    const int frames = static_cast<int>(Frames(pcm));
    std::vector<unsigned char> mp3(static_cast<std::size_t>(frames) * 5 / 4 + 7200 * 2);
    Pcm input = pcm; // LAME takes a non-const buffer
    const int body = lame_encode_buffer_interleaved(lame.get(), input.data(), frames, mp3.data(),
                                                    static_cast<int>(mp3.size()));
    if (body < 0)
        throw std::runtime_error("lame_encode_buffer_interleaved failed");
    const int tail =
        lame_encode_flush(lame.get(), mp3.data() + body, static_cast<int>(mp3.size()) - body);
    if (tail < 0)
        throw std::runtime_error("lame_encode_flush failed");
    WriteBytes(path, std::string(mp3.begin(), mp3.begin() + body + tail));
}

Pcm ReadCapture(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Pcm pcm(bytes.size() / 4 * 2); // whole frames only
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}

std::vector<TonePlay> FindPlays(const Pcm& capture, const Pcm& tone) {
    std::vector<TonePlay> plays;
    const std::size_t frames = Frames(capture), toneFrames = Frames(tone);
    if (toneFrames < StartFrames)
        return plays;
    for (std::size_t at = 0; at + StartFrames <= frames; ++at) {
        if (!std::equal(tone.begin(), tone.begin() + 2 * StartFrames, capture.begin() + 2 * at))
            continue;
        std::size_t matched = StartFrames;
        while (matched < toneFrames && at + matched < frames &&
               capture[2 * (at + matched)] == tone[2 * matched] &&
               capture[2 * (at + matched) + 1] == tone[2 * matched + 1])
            ++matched;
        plays.push_back({at, matched});
        at += StartFrames - 1;
    }
    return plays;
}

::testing::AssertionResult PlaysTileCapture(const Pcm& capture, const Pcm& tone,
                                            const std::vector<TonePlay>& plays) {
    if (plays.empty())
        return ::testing::AssertionFailure() << "the tone never starts";
    const std::size_t frames = Frames(capture), toneFrames = Frames(tone);
    for (std::size_t i = 0; i + 1 < plays.size(); ++i) {
        const std::size_t gap = plays[i + 1].Start - plays[i].Start;
        if (plays[i].Matched < gap)
            return ::testing::AssertionFailure()
                   << "play " << i << " at frame " << plays[i].Start << " stops matching after "
                   << plays[i].Matched << " frames, the next starts after " << gap;
    }
    const TonePlay& last = plays.back();
    if (last.Matched != toneFrames)
        return ::testing::AssertionFailure()
               << "the last play at frame " << last.Start << " matches " << last.Matched << " of "
               << toneFrames << " frames (capture holds " << frames << ")";
    auto silent = [&](std::size_t from, std::size_t to) {
        return std::all_of(capture.begin() + 2 * from, capture.begin() + 2 * to,
                           [](std::int16_t s) { return s == 0; });
    };
    if (!silent(0, plays.front().Start))
        return ::testing::AssertionFailure() << "sound before the first play";
    if (!silent(last.Start + toneFrames, frames))
        return ::testing::AssertionFailure() << "sound after the last play ended";
    return ::testing::AssertionSuccess();
}

double Level(const Pcm& pcm, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = 2 * from; i < 2 * to && i < pcm.size(); ++i)
        sum += std::abs(pcm[i]);
    return sum;
}

double EnergyShareAt(const Pcm& pcm, std::size_t from, std::size_t to, int rate, double hz) {
    // Goertzel per side; the window is long enough that leakage stays small.
    double share = 0, total = 0;
    for (int side = 0; side < 2; ++side) {
        const double k = 2 * std::cos(2 * std::numbers::pi * hz / rate);
        double s1 = 0, s2 = 0, energy = 0;
        for (std::size_t i = from; i < to; ++i) {
            const double x = pcm[2 * i + side];
            energy += x * x;
            const double s0 = x + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
        // A pure sine of amplitude A over N samples gives power (A*N/2)^2 and energy A^2*N/2.
        share += 2 * power / double(to - from);
        total += energy;
    }
    return total > 0 ? share / total : 0;
}
