#include "renderer/Animation.h"

#include "lib/Logger.h"
#include "lib/TextFormat.h"
#include "renderer/ComHelpers.h"

#include <cstring>

namespace NVesk {
namespace NRenderer {

Timer* Animation::timer = &FrameTimer;

namespace {

void Log(const std::wstring& text) {
    NLib::Logger::Write(L"NVesk::NRenderer::Animation::Restore" + text, true);
}

}  // namespace

Animation::Animation(const AnimationDesc& desc)
    : Image(std::wstring()),
      frameWidth(desc.frameWidth),
      frameHeight(desc.frameHeight),
      frameCount(desc.frameCount),
      currentFrame(0),
      elapsed(0.0),
      frameDuration(desc.frameDuration) {
    fileName = desc.fileName;
}

Animation::~Animation() {
    Animation::Release();
}

HRESULT Animation::Draw() {
    // Without a slot or frames there is nothing to show, and no time passes.
    if (index < 0 || frames.empty()) return D3DERR_INVALIDCALL;
    Advance(timer->frameTime);
    return Image::Draw();
}

void Animation::Advance(double seconds) {
    elapsed += seconds;
    if (!(elapsed > frameDuration)) return;
    elapsed -= frameDuration;
    if (elapsed > frameDuration) elapsed = 0.0;
    ++currentFrame;
    if (currentFrame >= frameCount) currentFrame = 0;
    if (currentFrame < static_cast<std::int32_t>(frames.size())) texture = frames[currentFrame];
}

std::int32_t Animation::Restore(std::int32_t slot) {
    // Without a frame there is nothing to show: refused before anything is made.
    if (frameCount < 1) {
        Log(L" >> Bad frame count: " + NLib::Int64ToString(frameCount));
        return 5;
    }
    width = frameWidth;
    height = frameHeight;
    const std::int32_t placed = Image::Restore(slot);
    if (placed != 0) return placed;

    IDirect3DTexture9* strip = nullptr;
    const HRESULT loaded = D3DXCreateTextureFromFileExW(device, fileName.c_str(), D3DX_DEFAULT_NONPOW2,
                                                        D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                        D3DX_DEFAULT, D3DX_DEFAULT, colorKey, nullptr, nullptr, &strip);
    if (FAILED(loaded)) {
        Log(L" >> Cannot load texture: " + fileName +
            L". Function \"D3DXCreateTextureFromFile\" returned an error code: " + HexCode(loaded));
        return 3;
    }
    texture = strip;
    IDirect3DSurface9* stripSurface = nullptr;
    const HRESULT surfaced = strip->GetSurfaceLevel(0, &stripSurface);
    std::int32_t result = 4;
    if (FAILED(surfaced)) {
        stripSurface = nullptr;
        Log(L" >> Cannot get Surface from source texture. Function \"GetSurfaceLevel\" returned an error code: " +
            HexCode(surfaced));
    } else {
        result = CutFrames(stripSurface, static_cast<std::int32_t>(frameWidth), static_cast<std::int32_t>(frameHeight));
    }
    // The strip is only the source of the copies; on failure too it must not keep the device alive.
    ReleaseAndClear(stripSurface);
    ReleaseAndClear(strip);
    texture = nullptr;
    if (result != 0) return result;
    texture = frames[0];
    return 0;
}

std::int32_t Animation::CutFrames(IDirect3DSurface9* strip, std::int32_t width, std::int32_t height) {
    std::int32_t uncopied = 0;
    HRESULT firstFailure = S_OK;
    for (std::int32_t c = 0; c < frameCount; ++c) {
        IDirect3DTexture9* frame = nullptr;
        const HRESULT created = D3DXCreateTexture(device, static_cast<UINT>(width), static_cast<UINT>(height), 1,
                                                  D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &frame);
        if (FAILED(created)) {
            Log(L" >> Cannot create texture. Function \"D3DXCreateTexture\" returned an error code: " +
                NLib::Int64ToString(created));
            return 4;
        }
        IDirect3DSurface9* frameSurface = nullptr;
        const HRESULT surfaced = frame->GetSurfaceLevel(0, &frameSurface);
        if (FAILED(surfaced)) {
            Log(L" >> Cannot get Surface from destination texture. Function \"GetSurfaceLevel\" returned an error "
                L"code: " +
                HexCode(surfaced));
            frame->Release();
            return 4;
        }
        const RECT source = {width * c, 0, width * (c + 1), height};
        const HRESULT copied = device->UpdateSurface(strip, &source, frameSurface, nullptr);
        frameSurface->Release();
        // The copy's result decides nothing: the animation goes on, and a frame whose copy failed
        // shows nothing rather than whatever its texture held.
        if (FAILED(copied)) {
            if (!ClearFrame(frame, copied)) {
                frame->Release();
                return 4;
            }
            if (uncopied++ == 0) firstFailure = copied;
        }
        frames.push_back(frame);
    }
    // One line for the restore, however many frames it could not copy.
    if (uncopied != 0) {
        Log(L" >> Cannot copy " + NLib::Int64ToString(uncopied) + L" of " + NLib::Int64ToString(frameCount) +
            L" frames; they are shown transparent. Function \"UpdateSurface\" returned an error code: " +
            HexCode(firstFailure));
    }
    return 0;
}

bool Animation::ClearFrame(IDirect3DTexture9* frame, HRESULT copied) {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    HRESULT result = frame->GetLevelDesc(0, &desc);
    if (SUCCEEDED(result)) result = frame->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD);
    if (FAILED(result)) {
        // Undefined pixels must not be shown: the frame is not made.
        Log(L" >> Cannot copy a frame nor clear it. Function \"UpdateSurface\" returned an error code: " +
            HexCode(copied) + L", then \"LockRect\": " + HexCode(result));
        return false;
    }
    auto* row = static_cast<BYTE*>(locked.pBits);
    for (UINT y = 0; y < desc.Height; ++y, row += locked.Pitch)
        std::memset(row, 0, static_cast<std::size_t>(desc.Width) * 4);
    frame->UnlockRect(0);
    return true;
}

void Animation::Release() {
    Image::Release();
    for (IDirect3DTexture9* frame : frames)
        frame->Release();
    frames.clear();
}

}  // namespace NRenderer
}  // namespace NVesk
