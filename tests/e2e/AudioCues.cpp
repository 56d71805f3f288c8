// audio-cues: where the show's songs start in a capture of the program's sound.
//
//   audio-cues [--with-volume] <capture.raw> <show-folder>
//
// The capture is what SDL's disk audio driver wrote while the program ran:
// signed 16-bit little-endian stereo at 44000 Hz, the mix of all it played.
// The songs <show-folder>/data/{vazu,vazu1,title,vazu2}.mp3 are decoded the
// way the sound library decodes them (SDL_mixer opened at the program's mixing
// format), so a song started on a channel at mixing volume v (1..128) shows in
// the capture as exactly (s * v) / 128 of its samples, from a mixing-buffer
// boundary on. The match is exact, sample for sample.
//
// Output, in time order, one line per start, then where the sound ends:
//   <seconds> <song>        seconds from the capture's start, e.g. "40.3827 vazu1.mp3";
//                           --with-volume appends the mixing volume (1..128)
//   end <seconds>           the last non-silent sample; "end none" when all is silent
//
// What counts as a start:
// - The song's fingerprint is its first audible stretch: 512 frames from the
//   first sample reaching 256 (longer when that much also occurs elsewhere in
//   one of the songs). Leading silence is skipped, but the time printed is that
//   of the song's first frame.
// - A start is found when the song plays unchanged, at one volume, through its
//   fingerprint. A play cut off sooner (by another play or the end of the
//   capture) leaves no start: with MP3 decoder delay that is any play shorter
//   than about 40 ms.
// - Restarts of one song less than 0.25 s apart are one cue: only the last is
//   printed. Of a burst of restarts a tick apart, which earlier ones last long
//   enough to be found depends on the mixing buffer's timing; the last one is
//   the one that plays on.
// - Anything mixed on top (a second channel) hides the starts it overlaps.
//
// Exit status: 0 done, 1 unreadable capture or song, 2 wrong arguments. Errors
// go to stderr, prefixed "audio-cues: "; nothing is printed on stdout then.
// The tool only reads its inputs, and its own audio output is SDL's dummy
// driver whatever SDL_AUDIODRIVER says, so the capture is never overwritten.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int Rate = 44000; // the program's mixing rate
constexpr int Sides = 2;    // stereo, interleaved L, R
constexpr int BufferFrames = 1024;
constexpr const char* SongNames[] = {"vazu.mp3", "vazu1.mp3", "title.mp3", "vazu2.mp3"};

// About -42 dBFS: MP3 decoder delay decodes to a few units, music is far above.
constexpr int AudibleLevel = 256;
// 11.6 ms: half a mixing buffer, far more samples than a chance match needs.
constexpr std::size_t FingerprintFrames = 512;
constexpr std::size_t RestartMergeFrames = Rate / 4;

using Samples = std::vector<std::int16_t>;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// SDL mixes S16 as (s * volume) / SDL_MIX_MAXVOLUME in int, truncating toward
// zero, onto silence; the mixer's master and chunk volumes stay at 128.
int Scaled(int sample, int volume) {
    return sample * volume / MIX_MAX_VOLUME;
}

struct ChunkDeleter {
    void operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }
};

// SDL_mixer opened as the sound library opens it, on the dummy driver.
class Decoder {
public:
    Decoder() {
        // The caller's environment may still name the disk driver and the very
        // capture we are reading.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            throw Failure(std::string("cannot start SDL audio: ") + SDL_GetError());
        Mix_Init(MIX_INIT_MP3);
        if (Mix_OpenAudioDevice(Rate, AUDIO_S16SYS, Sides, BufferFrames, nullptr, 0) != 0) {
            const std::string why = Mix_GetError();
            Mix_Quit();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            throw Failure("cannot open the mixer: " + why);
        }
    }
    ~Decoder() {
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    Samples Decode(const fs::path& file) const {
        SDL_RWops* rw = SDL_RWFromFile(file.c_str(), "rb");
        if (rw == nullptr)
            throw Failure("cannot open song " + file.string() + ": " + SDL_GetError());
        const std::unique_ptr<Mix_Chunk, ChunkDeleter> chunk(Mix_LoadWAV_RW(rw, 1));
        if (!chunk)
            throw Failure("cannot decode song " + file.string() + ": " + Mix_GetError());
        Samples pcm(chunk->alen / sizeof(std::int16_t) / Sides * Sides);
        std::memcpy(pcm.data(), chunk->abuf, pcm.size() * sizeof(std::int16_t));
        return pcm;
    }
};

struct Song {
    std::string Name;
    Samples Pcm;
    std::size_t Lead = 0;   // frames before the first audible one
    std::size_t Window = 0; // fingerprint frames from Lead on
    std::size_t Anchor = 0; // sample index of the fingerprint's loudest sample

    std::size_t Frames() const { return Pcm.size() / Sides; }
};

std::size_t FirstAudible(const Samples& pcm) {
    const auto it = std::find_if(pcm.begin(), pcm.end(),
                                 [](std::int16_t s) { return std::abs(s) >= AudibleLevel; });
    return it == pcm.end() ? std::string::npos : std::size_t(it - pcm.begin()) / Sides;
}

void SetWindow(Song& song, std::size_t window) {
    song.Window = window;
    const auto from = song.Pcm.begin() + std::ptrdiff_t(song.Lead * Sides);
    const auto to = from + std::ptrdiff_t(window * Sides);
    song.Anchor = std::size_t(
        std::max_element(from, to,
                         [](std::int16_t a, std::int16_t b) { return std::abs(a) < std::abs(b); }) -
        song.Pcm.begin());
}

// Where else than at its own start the song's fingerprint occurs, sample for
// sample, in one of the songs; null when nowhere.
const Song* Clash(const Song& song, const std::vector<Song>& songs) {
    const std::size_t anchorOffset = song.Anchor - song.Lead * Sides; // within the window
    const std::int16_t anchor = song.Pcm[song.Anchor];
    const auto window = song.Pcm.begin() + std::ptrdiff_t(song.Lead * Sides);
    for (const Song& other : songs) {
        if (other.Frames() < song.Window)
            continue;
        for (std::size_t at = 0; at + song.Window <= other.Frames(); ++at) {
            if (other.Pcm[at * Sides + anchorOffset] != anchor ||
                (&other == &song && at == song.Lead))
                continue;
            if (std::equal(window, window + std::ptrdiff_t(song.Window * Sides),
                           other.Pcm.begin() + std::ptrdiff_t(at * Sides)))
                return &other;
        }
    }
    return nullptr;
}

void ChooseFingerprints(std::vector<Song>& songs) {
    for (Song& song : songs) {
        song.Lead = FirstAudible(song.Pcm);
        if (song.Lead == std::string::npos)
            throw Failure("song " + song.Name + " holds no audible sound to look for");
        const std::size_t longest = song.Frames() - song.Lead;
        std::size_t window = std::min(FingerprintFrames, longest);
        for (;;) {
            SetWindow(song, window);
            const Song* clash = Clash(song, songs);
            if (clash == nullptr)
                break;
            if (window == longest) {
                std::fprintf(stderr, "audio-cues: warning: %s cannot be told apart from %s\n",
                             song.Name.c_str(), clash->Name.c_str());
                break;
            }
            window = std::min(window * 2, longest);
        }
    }
}

std::vector<Song> LoadSongs(const fs::path& show) {
    const Decoder decoder;
    std::vector<Song> songs;
    for (const char* name : SongNames) {
        Song song;
        song.Name = name;
        song.Pcm = decoder.Decode(show / "data" / name);
        songs.push_back(std::move(song));
    }
    ChooseFingerprints(songs);
    return songs;
}

Samples ReadCapture(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw Failure("cannot read capture " + path.string() + ": " +
                      (ec ? ec.message() : std::string("not a file")));
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw Failure("cannot read capture " + path.string() + ": " + std::strerror(errno));
    const auto bytes = static_cast<std::size_t>(in.tellg());
    std::vector<unsigned char> raw(bytes);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(bytes));
    if (!in)
        throw Failure("cannot read capture " + path.string() + ": read failed");
    const std::size_t frameBytes = Sides * sizeof(std::int16_t);
    if (bytes % frameBytes != 0)
        std::fprintf(stderr, "audio-cues: warning: ignoring %zu bytes of an unfinished frame\n",
                     bytes % frameBytes);
    Samples pcm(bytes / frameBytes * Sides);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    return pcm;
}

struct Start {
    std::size_t Frame;   // where the song's first frame is in the capture
    std::size_t Song;    // index into the songs
    int Volume;          // 1..128
    std::size_t Matched; // frames that follow the song from there
};

// Frames of the song, from `from`, that the capture at `start` follows at `volume`.
std::size_t Follows(const Samples& capture, std::size_t start, const Song& song, std::size_t from,
                    std::size_t to, int volume) {
    to = std::min(to, capture.size() / Sides - start);
    std::size_t frame = from;
    for (; frame < to; ++frame) {
        const std::size_t i = frame * Sides, c = (start + frame) * Sides;
        if (capture[c] != Scaled(song.Pcm[i], volume) ||
            capture[c + 1] != Scaled(song.Pcm[i + 1], volume))
            break;
    }
    return frame - from;
}

void FindStarts(const Samples& capture, const Song& song, std::size_t index,
                std::vector<Start>& starts) {
    // Scan for the anchor's value and check the rest where it turns up. Its
    // magnitude is at least 256, so each volume gives it a different value.
    const int anchor = song.Pcm[song.Anchor];
    std::vector<std::uint8_t> volumeOf(65536, 0);
    for (int volume = 1; volume <= MIX_MAX_VOLUME; ++volume)
        volumeOf[std::size_t(Scaled(anchor, volume) + 32768)] = std::uint8_t(volume);

    const std::size_t anchorFrame = song.Anchor / Sides, side = song.Anchor % Sides;
    const std::size_t windowEnd = song.Lead + song.Window, frames = capture.size() / Sides;
    for (std::size_t start = 0; start + windowEnd <= frames; ++start) {
        const int volume =
            volumeOf[std::size_t(capture[(start + anchorFrame) * Sides + side] + 32768)];
        if (volume == 0 ||
            Follows(capture, start, song, song.Lead, windowEnd, volume) != song.Window)
            continue;
        const std::size_t matched =
            windowEnd + Follows(capture, start, song, windowEnd, song.Frames(), volume);
        starts.push_back({start, index, volume, matched});
    }
}

std::vector<Start> Cues(const Samples& capture, const std::vector<Song>& songs) {
    std::vector<Start> found;
    for (std::size_t i = 0; i < songs.size(); ++i)
        FindStarts(capture, songs[i], i, found);
    // Two songs found at one place (only when one cannot be told apart): the
    // one followed furthest, then the first named.
    std::sort(found.begin(), found.end(), [](const Start& a, const Start& b) {
        if (a.Frame != b.Frame)
            return a.Frame < b.Frame;
        if (a.Matched != b.Matched)
            return a.Matched > b.Matched;
        return a.Song < b.Song;
    });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const Start& a, const Start& b) { return a.Frame == b.Frame; }),
                found.end());
    std::vector<Start> cues;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const bool restartedSoon = i + 1 < found.size() && found[i + 1].Song == found[i].Song &&
                                   found[i + 1].Frame - found[i].Frame < RestartMergeFrames;
        if (!restartedSoon)
            cues.push_back(found[i]);
    }
    return cues;
}

// Frame of the last non-silent sample; npos when there is none.
std::size_t LastSound(const Samples& capture) {
    const auto it =
        std::find_if(capture.rbegin(), capture.rend(), [](std::int16_t s) { return s != 0; });
    return it == capture.rend() ? std::string::npos : std::size_t(capture.rend() - it - 1) / Sides;
}

double Seconds(std::size_t frame) {
    return double(frame) / Rate;
}

int Usage() {
    std::fprintf(stderr, "usage: audio-cues [--with-volume] <capture.raw> <show-folder>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool withVolume = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--with-volume")
            withVolume = true;
        else if (arg.starts_with("-") && arg.size() > 1)
            return Usage();
        else
            paths.push_back(arg);
    }
    if (paths.size() != 2)
        return Usage();

    try {
        const Samples capture = ReadCapture(paths[0]);
        const std::vector<Song> songs = LoadSongs(paths[1]);
        for (const Start& cue : Cues(capture, songs)) {
            std::printf("%.4f %s", Seconds(cue.Frame), songs[cue.Song].Name.c_str());
            if (withVolume)
                std::printf(" %d", cue.Volume);
            std::printf("\n");
        }
        const std::size_t last = LastSound(capture);
        if (last == std::string::npos)
            std::printf("end none\n");
        else
            std::printf("end %.4f\n", Seconds(last));
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "audio-cues: %s\n", e.what());
        return 1;
    }
}
