// The water scene's picture: the Earth seen from space.
#pragma once

#include <cstdint>
#include <vector>

namespace AssetGen {

// RGB bytes, row by row from the top. The globe is drawn 4:3 wide-squashed so that it looks round
// once the scene stretches the square picture over an 800 x 600 screen.
std::vector<std::uint8_t> RenderEarth(int width, int height);

}  // namespace AssetGen
