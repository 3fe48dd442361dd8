// Image files in system memory for D3DX texture loading: PNG, BMP, JPEG and TGA decoded to
// A8R8G8B8 texels (bytes B, G, R, A), with the D3DX sizing rules and the colour key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// D3DXIMAGE_FILEFORMAT values.
enum class ImageFileFormat : std::uint32_t { Bmp = 0, Jpg = 1, Tga = 2, Png = 3 };

// The layout of the file's own texels, named as the D3DFORMAT that D3DX reports for it.
enum class FilePixels { P8, L8, X1R5G5B5, A1R5G5B5, R5G6B5, R8G8B8, X8R8G8B8, A8R8G8B8 };

struct DecodedImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ImageFileFormat format = ImageFileFormat::Bmp;
    FilePixels pixels = FilePixels::A8R8G8B8;
    bool hasAlpha = false;           // the file stores an alpha channel
    std::vector<std::uint8_t> bgra;  // width * height * 4 bytes, top row first
};

struct ImageDecodeResult {
    bool ok = false;
    DecodedImage image;
    std::string error;
};

// Larger images are refused before any texel memory is allocated.
constexpr std::uint32_t kMaxImageSide = 16384;

// The file's format, size and texel layout from its header, without decoding texels (`bgra` stays
// empty); refuses what DecodeImage would refuse before decoding, files shorter than their
// uncompressed texels included.
ImageDecodeResult ReadImageHeader(const void* data, std::size_t size);

ImageDecodeResult DecodeImage(const void* data, std::size_t size);

// The size a texture gets for a requested width or height (D3DX_DEFAULT: the image's size
// rounded up to a power of two; D3DX_DEFAULT_NONPOW2 or 0: the image's size; else as given).
std::uint32_t TextureSide(std::uint32_t requested, std::uint32_t imageSide);

// How texels are resampled to another size: None copies the overlapping corner (the rest is
// transparent black), Point takes the nearest texel, Smooth filters (triangle).
enum class ScaleFilter { None, Point, Smooth };

std::vector<std::uint8_t> ScaleTexels(const std::vector<std::uint8_t>& bgra, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t newWidth, std::uint32_t newHeight, ScaleFilter filter);

// Texels whose A8R8G8B8 value equals a nonzero colour key become transparent black; then the
// image is scaled to the given size.
std::vector<std::uint8_t> PrepareTexels(const DecodedImage& image, std::uint32_t width, std::uint32_t height,
                                        std::uint32_t colorKey, ScaleFilter filter = ScaleFilter::Smooth);

}  // namespace nvesk::d3dx9
