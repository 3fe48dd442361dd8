#include "app/WaterTexture.h"

#include <d3dx9.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

std::uint32_t WaterTexture::dropCounter = 0;

namespace {

// Every intermediate in single precision, as the table has always been computed.
std::uint8_t RefractionFor(int difference) {
    const float t = static_cast<float>(difference) * 0.5f;
    const float a = std::atan(t);
    const float s = std::sin(a);
    const float c = s / 1.333f;
    const float r = std::asin(c);
    const float e = std::tan(r);
    return static_cast<std::uint8_t>(static_cast<int>(e * t));
}

}  // namespace

WaterTexture::WaterTexture(const std::wstring& name)
    : context(&NVesk::NRenderer::SceneContext),
      texture(nullptr),
      source(nullptr),
      fileName(name),
      size(256),
      current(static_cast<std::size_t>(size) * size, 0),
      previous(static_cast<std::size_t>(size) * size, 0) {
    for (int difference = -256; difference < 256; ++difference)
        refraction[difference + 256] = RefractionFor(difference);
}

// The textures belong to the scene's invalidate / restore protocol, not to the simulation.
WaterTexture::~WaterTexture() = default;

std::int32_t WaterTexture::Restore() {
    if (FAILED(context->device->CreateTexture(size, size, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                              &texture, nullptr))) {
        texture = nullptr;
        return 1;
    }
    if (FAILED(D3DXCreateTextureFromFileExW(context->device, fileName.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                            0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                            nullptr, nullptr, &source))) {
        source = nullptr;
        return 2;
    }
    return 0;
}

void WaterTexture::DropWhenDue() {
    const std::uint32_t count = dropCounter;
    dropCounter = count + 1;
    if (count <= 10) return;
    const int n = size;
    const int cx = std::rand() % n;
    const int cy = std::rand() % n;
    const int radius = std::rand() % 10 + 5;
    const int strength = std::rand() % 15 + 10;
    AddDrop(cx, cy, radius, strength);
    dropCounter = 0;
}

void WaterTexture::AddDrop(std::int32_t cx, std::int32_t cy, std::int32_t radius, std::int32_t strength) {
    const int n = size;
    for (int y = std::max(cy - radius, 0); y <= std::min(cy + radius, n - 1); ++y) {
        for (int x = std::max(cx - radius, 0); x <= std::min(cx + radius, n - 1); ++x) {
            const int q = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (q > radius * radius) continue;
            current[y * n + x] += static_cast<std::int32_t>(std::sqrt(static_cast<float>(q)) * strength);
        }
    }
}

void WaterTexture::Spread() {
    const int n = size;
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

std::uint8_t WaterTexture::RefractionOffset(std::int64_t difference) const {
    // The remainder in 0..511: differences beyond -256..255 wrap around the table.
    std::int64_t index = (difference + 256) % 512;
    if (index < 0) index += 512;
    return refraction[index];
}

void WaterTexture::Refract(const std::uint8_t* sourceBits, std::int32_t sourcePitch, std::int32_t sourceWidth,
                           std::int32_t sourceHeight, std::uint8_t* bits, std::int32_t pitch) const {
    const int n = size;
    // A picture smaller than the field is read clamped to its last row and column.
    const int lastColumn = std::max(std::min(sourceWidth, n) - 1, 0);
    const int lastRow = std::max(std::min(sourceHeight, n) - 1, 0);
    for (int y = 0; y < n; ++y) {
        std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = 0; x < n; ++x) {
            const std::int64_t here = current[y * n + x];
            const std::int64_t dx = x == n - 1 ? 0 : current[y * n + x + 1] - here;
            const std::int64_t dy = y == n - 1 ? 0 : current[(y + 1) * n + x] - here;
            const int ox = RefractionOffset(dx);
            const int oy = RefractionOffset(dy);
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

void WaterTexture::Exchange() {
    std::swap(current, previous);
}

IDirect3DTexture9* WaterTexture::Update() {
    // Without both textures there is nothing to show a step with: the water waits for a restore.
    if (texture == nullptr || source == nullptr) return nullptr;
    DropWhenDue();
    Spread();

    D3DSURFACE_DESC sourceDesc;
    if (FAILED(source->GetLevelDesc(0, &sourceDesc))) return nullptr;
    D3DLOCKED_RECT sourceLocked;
    if (FAILED(source->LockRect(0, &sourceLocked, nullptr, 0))) return nullptr;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        source->UnlockRect(0);
        return nullptr;
    }
    Refract(static_cast<const std::uint8_t*>(sourceLocked.pBits), sourceLocked.Pitch,
            static_cast<std::int32_t>(sourceDesc.Width), static_cast<std::int32_t>(sourceDesc.Height),
            static_cast<std::uint8_t*>(locked.pBits), locked.Pitch);
    // The output is unlocked even when the source's unlock fails, so it is never left locked.
    const bool sourceUnlocked = SUCCEEDED(source->UnlockRect(0));
    const bool unlocked = SUCCEEDED(texture->UnlockRect(0));
    if (!sourceUnlocked || !unlocked) return nullptr;
    Exchange();
    return texture;
}
