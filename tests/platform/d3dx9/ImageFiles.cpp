#include "ImageFiles.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace D3DX9Tests {

namespace {

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

bool EndsWith(const std::string& name, const char* suffix) {
    const std::string end(suffix);
    return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::vector<std::uint8_t> EncodeImage(const std::string& name, int width, int height, int channels,
                                      const std::vector<std::uint32_t>& texels) {
    std::vector<std::uint8_t> pixels;
    for (std::uint32_t value : texels) {
        pixels.insert(pixels.end(), {std::uint8_t(value >> 16), std::uint8_t(value >> 8), std::uint8_t(value)});
        if (channels == 4) pixels.push_back(std::uint8_t(value >> 24));
    }
    std::vector<std::uint8_t> file;
    if (EndsWith(name, ".bmp")) {
        stbi_write_bmp_to_func(Append, &file, width, height, channels, pixels.data());
    } else if (EndsWith(name, ".jpg")) {
        stbi_write_jpg_to_func(Append, &file, width, height, channels, pixels.data(), 95);
    } else if (EndsWith(name, ".tga")) {
        stbi_write_tga_to_func(Append, &file, width, height, channels, pixels.data());
    } else {
        stbi_write_png_to_func(Append, &file, width, height, channels, pixels.data(), width * channels);
    }
    return file;
}

}  // namespace D3DX9Tests
