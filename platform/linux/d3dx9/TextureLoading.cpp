// D3DXCreateTexture, D3DXCreateCubeTexture and the loading of PNG, BMP, JPEG and TGA files into Direct3D textures.
#include "ImageDecoder.h"
#include "WideFile.h"
#include "com/Diagnostics.h"
#include "com/Object.h"

#include <d3dx9.h>

#include <algorithm>
#include <cstring>

namespace nvesk::d3dx9 {

namespace {

UINT FullChain(UINT width, UINT height) {
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        ++levels;
    }
    return levels;
}

// A side as D3DXCreateTexture reads it: 0 is one texel, D3DX_DEFAULT 256.
UINT RequestedSide(UINT requested) {
    return requested == 0 ? 1u : requested == D3DX_DEFAULT ? 256u : requested;
}

UINT Levels(UINT requested, UINT width, UINT height) {
    const UINT full = FullChain(width, height);
    if (requested == 0 || requested == D3DX_DEFAULT) return full;
    if (requested == D3DX_FROM_FILE) return 1;  // the image files read here hold one level
    return std::min(requested, full);
}

ScaleFilter FilterOf(DWORD filter) {
    switch (filter == D3DX_DEFAULT ? D3DX_FILTER_TRIANGLE : filter & 0xFF) {
    case D3DX_FILTER_NONE:
        return ScaleFilter::None;
    case D3DX_FILTER_POINT:
        return ScaleFilter::Point;
    default:
        return ScaleFilter::Smooth;
    }
}

// Writes each level's texels (B, G, R, A) into a lockable texture.
HRESULT FillLevels(IDirect3DTexture9* texture, const std::vector<std::vector<std::uint8_t>>& levels, bool opaque) {
    for (UINT level = 0; level < levels.size(); ++level) {
        D3DSURFACE_DESC desc;
        D3DLOCKED_RECT locked;
        HRESULT result = texture->GetLevelDesc(level, &desc);
        if (SUCCEEDED(result)) result = texture->LockRect(level, &locked, nullptr, 0);
        if (FAILED(result)) return result;
        for (UINT y = 0; y < desc.Height; ++y) {
            BYTE* row = static_cast<BYTE*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch;
            std::memcpy(row, levels[level].data() + static_cast<std::size_t>(y) * desc.Width * 4, desc.Width * 4u);
            if (opaque) {
                for (UINT x = 0; x < desc.Width; ++x)
                    row[x * 4 + 3] = 0xFF;
            }
        }
        result = texture->UnlockRect(level);
        if (FAILED(result)) return result;
    }
    return D3D_OK;
}

// The texture format a file's texels load into: the 32-bit format that keeps its alpha, if any.
D3DFORMAT FileFormat(const DecodedImage& image) {
    return image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

// The format D3DX reports for the file's own texels.
D3DFORMAT ReportedFormat(FilePixels pixels) {
    static const D3DFORMAT kFormats[] = {D3DFMT_P8,     D3DFMT_L8,     D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                                         D3DFMT_R5G6B5, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
    return kFormats[static_cast<int>(pixels)];  // in FilePixels order
}

void Describe(const DecodedImage& image, D3DXIMAGE_INFO* info) {
    info->Width = image.width;
    info->Height = image.height;
    info->Depth = 1;
    info->MipLevels = 1;
    info->Format = ReportedFormat(image.pixels);
    info->ResourceType = D3DRTYPE_TEXTURE;
    info->ImageFileFormat = static_cast<D3DXIMAGE_FILEFORMAT>(image.format);
}

bool Decode(LPCWSTR file, DecodedImage& image) {
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(file, bytes)) return false;
    ImageDecodeResult decoded = DecodeImage(bytes.data(), bytes.size());
    if (!decoded.ok) return false;
    image = std::move(decoded.image);
    return true;
}

}  // namespace

}  // namespace nvesk::d3dx9

using namespace nvesk::d3dx9;
using nvesk::com::Reject;

extern "C" HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9 pDevice, UINT Width, UINT Height, UINT MipLevels,
                                            DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                            LPDIRECT3DTEXTURE9* ppTexture) {
    if (ppTexture != nullptr) *ppTexture = nullptr;
    NVESK_ENTER_FUNCTION("D3DXCreateTexture");
    if (pDevice == nullptr || ppTexture == nullptr) return Reject("pDevice or ppTexture is null");
    const UINT width = RequestedSide(Width);
    const UINT height = RequestedSide(Height);
    if (width > kMaxImageSide || height > kMaxImageSide) {
        return Reject("%u x %u is larger than %u texels a side", width, height, kMaxImageSide);
    }
    const D3DFORMAT format = Format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : Format;
    return pDevice->CreateTexture(width, height, Levels(MipLevels, width, height), Usage, format, Pool, ppTexture,
                                  nullptr);
}

extern "C" HRESULT WINAPI D3DXCreateCubeTexture(LPDIRECT3DDEVICE9 pDevice, UINT Size, UINT MipLevels, DWORD Usage,
                                                D3DFORMAT Format, D3DPOOL Pool, LPDIRECT3DCUBETEXTURE9* ppCubeTexture) {
    if (ppCubeTexture != nullptr) *ppCubeTexture = nullptr;
    NVESK_ENTER_FUNCTION("D3DXCreateCubeTexture");
    if (pDevice == nullptr || ppCubeTexture == nullptr) return Reject("pDevice or ppCubeTexture is null");
    const UINT size = RequestedSide(Size);
    if (size > kMaxImageSide) return Reject("%u is larger than %u texels a side", size, kMaxImageSide);
    const D3DFORMAT format = Format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : Format;
    return pDevice->CreateCubeTexture(size, Levels(MipLevels, size, size), Usage, format, Pool, ppCubeTexture, nullptr);
}

extern "C" HRESULT WINAPI D3DXGetImageInfoFromFileW(LPCWSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo) {
    NVESK_ENTER_FUNCTION("D3DXGetImageInfoFromFileW");
    if (pSrcFile == nullptr || pSrcInfo == nullptr) return Reject("pSrcFile or pSrcInfo is null");
    DecodedImage image;
    if (!Decode(pSrcFile, image)) return D3DXERR_INVALIDDATA;
    Describe(image, pSrcInfo);
    return D3D_OK;
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Width,
                                                       UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                                       D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                       D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY*,
                                                       LPDIRECT3DTEXTURE9* ppTexture) {
    if (ppTexture != nullptr) *ppTexture = nullptr;
    NVESK_ENTER_FUNCTION("D3DXCreateTextureFromFileExW");
    if (pDevice == nullptr || pSrcFile == nullptr || ppTexture == nullptr) {
        return Reject("pDevice, pSrcFile or ppTexture is null");
    }
    DecodedImage image;
    if (!Decode(pSrcFile, image)) return D3DXERR_INVALIDDATA;
    const UINT width = TextureSide(Width == D3DX_FROM_FILE ? 0 : Width, image.width);
    const UINT height = TextureSide(Height == D3DX_FROM_FILE ? 0 : Height, image.height);
    if (width > kMaxImageSide || height > kMaxImageSide) {
        return Reject("%u x %u is larger than %u texels a side", width, height, kMaxImageSide);
    }
    const D3DFORMAT format = Format == D3DFMT_UNKNOWN || Format == D3DFMT_FROM_FILE ? FileFormat(image) : Format;
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;

    // Level 0 from the file, each further level from the one above it.
    std::vector<std::vector<std::uint8_t>> levels;
    levels.push_back(PrepareTexels(image, width, height, ColorKey, FilterOf(Filter)));
    const UINT levelCount = Levels(MipLevels, width, height);
    for (UINT level = 1; level < levelCount; ++level) {
        const UINT w = std::max(1u, width >> (level - 1));
        const UINT h = std::max(1u, height >> (level - 1));
        levels.push_back(ScaleTexels(levels.back(), w, h, std::max(1u, w / 2), std::max(1u, h / 2),
                                     MipFilter == D3DX_DEFAULT ? ScaleFilter::Smooth : FilterOf(MipFilter)));
    }

    IDirect3DTexture9* texture = nullptr;
    HRESULT result = pDevice->CreateTexture(width, height, levelCount, Usage, format, Pool, &texture, nullptr);
    if (FAILED(result)) return result;
    const bool opaque = format == D3DFMT_X8R8G8B8;
    if (Pool == D3DPOOL_DEFAULT && (Usage & D3DUSAGE_DYNAMIC) == 0) {
        // Video memory cannot be locked: fill a system-memory copy and send it over.
        IDirect3DTexture9* staging = nullptr;
        result = pDevice->CreateTexture(width, height, levelCount, 0, format, D3DPOOL_SYSTEMMEM, &staging, nullptr);
        if (SUCCEEDED(result)) result = FillLevels(staging, levels, opaque);
        if (SUCCEEDED(result)) result = pDevice->UpdateTexture(staging, texture);
        if (staging != nullptr) staging->Release();
    } else {
        result = FillLevels(texture, levels, opaque);
    }
    if (FAILED(result)) {
        texture->Release();
        return result;
    }
    if (pSrcInfo != nullptr) Describe(image, pSrcInfo);
    *ppTexture = texture;
    return D3D_OK;
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                                     LPDIRECT3DTEXTURE9* ppTexture) {
    return D3DXCreateTextureFromFileExW(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, ppTexture);
}
