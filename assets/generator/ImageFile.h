// PNG and BMP encoding through stb_image_write, into memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace AssetGen {

// 8-bit RGBA rows from the top.
std::string EncodePng(const std::vector<std::uint8_t>& rgba, int width, int height);

// 24-bit BMP from 8-bit RGB rows from the top.
std::string EncodeBmp(const std::vector<std::uint8_t>& rgb, int width, int height);

}  // namespace AssetGen
