#include "Noise.h"

#include <cmath>

namespace AssetGen {

std::uint32_t Hash(std::uint32_t value) {
    // A 32-bit integer finaliser with good avalanche (Wang / murmur style).
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    value ^= value >> 16;
    return value;
}

double Hash01(std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t seed) {
    std::uint32_t h = Hash(seed ^ 0x9E3779B9u);
    h = Hash(h ^ static_cast<std::uint32_t>(x));
    h = Hash(h ^ static_cast<std::uint32_t>(y) * 0x85EBCA6Bu);
    h = Hash(h ^ static_cast<std::uint32_t>(z) * 0xC2B2AE35u);
    return (h >> 8) * (1.0 / 16777216.0);
}

namespace {

Vec3 LatticeGradient(std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t seed) {
    // A direction from three hashes, not normalised: the spread of lengths is part of the texture.
    return Vec3 {Hash01(x, y, z, seed) * 2 - 1, Hash01(x, y, z, seed + 101) * 2 - 1,
                 Hash01(x, y, z, seed + 202) * 2 - 1};
}

double Fade(double t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

}  // namespace

double GradientNoise(Vec3 p, std::uint32_t seed) {
    const double fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
    const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy),
               iz = static_cast<std::int32_t>(fz);
    const Vec3 f {p.x - fx, p.y - fy, p.z - fz};
    double corners[2][2][2];
    for (int dz = 0; dz < 2; ++dz)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                corners[dz][dy][dx] = Dot(LatticeGradient(ix + dx, iy + dy, iz + dz, seed),
                                          f - Vec3 {double(dx), double(dy), double(dz)});
    const double u = Fade(f.x), v = Fade(f.y), w = Fade(f.z);
    const double x00 = Mix(corners[0][0][0], corners[0][0][1], u), x10 = Mix(corners[0][1][0], corners[0][1][1], u);
    const double x01 = Mix(corners[1][0][0], corners[1][0][1], u), x11 = Mix(corners[1][1][0], corners[1][1][1], u);
    return 1.6 * Mix(Mix(x00, x10, v), Mix(x01, x11, v), w);
}

double Fbm(Vec3 p, int octaves, double gain, std::uint32_t seed) {
    double sum = 0, amplitude = 1, norm = 0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * GradientNoise(p, seed + static_cast<std::uint32_t>(octave) * 7919u);
        norm += amplitude;
        amplitude *= gain;
        // A fixed rotation between octaves hides the lattice's axes.
        p = Vec3 {p.x * 1.6 + p.z * 1.2, p.y * 2.0, p.z * 1.6 - p.x * 1.2} + Vec3 {17.3, 5.1, 9.7};
    }
    return sum / norm;
}

}  // namespace AssetGen
