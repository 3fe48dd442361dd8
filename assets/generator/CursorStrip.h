// The mouse cursor: a strip of animation frames of a mushroom, side by side.
#pragma once

#include <cstdint>
#include <vector>

namespace AssetGen {

constexpr int kCursorFrameWidth = 66;
constexpr int kCursorFrameHeight = 70;
constexpr int kCursorFrames = 10;

// RGBA bytes (straight alpha), kCursorFrames * kCursorFrameWidth wide, kCursorFrameHeight high.
std::vector<std::uint8_t> RenderCursorStrip();

}  // namespace AssetGen
