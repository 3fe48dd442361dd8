#include "app/SimulationReference.h"

#include <algorithm>
#include <cstring>

namespace SimulationReference {

void FireSpread(FireTexture& fire) {
    const int n = fire.size;
    const std::vector<std::uint8_t>& current = fire.current;
    const auto cell = [n, &current](int x, int y) { return current[y * n + x]; };
    for (int y = 0; y < n; ++y) {
        const int up = y > 0 ? y - 1 : 0;
        const int down = y < n - 1 ? y + 1 : n - 1;
        for (int x = 0; x < n; ++x) {
            const int left = x > 0 ? x - 1 : n - 1;
            const int right = x < n - 1 ? x + 1 : 0;
            int v = (cell(x, down) + cell(x, up) + cell(left, y) + cell(right, y)) / 4;
            v -= fire.cooling;
            if (v < 0) v = 0;
            fire.next[up * n + x] = static_cast<std::uint8_t>(v);
        }
    }
    fire.Stir();
}

void FireWritePixels(const FireTexture& fire, std::uint8_t* bits, std::int32_t pitch) {
    const int n = fire.size;
    for (int y = 0; y < n; ++y) {
        std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = 0; x < n; ++x)
            std::memcpy(row + 4 * x, fire.palette[fire.next[y * n + x]], 4);
    }
}

void WaterSpread(WaterTexture& water) {
    const int n = water.size;
    const std::vector<std::int32_t>& previous = water.previous;
    std::vector<std::int32_t>& current = water.current;
    // The damping divisor is the single-precision 1.05; the division itself is in double precision.
    const double damping = static_cast<double>(1.05f);
    for (int y = 0; y < n; ++y) {
        const int up = std::max(y - 1, 0);
        const int down = std::min(y + 1, n - 1);
        for (int x = 0; x < n; ++x) {
            const int left = std::max(x - 1, 0);
            const int right = std::min(x + 1, n - 1);
            const std::int32_t sum =
                previous[down * n + x] + previous[up * n + x] + previous[y * n + right] + previous[y * n + left];
            const std::int32_t v = sum / 2 - current[y * n + x];
            current[y * n + x] = static_cast<std::int32_t>(v / damping);
        }
    }
}

void WaterRefract(const WaterTexture& water, const std::uint8_t* sourceBits, std::int32_t sourcePitch,
                  std::int32_t sourceWidth, std::int32_t sourceHeight, std::uint8_t* bits, std::int32_t pitch) {
    const int n = water.size;
    const std::vector<std::int32_t>& current = water.current;
    // A picture smaller than the field is read clamped to its last row and column.
    const int lastColumn = std::max(std::min(sourceWidth, n) - 1, 0);
    const int lastRow = std::max(std::min(sourceHeight, n) - 1, 0);
    for (int y = 0; y < n; ++y) {
        std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = 0; x < n; ++x) {
            const std::int64_t here = current[y * n + x];
            const std::int64_t dx = x == n - 1 ? 0 : current[y * n + x + 1] - here;
            const std::int64_t dy = y == n - 1 ? 0 : current[(y + 1) * n + x] - here;
            const int ox = water.RefractionOffset(dx);
            const int oy = water.RefractionOffset(dy);
            const int sx = dx < 0 ? x - ox : x + ox;
            const int sy = dy < 0 ? y - oy : y + oy;
            const std::uint8_t* pixel = sourceBits;
            if (sx >= 0 && sx < n && sy >= 0 && sy < n) {
                pixel = sourceBits + static_cast<std::ptrdiff_t>(std::min(sy, lastRow)) * sourcePitch +
                        4 * std::min(sx, lastColumn);
            }
            std::memcpy(row + 4 * x, pixel, 4);
        }
    }
}

}  // namespace SimulationReference
