// Stand-ins for the demo's asset files, written by the tests themselves: a configuration, a cursor
// strip, a picture, a mesh without normals and a lighting effect.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace DemoTest {

// config.cfg for a windowed width x height back buffer without VSync.
void WriteConfig(const std::filesystem::path& folder, std::uint32_t width, std::uint32_t height);
// mushrum.png, ziemia.bmp, skullocc.x and effect.fx.
void WriteAssets(const std::filesystem::path& folder);

// The stand-in effect's text: the mesh scene's three parameters and a default technique.
extern const char kLightingEffect[];

}  // namespace DemoTest
