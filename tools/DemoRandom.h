#pragma once
// Deterministic random numbers for the demo generator. The same seed gives
// the same show; std:: distributions differ between library versions, so
// the few distributions needed are written here.
#include <cstdint>

class DemoRandom {
public:
    explicit DemoRandom(std::uint64_t Seed) : State(Seed) {}

    // SplitMix64: small, fast and good enough for pictures and music.
    std::uint64_t Next() {
        std::uint64_t Z = (State += 0x9E3779B97F4A7C15ull);
        Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
        Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
        return Z ^ (Z >> 31);
    }
    // In [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Uniform(double Lo, double Hi) { return Lo + (Hi - Lo) * Uniform(); }
    // In [0, N); N > 0.
    int Below(int N) { return static_cast<int>(Next() % static_cast<std::uint64_t>(N)); }
    bool Chance(double P) { return Uniform() < P; }

private:
    std::uint64_t State;
};

// A seed for one independent part (a scene, a song), derived from the show's seed.
inline std::uint64_t DeriveSeed(std::uint64_t Seed, std::uint64_t Part) {
    return DemoRandom(Seed ^ (Part * 0xD1B54A32D192ED03ull)).Next();
}
