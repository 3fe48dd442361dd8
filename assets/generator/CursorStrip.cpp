#include "CursorStrip.h"

#include "Geometry.h"

#include <cmath>

namespace AssetGen {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgba {
    double r, g, b, a;
};

// Paints `top` over `bottom` (straight alpha in, premultiplied arithmetic inside).
Rgba Over(Rgba top, Rgba bottom) {
    const double a = top.a + bottom.a * (1 - top.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto channel = [&](double t, double b) { return (t * top.a + b * bottom.a * (1 - top.a)) / a; };
    return {channel(top.r, bottom.r), channel(top.g, bottom.g), channel(top.b, bottom.b), a};
}

// Approximate signed distance to an axis-aligned ellipse (negative inside).
double EllipseDistance(double x, double y, double cx, double cy, double rx, double ry) {
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return (std::sqrt(dx * dx + dy * dy) - 1) * std::min(rx, ry);
}

// One frame's shapes; `phase` runs once round the cycle over the strip.
struct Mushroom {
    explicit Mushroom(double phase) {
        const double wave = std::sin(2 * kPi * phase);
        squash = 0.07 * wave;
        lift = 2.2 * std::sin(2 * kPi * phase + 0.6);
        glow = 0.55 + 0.45 * std::cos(2 * kPi * phase);
        capX = 33;
        capY = 36 - lift;
        capRx = 24 * (1 + squash);
        capRy = 21 * (1 - squash);
    }

    // The cap: the top of an ellipse whose underside bulges down a little at the middle.
    double CapDistance(double x, double y) const {
        const double dome = EllipseDistance(x, y, capX, capY, capRx, capRy);
        const double across = Clamp((x - capX) / capRx, -1.0, 1.0);
        const double underside = y - (capY + 5.5 * (1 - across * across) * (1 - squash));
        return std::max(dome, underside);
    }

    // The stem: a rounded column, slightly wider at the foot, from under the cap to the ground.
    double StemDistance(double x, double y) const {
        const double top = capY + 2, bottom = 63 - 0.4 * lift;
        const double t = Clamp((y - top) / (bottom - top), 0.0, 1.0);
        const double halfWidth = (8.0 + 2.5 * t * t) * (1 - 0.6 * squash);
        const double side = std::fabs(x - capX) - halfWidth;
        const double ends = std::max(top - y, y - bottom);
        const double corner = 3.0;
        const double qx = std::max(side + corner, 0.0), qy = std::max(ends + corner, 0.0);
        return std::sqrt(qx * qx + qy * qy) + std::min(std::max(side + corner, ends + corner), 0.0) - corner;
    }

    // White spots, placed on the dome and moving with it.
    double SpotDistance(double x, double y) const {
        static const double spots[][3] = {{0.0, -0.62, 0.20},  {-0.52, -0.30, 0.17}, {0.50, -0.34, 0.16},
                                          {-0.25, 0.08, 0.13}, {0.28, 0.02, 0.12},   {-0.80, 0.05, 0.09},
                                          {0.80, 0.0, 0.09},   {0.02, -0.20, 0.07}};
        double nearest = 1e9;
        for (const auto& spot : spots) {
            const double cx = capX + spot[0] * capRx, cy = capY + spot[1] * capRy;
            nearest = std::min(nearest, EllipseDistance(x, y, cx, cy, spot[2] * capRx, spot[2] * capRy * 0.85));
        }
        return nearest;
    }

    Rgba Shade(double x, double y) const {
        const double cap = CapDistance(x, y), stem = StemDistance(x, y);
        const double body = std::min(cap, stem);
        // Soft warm glow around the outline so the cursor stands out on dark backgrounds.
        const double outline = 1.7;
        Rgba colour {1.0, 0.93, 0.6, 0.0};
        if (body > outline) {
            colour.a = 0.5 * glow * std::exp(-(body - outline) / 3.2);
            return colour;
        }
        // Dark outline: keeps the red cap readable over fire.
        Rgba paint {0.18, 0.05, 0.05, 1.0};
        if (cap <= 0) {
            // Lit from the upper left: a bright rim to the light, darker toward the lower right.
            const double nx = (x - capX) / capRx, ny = (y - capY) / capRy;
            const double light = Clamp(0.75 - 0.55 * nx - 0.65 * ny, 0.0, 1.3);
            paint = {0.55 + 0.40 * light, 0.06 + 0.12 * light, 0.05 + 0.06 * light, 1.0};
            if (SpotDistance(x, y) <= 0) {
                const double shade = 0.78 + 0.2 * Clamp(light, 0.0, 1.0);
                paint = {shade, shade * 0.97, shade * 0.9, 1.0};
            }
            // A glossy highlight that brightens with the glow.
            const double hx = x - (capX - 0.45 * capRx), hy = y - (capY - 0.55 * capRy);
            const double highlight = std::exp(-(hx * hx + hy * hy) / 18.0) * (0.35 + 0.3 * glow);
            paint.r += (1 - paint.r) * highlight;
            paint.g += (1 - paint.g) * highlight;
            paint.b += (1 - paint.b) * highlight;
            // The gills' shadow along the underside.
            const double under = std::exp(-std::max(-cap, 0.0) / 1.6) * SmoothStep(capY - 2, capY + 4, y);
            paint = {paint.r * (1 - 0.45 * under), paint.g * (1 - 0.45 * under), paint.b * (1 - 0.45 * under), 1.0};
        } else if (stem <= 0) {
            const double across = (x - capX) / 10.0;
            const double light = Clamp(0.85 - 0.5 * across - 0.25 * across * across, 0.0, 1.0);
            const double shadow = SmoothStep(capY + 10, capY + 3, y);  // under the cap
            const double value = (0.55 + 0.45 * light) * (1 - 0.35 * shadow);
            paint = {0.98 * value, 0.93 * value, 0.82 * value, 1.0};
            // The cap's rim drawn over the stem.
            if (cap < 1.2) paint = {0.18, 0.05, 0.05, 1.0};
        }
        return Over(paint, colour);
    }

    double squash, lift, glow;
    double capX, capY, capRx, capRy;
};

}  // namespace

std::vector<std::uint8_t> RenderCursorStrip() {
    const int width = kCursorFrames * kCursorFrameWidth, height = kCursorFrameHeight;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    constexpr int kSamples = 4;  // per axis: anti-aliased edges with partial alpha
    for (int frame = 0; frame < kCursorFrames; ++frame) {
        const Mushroom mushroom(static_cast<double>(frame) / kCursorFrames);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < kCursorFrameWidth; ++x) {
                double r = 0, g = 0, b = 0, a = 0;
                for (int sy = 0; sy < kSamples; ++sy) {
                    for (int sx = 0; sx < kSamples; ++sx) {
                        const Rgba c = mushroom.Shade(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples);
                        r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
                    }
                }
                std::uint8_t* out = &rgba[(static_cast<std::size_t>(y) * width + frame * kCursorFrameWidth + x) * 4];
                // Straight alpha: the colour of the covered part, not darkened by the coverage.
                const double coverage = a / (kSamples * kSamples);
                out[0] = static_cast<std::uint8_t>(a > 0 ? std::floor(Clamp(r / a, 0.0, 1.0) * 255 + 0.5) : 0);
                out[1] = static_cast<std::uint8_t>(a > 0 ? std::floor(Clamp(g / a, 0.0, 1.0) * 255 + 0.5) : 0);
                out[2] = static_cast<std::uint8_t>(a > 0 ? std::floor(Clamp(b / a, 0.0, 1.0) * 255 + 0.5) : 0);
                out[3] = static_cast<std::uint8_t>(std::floor(coverage * 255 + 0.5));
            }
        }
    }
    return rgba;
}

}  // namespace AssetGen
