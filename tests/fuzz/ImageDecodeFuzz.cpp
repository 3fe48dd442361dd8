// libFuzzer target: image decoding for texture loading on arbitrary bytes must refuse the file or
// give texels that match the size it reports, within the size limit; scaling to the texture's size
// and the colour key must then work on them.
#include "platform/linux/d3dx9/ImageDecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace nvesk::d3dx9;
    const ImageDecodeResult result = DecodeImage(data, size);
    if (!result.ok) {
        if (result.error.empty()) std::abort();
        return 0;
    }
    const DecodedImage& image = result.image;
    if (image.width == 0 || image.height == 0 || image.width > kMaxImageSide || image.height > kMaxImageSide) {
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
