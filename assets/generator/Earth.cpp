#include "Earth.h"

#include "Geometry.h"
#include "Noise.h"

#include <cmath>

namespace AssetGen {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double r, g, b;
};

Colour operator+(Colour a, Colour b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Colour operator*(Colour a, double s) {
    return {a.r * s, a.g * s, a.b * s};
}
Colour Blend(Colour a, Colour b, double t) {
    return a * (1 - t) + b * t;
}

// Linear-light colours of the surface.
const Colour kDeepOcean {0.004, 0.018, 0.085};
const Colour kShallowOcean {0.02, 0.13, 0.26};
const Colour kForest {0.035, 0.11, 0.025};
const Colour kGrass {0.10, 0.19, 0.05};
const Colour kDesert {0.52, 0.38, 0.19};
const Colour kRock {0.20, 0.15, 0.10};
const Colour kIce {0.85, 0.88, 0.92};
const Colour kCloud {0.92, 0.93, 0.95};
const Colour kAtmosphere {0.22, 0.45, 1.0};

// The planet's surface at a point of the unit sphere (its own axes: y through the poles).
struct Surface {
    Colour colour;
    double ocean;  // 1 over water: where the sun glints
};

Surface SurfaceAt(Vec3 s) {
    // Domain-warped fractal noise gives continents with ragged coasts and inland seas.
    const Vec3 warp {Fbm(s * 1.7, 4, 0.5, 11), Fbm(s * 1.7, 4, 0.5, 23), Fbm(s * 1.7, 4, 0.5, 37)};
    const double height = Fbm(s * 1.35 + warp * 0.55, 8, 0.52, 3) + 0.02;
    const double latitude = std::asin(Clamp(s.y, -1.0, 1.0)) / (kPi / 2);  // -1 south pole .. 1 north pole
    const double polar = std::fabs(latitude) + 0.08 * Fbm(s * 6, 3, 0.5, 51);
    Surface surface;
    if (height < 0) {
        const double depth = SmoothStep(0.0, 0.16, -height);
        surface.colour = Blend(kShallowOcean, kDeepOcean, depth);
        surface.ocean = 1;
    } else {
        // Deserts around the subtropics, forests at the equator and in the temperate belts, rock up high.
        const double moisture = Fbm(s * 2.8, 5, 0.5, 71) + 0.35 * std::cos(latitude * kPi * 2.2);
        const double dry =
            SmoothStep(0.15, 0.4, -moisture + 0.2 * std::exp(-std::pow((std::fabs(latitude) - 0.3) * 5, 2)));
        Colour land = Blend(kForest, kGrass, SmoothStep(-0.1, 0.3, Fbm(s * 9, 3, 0.5, 81)));
        land = Blend(land, kDesert, dry);
        land = Blend(land, kRock, SmoothStep(0.18, 0.34, height));
        surface.colour = land * (0.85 + 0.3 * Fbm(s * 24, 2, 0.5, 91));
        surface.ocean = 0;
    }
    const double ice = SmoothStep(0.78, 0.86, polar) + SmoothStep(0.36, 0.42, height) * 0.8;
    surface.colour = Blend(surface.colour, kIce, Clamp(ice, 0.0, 1.0));
    surface.ocean *= 1 - Clamp(ice, 0.0, 1.0);
    return surface;
}

// Cloud cover in 0..1: swirled bands, densest at the equator and around the stormy sixties.
double CloudAt(Vec3 s) {
    const double latitude = std::asin(Clamp(s.y, -1.0, 1.0));
    const double swirl = 1.4 * Fbm(s * 2.0, 3, 0.5, 131);
    const Vec3 swirled {s.x * std::cos(swirl) - s.z * std::sin(swirl), s.y,
                        s.x * std::sin(swirl) + s.z * std::cos(swirl)};
    const double band =
        0.18 * std::exp(-latitude * latitude * 30) + 0.12 * std::exp(-std::pow((std::fabs(latitude) - 1.05) * 5, 2));
    const double n = Fbm(Vec3 {swirled.x * 3.2, swirled.y * 6.5, swirled.z * 3.2}, 7, 0.55, 151) + band;
    return SmoothStep(0.1, 0.45, n);
}

double ToSrgbByte(double linear) {
    const double c = Clamp(linear, 0.0, 1.0);
    const double srgb = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    return std::floor(srgb * 255 + 0.5);
}

// Stars and a faint band of the galaxy: detail in the dark for the ripples to bend.
Colour SpaceAt(int x, int y) {
    const Vec3 p {x / 40.0, y / 40.0, 0.5};
    const double band = std::exp(-std::pow((x * 0.55 - y + 40) / 90.0, 2));
    const double haze = std::max(0.0, Fbm(p, 5, 0.55, 211) + 0.25) * band;
    Colour colour = Colour {0.010, 0.006, 0.022} * haze * 2 + Colour {0.0015, 0.0015, 0.003};
    const double star = Hash01(x, y, 0, 307);
    if (star > 1 - 0.012 * (1 + 2 * band)) {
        const double brightness = std::pow(Hash01(x, y, 1, 307), 3) * 0.9 + 0.08;
        const double tint = Hash01(x, y, 2, 307);
        colour = colour + Colour {1.0 - 0.3 * tint, 0.95, 0.75 + 0.3 * tint} * brightness;
    }
    return colour;
}

}  // namespace

std::vector<std::uint8_t> RenderEarth(int width, int height) {
    // On screen the picture is 800 x 600: a 4:3 ellipse here shows as a circle there.
    const double centreX = width * 0.5, centreY = height * 0.5;
    const double radiusY = height * 0.44, radiusX = radiusY * 0.75;
    // The globe's axis is tilted towards the viewer's upper right and turned to show two continents.
    const Mat3 orientation = RotationY(2.2) * RotationX(-0.35) * RotationZ(-0.41);
    const Vec3 toSun = Normalize(Vec3 {-0.62, 0.42, -0.66});
    const Vec3 toViewer {0, 0, -1};
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    constexpr int kSamples = 3;  // per axis, for smooth edges along the limb
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Colour sum {0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double u = (x + (sx + 0.5) / kSamples - centreX) / radiusX;
                    const double v = (centreY - (y + (sy + 0.5) / kSamples)) / radiusY;
                    const double r2 = u * u + v * v;
                    Colour colour = SpaceAt(x, y);
                    if (r2 < 1) {
                        const Vec3 normal {u, v, -std::sqrt(1 - r2)};
                        const Vec3 s = normal * orientation;
                        const Surface surface = SurfaceAt(s);
                        const double light = Dot(normal, toSun);
                        const double day = SmoothStep(-0.08, 0.35, light);
                        const double cloud = CloudAt(s);
                        // Clouds cast no shadows here, but they are brighter than the ground below.
                        Colour ground = surface.colour * (0.03 + 1.1 * std::max(light, 0.0));
                        const Vec3 halfway = Normalize(toSun + toViewer);
                        const double glint = std::pow(std::max(Dot(normal, halfway), 0.0), 180) * 0.7 * surface.ocean;
                        ground = ground + Colour {1.0, 0.92, 0.75} * glint * (1 - cloud);
                        colour = Blend(ground, kCloud * (0.02 + 1.15 * std::max(light, 0.0)), cloud);
                        // A blue haze thickens towards the limb on the day side.
                        const double rim = std::pow(1 - std::fabs(normal.z), 2.5);
                        colour = colour + kAtmosphere * (rim * 0.55 * day) + Colour {0.0, 0.006, 0.015} * day;
                        // Night side: faint city lights on land.
                        const double night = 1 - SmoothStep(-0.2, 0.05, light);
                        const double city = (1 - surface.ocean) * std::pow(std::max(Fbm(s * 40, 2, 0.5, 401), 0.0), 2);
                        colour = colour + Colour {1.0, 0.7, 0.3} * (city * night * 0.25 * (1 - cloud));
                    } else {
                        // The atmosphere's glow beyond the limb, on the lit side.
                        const double r = std::sqrt(r2);
                        const Vec3 edge {u / r, v / r, 0};
                        const double lit = SmoothStep(-0.3, 0.6, Dot(edge, toSun));
                        colour = colour + kAtmosphere * (std::exp(-(r - 1) * 28) * 0.5 * lit);
                    }
                    sum = sum + colour;
                }
            }
            sum = sum * (1.0 / (kSamples * kSamples));
            std::uint8_t* out = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            out[0] = static_cast<std::uint8_t>(ToSrgbByte(sum.r));
            out[1] = static_cast<std::uint8_t>(ToSrgbByte(sum.g));
            out[2] = static_cast<std::uint8_t>(ToSrgbByte(sum.b));
        }
    }
    return rgb;
}

}  // namespace AssetGen
