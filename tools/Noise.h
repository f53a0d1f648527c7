// Deterministic randomness for the data generator: a small seeded generator and
// lattice value noise, so that remaking the data gives the same bytes.
#pragma once

#include <cstdint>

namespace makedata {

// SplitMix64: tiny, fast, and the same sequence on every machine for a seed.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    float uniform();                 // [0, 1)
    float range(float lo, float hi); // [lo, hi)
    float bipolar() { return uniform() * 2.0f - 1.0f; }

private:
    std::uint64_t state;
};

// Smooth value noise in [0, 1], one lattice cell per unit.
float valueNoise(float x, float y, std::uint32_t seed);
// Sum of octaves of value noise, in [0, 1]; each octave halves the cell size.
float fbm(float x, float y, int octaves, std::uint32_t seed);

} // namespace makedata
