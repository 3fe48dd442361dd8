#include "renderer/Image.h"

#include "lib/Logger.h"
#include "lib/TextFormat.h"

#include <cstring>

namespace NVesk {
namespace NRenderer {

IDirect3DDevice9* Image::device = nullptr;
ID3DXEffect* Image::effect = nullptr;
ImageVertex* Image::vertexData = nullptr;
IDirect3DDevice9* Image::TextureManager::device = nullptr;
std::vector<Image::TextureEntry> Image::TextureManager::entries;

namespace {

// The unrotated quad around its centre, in strip order: top-left, top-right, bottom-left, bottom-right.
struct Corner {
    float x, y, u, v;
};
constexpr Corner kCorners[4] = {
    {-1.0f, -1.0f, 0.0f, 0.0f}, {1.0f, -1.0f, 1.0f, 0.0f}, {-1.0f, 1.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}};
constexpr float kQuadDepth = 0.5f;

}  // namespace

Image::Image(const std::wstring& fileName)
    : texture(nullptr),
      fileName(fileName),
      lastRotation(0.0f),
      lastWidth(0.0f),
      lastHeight(0.0f),
      lastX(0.0f),
      lastY(0.0f),
      rotation(0.0f),
      width(0.0f),
      height(0.0f),
      x(0.0f),
      y(0.0f),
      index(-1),
      colorKey(0),
      ownsFileTexture(!fileName.empty()) {}

Image::~Image() {
    Image::Release();
}

HRESULT Image::Draw() {
    if (index < 0) return D3DERR_INVALIDCALL;
    effect->SetTexture("g_Texture", texture);
    effect->CommitChanges();
    return device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4 * static_cast<UINT>(index), 2);
}

std::int32_t Image::Restore(std::int32_t slot) {
    if (ownsFileTexture) {
        D3DXIMAGE_INFO info;
        const std::int32_t loaded = TextureManager::LoadTexture(fileName, colorKey, info, texture);
        if (loaded != 0) return loaded;
        width = static_cast<float>(info.Width);
        height = static_cast<float>(info.Height);
    }
    index = slot;
    D3DXVECTOR3 positions[4];
    ComputePositions(positions);
    ImageVertex* quad = vertexData + 4 * index;
    for (int corner = 0; corner < 4; ++corner) {
        quad[corner] = ImageVertex {positions[corner].x, positions[corner].y, positions[corner].z, kCorners[corner].u,
                                    kCorners[corner].v};
    }
    RememberGeometry();
    return 0;
}

void Image::Release() {
    // Only an image with a slot holds a reference: a second give-back (Release, then the destructor)
    // would take another image's share of the texture.
    if (ownsFileTexture && index >= 0) TextureManager::ReleaseTexture(texture);
    index = -1;
}

void Image::UpdateVertices() {
    if (rotation == lastRotation && x == lastX && y == lastY && width == lastWidth && height == lastHeight) return;
    // Without a slot there is no quad of its own to write; the change waits for the next restore.
    if (index < 0) return;
    D3DXVECTOR3 positions[4];
    ComputePositions(positions);
    ImageVertex* quad = vertexData + 4 * index;
    for (int corner = 0; corner < 4; ++corner) {
        // Positions only: the texture coordinates stay as Restore wrote them.
        std::memcpy(&quad[corner].x, &positions[corner], 3 * sizeof(float));
    }
    RememberGeometry();
}

void Image::ComputePositions(D3DXVECTOR3 (&positions)[4]) const {
    const float halfWidth = width * 0.5f;
    const float halfHeight = height * 0.5f;
    for (int corner = 0; corner < 4; ++corner) {
        positions[corner] = D3DXVECTOR3(kCorners[corner].x * halfWidth, kCorners[corner].y * halfHeight, kQuadDepth);
    }
    if (!(rotation == 0.0f)) {
        D3DXMATRIX turn;
        D3DXMatrixRotationZ(&turn, rotation);
        for (D3DXVECTOR3& position : positions)
            D3DXVec3TransformCoord(&position, &position, &turn);
    }
    for (D3DXVECTOR3& position : positions) {
        position.x += x + halfWidth;
        position.y += y + halfHeight;
    }
}

void Image::RememberGeometry() {
    lastRotation = rotation;
    lastWidth = width;
    lastHeight = height;
    lastX = x;
    lastY = y;
}

std::int32_t Image::TextureManager::LoadTexture(const std::wstring& fileName, D3DCOLOR colorKey, D3DXIMAGE_INFO& info,
                                                IDirect3DTexture9*& texture) {
    for (TextureEntry& entry : entries) {
        if (entry.fileName == fileName && entry.colorKey == colorKey) {
            info = entry.info;
            texture = entry.texture;
            ++entry.refCount;
            return 0;
        }
    }
    IDirect3DTexture9* loaded = nullptr;
    D3DXIMAGE_INFO loadedInfo;
    const HRESULT result = D3DXCreateTextureFromFileExW(
        device, fileName.c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
        D3DX_DEFAULT, D3DX_DEFAULT, colorKey, &loadedInfo, nullptr, &loaded);
    if (FAILED(result)) {
        NLib::Logger::Write(L"NVesk::NRenderer::Image::TextureManager::LoadTexture >> Cannot load texture: " +
                                fileName + L". Function \"D3DXCreateTextureFromFile\" returned an error code: " +
                                NLib::ToHexString(static_cast<std::uint32_t>(result)),
                            true);
        return 1;
    }
    entries.push_back(TextureEntry {loaded, loadedInfo, colorKey, 1, fileName});
    info = loadedInfo;
    texture = loaded;
    return 0;
}

std::int32_t Image::TextureManager::ReleaseTexture(IDirect3DTexture9*& texture) {
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        if (entry->texture != texture) continue;
        if (--entry->refCount != 0) return 0;
        entry->texture->Release();
        entry->texture = nullptr;
        entries.erase(entry);
        return 0;
    }
    return 2;
}

}  // namespace NRenderer
}  // namespace NVesk
