#include "app/WaterTexture.h"

#include "app/SimulationKernels.h"
#include "app/SimulationLevel.h"

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
      previous(static_cast<std::size_t>(size) * size, 0),
      kernels(SimulationKernels::ConfiguredLevel()) {
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

namespace {

// Row y of `current` from rows y - 1 .. y + 1 of `previous`, clamped to the field.
void SpreadRow(WaterTexture& water, int y) {
    const int n = water.size;
    const std::int32_t* heights = water.previous.data();
    const int up = std::max(y - 1, 0);
    const int down = std::min(y + 1, n - 1);
    SimulationKernels::WaterRow(water.kernels, heights + up * n, heights + y * n, heights + down * n,
                                water.current.data() + y * n, n);
}

// A picture smaller than the field is read clamped to its last row and column.
SimulationKernels::Refraction Field(const WaterTexture& water, const std::uint8_t* sourceBits, std::int32_t sourcePitch,
                                    std::int32_t sourceWidth, std::int32_t sourceHeight) {
    const int n = water.size;
    return {water.refraction,
            water.current.data(),
            n,
            std::max(std::min(sourceWidth, n) - 1, 0),
            std::max(std::min(sourceHeight, n) - 1, 0),
            sourceBits,
            sourcePitch};
}

}  // namespace

void WaterTexture::Spread() {
    for (int y = 0; y < size; ++y)
        SpreadRow(*this, y);
}

std::uint8_t WaterTexture::RefractionOffset(std::int64_t difference) const {
    // The remainder in 0..511: differences beyond -256..255 wrap around the table.
    std::int64_t index = (difference + 256) % 512;
    if (index < 0) index += 512;
    return refraction[index];
}

void WaterTexture::Refract(const std::uint8_t* sourceBits, std::int32_t sourcePitch, std::int32_t sourceWidth,
                           std::int32_t sourceHeight, std::uint8_t* bits, std::int32_t pitch) const {
    SimulationKernels::Refract(kernels, Field(*this, sourceBits, sourcePitch, sourceWidth, sourceHeight), 0, size, bits,
                               pitch);
}

void WaterTexture::SpreadAndRefract(const std::uint8_t* sourceBits, std::int32_t sourcePitch, std::int32_t sourceWidth,
                                    std::int32_t sourceHeight, std::uint8_t* bits, std::int32_t pitch) {
    const int n = size;
    const SimulationKernels::Refraction field = Field(*this, sourceBits, sourcePitch, sourceWidth, sourceHeight);
    if (n > 0) SpreadRow(*this, 0);
    for (int y = 0; y < n; ++y) {
        if (y + 1 < n) SpreadRow(*this, y + 1);
        SimulationKernels::Refract(kernels, field, y, y + 1, bits, pitch);
    }
}

void WaterTexture::Exchange() {
    std::swap(current, previous);
}

IDirect3DTexture9* WaterTexture::Update() {
    // Without both textures there is nothing to show a step with: the water waits for a restore.
    if (texture == nullptr || source == nullptr) return nullptr;
    DropWhenDue();
    // Where nothing can be shown the heights still step.
    const auto spreadOnly = [this]() -> IDirect3DTexture9* {
        Spread();
        return nullptr;
    };
    D3DSURFACE_DESC sourceDesc;
    if (FAILED(source->GetLevelDesc(0, &sourceDesc))) return spreadOnly();
    D3DLOCKED_RECT sourceLocked;
    if (FAILED(source->LockRect(0, &sourceLocked, nullptr, 0))) return spreadOnly();
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        source->UnlockRect(0);
        return spreadOnly();
    }
    SpreadAndRefract(static_cast<const std::uint8_t*>(sourceLocked.pBits), sourceLocked.Pitch,
                     static_cast<std::int32_t>(sourceDesc.Width), static_cast<std::int32_t>(sourceDesc.Height),
                     static_cast<std::uint8_t*>(locked.pBits), locked.Pitch);
    // The output is unlocked even when the source's unlock fails, so it is never left locked.
    const bool sourceUnlocked = SUCCEEDED(source->UnlockRect(0));
    const bool unlocked = SUCCEEDED(texture->UnlockRect(0));
    if (!sourceUnlocked || !unlocked) return nullptr;
    Exchange();
    return texture;
}
