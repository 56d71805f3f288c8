#include "sound/FSound.h"

#include "platform/rtl/Paths.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

namespace {

struct ChunkDeleter {
    void operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }
};
using ChunkPtr = std::unique_ptr<Mix_Chunk, ChunkDeleter>;

constexpr int OutputChannels = 2;
// About 23 ms at 44 kHz: a cue started by a 20 ms tick is heard within one tick.
constexpr int OutputFrames = 1024;
// The show needs 2; the cap only keeps a silly request from allocating much.
constexpr int MaxMixChannels = 1024;
constexpr int NoPendingVolume = -1;

// Volume changes wait here for the audio thread: SDL_mixer writes a channel's
// volume without its lock, so only its mixing callback may write it.
struct PendingVolumes {
    explicit PendingVolumes(int channels)
        : Count(channels), Volume(std::make_unique<std::atomic<int>[]>(channels)) {
        for (int channel = 0; channel < Count; ++channel)
            Volume[channel] = NoPendingVolume;
    }
    const int Count;
    const std::unique_ptr<std::atomic<int>[]> Volume;
};

// Runs on the audio thread under SDL_mixer's lock, before the channels are mixed.
// The stream is already silence and we play no music, so it stays untouched.
void SDLCALL ApplyPendingVolumes(void* udata, Uint8*, int) {
    auto& pending = *static_cast<PendingVolumes*>(udata);
    for (int channel = 0; channel < pending.Count; ++channel) {
        if (pending.Volume[channel].load(std::memory_order_relaxed) == NoPendingVolume)
            continue;
        const int volume = pending.Volume[channel].exchange(NoPendingVolume);
        if (volume != NoPendingVolume)
            Mix_Volume(channel, volume);
    }
}

void ShutDownOutput() {
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

struct SoundState {
    bool Open = false;
    int Channels = 0;
    std::unique_ptr<PendingVolumes> Pending;
    std::map<std::uintptr_t, ChunkPtr> Samples;

    void Close() {
        if (!Open)
            return;
        Open = false;
        Mix_HaltChannel(-1);
        Samples.clear();
        Mix_HookMusic(nullptr, nullptr);
        ShutDownOutput();
        Pending.reset();
        Channels = 0;
    }
    // A program leaving without FSOUND_Close must not leave the audio thread
    // mixing with freed state.
    ~SoundState() { Close(); }
};

SoundState Sound;
// Never reused, not even across sessions, so an old handle cannot hit a new sample.
std::uintptr_t NextHandle = 1;

bool ValidChannel(int channel) {
    return Sound.Open && channel >= 0 && channel < Sound.Channels;
}

Mix_Chunk* FindSample(FSOUND_SAMPLE* sample) {
    const auto it = Sound.Samples.find(reinterpret_cast<std::uintptr_t>(sample));
    return it == Sound.Samples.end() ? nullptr : it->second.get();
}

// 0..255 onto SDL_mixer's 0..128, rounded to nearest.
int MixVolume(int volume) {
    return (volume * MIX_MAX_VOLUME + 127) / 255;
}

} // namespace

bool FSOUND_Init(int MixRate, int MaxChannels, unsigned Flags) {
    if (Sound.Open)
        return false;
    if (Flags != 0 || MixRate <= 0 || MaxChannels < 1 || MaxChannels > MaxMixChannels)
        return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    // Loads the MP3 decoder up front; without it MP3 files simply fail to load.
    Mix_Init(MIX_INIT_MP3);
    // No changes allowed: we mix at exactly the asked rate, SDL converts for the device.
    if (Mix_OpenAudioDevice(MixRate, AUDIO_S16SYS, OutputChannels, OutputFrames, nullptr, 0) != 0) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    const int channels = std::max(MaxChannels, 2);
    if (Mix_AllocateChannels(channels) != channels) {
        ShutDownOutput();
        return false;
    }
    Sound.Pending = std::make_unique<PendingVolumes>(channels);
    Sound.Channels = channels;
    Mix_HookMusic(ApplyPendingVolumes, Sound.Pending.get());
    Sound.Open = true;
    return true;
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int Index, const char* Name, unsigned Mode, int Offset) {
    if (!Sound.Open || Index != FSOUND_FREE || Name == nullptr || (Mode & ~FSOUND_2D) != 0 ||
        Offset != 0)
        return nullptr;
    SDL_RWops* file = SDL_RWFromFile(NativePath(Name).c_str(), "rb");
    if (file == nullptr)
        return nullptr;
    ChunkPtr chunk(Mix_LoadWAV_RW(file, 1));
    if (!chunk || chunk->alen == 0)
        return nullptr;
    const std::uintptr_t handle = NextHandle++;
    Sound.Samples.emplace(handle, std::move(chunk));
    return reinterpret_cast<FSOUND_SAMPLE*>(handle);
}

int FSOUND_PlaySound(int Channel, FSOUND_SAMPLE* Sample) {
    Mix_Chunk* chunk = FindSample(Sample);
    if (chunk == nullptr || !(Channel == FSOUND_FREE || ValidChannel(Channel)))
        return -1;
    // Replaces whatever the channel plays and starts from the first frame, no loop.
    return Mix_PlayChannel(Channel, chunk, 0);
}

bool FSOUND_SetVolume(int Channel, int Volume) {
    if (!ValidChannel(Channel) || Volume < 0 || Volume > 255)
        return false;
    Sound.Pending->Volume[Channel] = MixVolume(Volume);
    return true;
}

void FSOUND_Close() {
    Sound.Close();
}
