#include "ImageFile.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace AssetGen {

namespace {

void Append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

std::string EncodePng(const std::vector<std::uint8_t>& rgba, int width, int height) {
    std::string bytes;
    if (stbi_write_png_to_func(Append, &bytes, width, height, 4, rgba.data(), width * 4) == 0) bytes.clear();
    return bytes;
}

std::string EncodeBmp(const std::vector<std::uint8_t>& rgb, int width, int height) {
    std::string bytes;
    if (stbi_write_bmp_to_func(Append, &bytes, width, height, 3, rgb.data()) == 0) bytes.clear();
    return bytes;
}

}  // namespace AssetGen
