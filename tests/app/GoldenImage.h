// Frames compared with reviewed golden images, at a quarter of their size in each direction so that
// single-pixel rasterisation differences do not count. NVESK_UPDATE_GOLDEN=1 rewrites the goldens.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace DemoTest {

// Adds a test failure when the frame (0xAARRGGBB rows) differs from tests/app/golden/<name>.png;
// the actual frame and the difference image are then written next to the test executable.
void ExpectMatchesGolden(const std::vector<DWORD>& pixels, int width, int height, const std::string& name);

}  // namespace DemoTest
