// Deterministic noise from integer hashing: the same bytes on every run and every machine.
#pragma once

#include "Geometry.h"

#include <cstdint>

namespace AssetGen {

std::uint32_t Hash(std::uint32_t value);

// Uniform in [0, 1) for a lattice point and a seed.
double Hash01(std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t seed);

// Gradient noise, roughly in [-1, 1], smooth in p.
double GradientNoise(Vec3 p, std::uint32_t seed);

// Fractal sum of `octaves` gradient noises, each at twice the frequency and `gain` times the amplitude.
double Fbm(Vec3 p, int octaves, double gain, std::uint32_t seed);

}  // namespace AssetGen
