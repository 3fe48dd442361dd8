#include "ImageDecoder.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <cstring>
#include <memory>

namespace nvesk::d3dx9 {

namespace {

constexpr std::uint32_t kDefault = 0xFFFFFFFFu;         // D3DX_DEFAULT
constexpr std::uint32_t kDefaultNonPow2 = 0xFFFFFFFEu;  // D3DX_DEFAULT_NONPOW2

bool FormatOf(const unsigned char* bytes, int size, ImageFileFormat& format) {
    if (stbi_is_16_bit_from_memory(bytes, size)) return false;
    if (size >= 8 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0) {
        format = ImageFileFormat::Png;
    } else if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        format = ImageFileFormat::Bmp;
    } else if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        format = ImageFileFormat::Jpg;
    } else {
        format = ImageFileFormat::Tga;  // the one format without a signature
    }
    return true;
}

}  // namespace

ImageDecodeResult DecodeImage(const void* data, std::size_t size) {
    ImageDecodeResult result;
    if (data == nullptr || size == 0 || size > 0x7FFFFFFF) {
        result.error = "empty or oversized file";
        return result;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(bytes, length, &width, &height, &channels) ||
        !FormatOf(bytes, length, result.image.format)) {
        result.error = "not a PNG, BMP, JPEG or TGA image";
        return result;
    }
    if (width <= 0 || height <= 0 || static_cast<std::uint32_t>(width) > kMaxImageSide ||
        static_cast<std::uint32_t>(height) > kMaxImageSide) {
        result.error = "image size out of range";
        return result;
    }
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(stbi_load_from_memory(bytes, length, &width, &height, &channels, 4),
                                                   stbi_image_free);
    if (!rgba) {
        result.error = "corrupt image data";
        return result;
    }
    result.image.hasAlpha = channels == 2 || channels == 4;
    result.image.width = static_cast<std::uint32_t>(width);
    result.image.height = static_cast<std::uint32_t>(height);
    result.image.bgra.resize(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < result.image.bgra.size(); i += 4) {
        result.image.bgra[i] = rgba.get()[i + 2];
        result.image.bgra[i + 1] = rgba.get()[i + 1];
        result.image.bgra[i + 2] = rgba.get()[i];
        result.image.bgra[i + 3] = rgba.get()[i + 3];
    }
    result.ok = true;
    return result;
}

std::uint32_t TextureSide(std::uint32_t requested, std::uint32_t imageSide) {
    if (requested == kDefault) {
        std::uint32_t side = 1;
        while (side < imageSide)
            side <<= 1;
        return side;
    }
    if (requested == kDefaultNonPow2 || requested == 0) return imageSide;
    return requested;
}

std::vector<std::uint8_t> ScaleTexels(const std::vector<std::uint8_t>& bgra, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t newWidth, std::uint32_t newHeight, ScaleFilter filter) {
    if (width == newWidth && height == newHeight) return bgra;
    std::vector<std::uint8_t> scaled(static_cast<std::size_t>(newWidth) * newHeight * 4, 0);
    if (filter == ScaleFilter::Smooth) {
        stbir_resize_uint8_generic(bgra.data(), static_cast<int>(width), static_cast<int>(height), 0, scaled.data(),
                                   static_cast<int>(newWidth), static_cast<int>(newHeight), 0, 4, 3, 0,
                                   STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr);
        return scaled;
    }
    for (std::uint32_t y = 0; y < newHeight; ++y) {
        for (std::uint32_t x = 0; x < newWidth; ++x) {
            std::uint64_t sx = x;
            std::uint64_t sy = y;
            if (filter == ScaleFilter::Point) {
                sx = (static_cast<std::uint64_t>(x) * width * 2 + width) / (2ull * newWidth);
                sy = (static_cast<std::uint64_t>(y) * height * 2 + height) / (2ull * newHeight);
            } else if (x >= width || y >= height) {
                continue;
            }
            std::memcpy(&scaled[(static_cast<std::size_t>(y) * newWidth + x) * 4],
                        &bgra[(static_cast<std::size_t>(sy) * width + sx) * 4], 4);
        }
    }
    return scaled;
}

std::vector<std::uint8_t> PrepareTexels(const DecodedImage& image, std::uint32_t width, std::uint32_t height,
                                        std::uint32_t colorKey, ScaleFilter filter) {
    std::vector<std::uint8_t> source = image.bgra;
    if (colorKey != 0) {
        for (std::size_t i = 0; i < source.size(); i += 4) {
            std::uint32_t texel;
            std::memcpy(&texel, &source[i], 4);  // little-endian B, G, R, A is 0xAARRGGBB
            if (texel == colorKey) std::memset(&source[i], 0, 4);
        }
    }
    return ScaleTexels(source, image.width, image.height, width, height, filter);
}

}  // namespace nvesk::d3dx9
