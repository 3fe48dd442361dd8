// A renderer with its window and device, as the test screen finds them, for the engine's 2D layer
// and input; image files written by the test; and a clean image box, texture cache and event
// manager afterwards, with nothing left alive on the device.
#pragma once

#include "renderer/ImageVertex.h"
#include "support/TempDir.h"

#include <d3d9.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace EngineTest {

class EngineFixture : public ::testing::Test {
protected:
    // The back buffer's size; the window is that size too.
    virtual int Width() const { return 64; }
    virtual int Height() const { return 48; }

    void SetUp() override;
    void TearDown() override;

    // Starts the renderer; done by SetUp, and again by tests that change the device's caps first.
    void StartRenderer();

    // A PNG of width x height texels (0xAARRGGBB, row by row) in the test's folder; its full name.
    std::wstring WriteImage(const std::string& name, int width, int height, const std::vector<std::uint32_t>& texels);
    // The image box's vertex buffer as it is now, read through a read-only lock.
    std::vector<NVesk::NRenderer::ImageVertex> BoxVertices();

    TestSupport::TempDir folder;
};

}  // namespace EngineTest
