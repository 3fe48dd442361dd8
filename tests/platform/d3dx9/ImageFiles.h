// Image files made by the tests: texels as 0xAARRGGBB encoded as PNG, BMP, TGA or JPEG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace D3DX9Tests {

// The format is the one `name` ends in (.png, .bmp, .tga, .jpg); 3 channels drop alpha.
std::vector<std::uint8_t> EncodeImage(const std::string& name, int width, int height, int channels,
                                      const std::vector<std::uint32_t>& texels);

}  // namespace D3DX9Tests
