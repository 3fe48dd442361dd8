// libFuzzer target: image decoding for texture loading (PNG, BMP, JPEG and TGA, told apart by their
// bytes) on arbitrary bytes. The header read must refuse the file or describe a size within the
// limit; the decode must agree with it, or refuse the file, and give texels that match the size;
// scaling to the texture's size and the colour key must then work on them.
#include "platform/linux/d3dx9/ImageDecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// Declared sizes above this many texels are checked from the header alone: decoding them fills
// up to 16384 x 16384 texels, which would bring the run down to tens of executions a second.
// The decoder's refusal of absurd declared sizes has its own unit test.
constexpr std::uint64_t kDecodeBudget = 1u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace nvesk::d3dx9;
    const ImageDecodeResult header = ReadImageHeader(data, size);
    if (!header.ok) {
        if (header.error.empty()) std::abort();
        // What the header read refuses, the decoder refuses too.
        if (DecodeImage(data, size).ok) std::abort();
        return 0;
    }
    if (header.image.width == 0 || header.image.height == 0 || header.image.width > kMaxImageSide ||
        header.image.height > kMaxImageSide || !header.image.bgra.empty()) {
        std::abort();
    }
    if (static_cast<std::uint64_t>(header.image.width) * header.image.height > kDecodeBudget) return 0;

    const ImageDecodeResult result = DecodeImage(data, size);
    if (!result.ok) {
        if (result.error.empty()) std::abort();
        return 0;
    }
    const DecodedImage& image = result.image;
    if (image.width != header.image.width || image.height != header.image.height ||
        image.format != header.image.format || image.pixels != header.image.pixels) {
        std::abort();
    }
    if (image.bgra.size() != static_cast<std::size_t>(image.width) * image.height * 4) std::abort();
    // Keep the scaled copy small: the decoder's limits are what is under test, not the allocator.
    if (static_cast<std::uint64_t>(image.width) * image.height > (1u << 18)) return 0;
    // D3DX_DEFAULT: each side rounded up to a power of two, as the water's source is loaded.
    const std::uint32_t width = std::min<std::uint32_t>(TextureSide(0xFFFFFFFF, image.width), 2048);
    const std::uint32_t height = std::min<std::uint32_t>(TextureSide(0xFFFFFFFF, image.height), 2048);
    const std::vector<std::uint8_t> texels = PrepareTexels(image, width, height, 0xFF000000u);
    if (texels.size() != static_cast<std::size_t>(width) * height * 4) std::abort();
    return 0;
}
