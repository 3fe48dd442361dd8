#include "GoldenImage.h"

#include "../platform/d3dx9/ImageFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

// The golden files are read with stb_image itself, not with the platform's texture loader under test.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace DemoTest {
namespace {

constexpr int kScale = 4;
constexpr int kChannelTolerance = 8;
constexpr double kWrongShare = 0.01;

std::vector<std::uint32_t> Reduced(const std::vector<DWORD>& pixels, int width, int height) {
    const int w = width / kScale;
    const int h = height / kScale;
    std::vector<std::uint32_t> reduced(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t sums[3] = {0, 0, 0};
            for (int dy = 0; dy < kScale; ++dy) {
                for (int dx = 0; dx < kScale; ++dx) {
                    const DWORD pixel = pixels[static_cast<std::size_t>(y * kScale + dy) * width + x * kScale + dx];
                    for (int channel = 0; channel < 3; ++channel)
                        sums[channel] += (pixel >> (8 * channel)) & 0xFF;
                }
            }
            std::uint32_t value = 0xFF000000u;
            for (int channel = 0; channel < 3; ++channel)
                value |= (sums[channel] / (kScale * kScale)) << (8 * channel);
            reduced[static_cast<std::size_t>(y) * w + x] = value;
        }
    }
    return reduced;
}

void WritePng(const std::filesystem::path& file, const std::vector<std::uint32_t>& pixels, int width, int height) {
    TestSupport::WriteBytes(file, D3DX9Tests::EncodeImage("frame.png", width, height, 3, pixels));
}

}  // namespace

void ExpectMatchesGolden(const std::vector<DWORD>& pixels, int width, int height, const std::string& name) {
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(width) * height);
    const std::vector<std::uint32_t> reduced = Reduced(pixels, width, height);
    const int w = width / kScale;
    const int h = height / kScale;
    const std::filesystem::path golden = std::filesystem::path(DEMO_TEST_DATA_DIR) / "golden" / (name + ".png");
    const char* update = std::getenv("NVESK_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::filesystem::create_directories(golden.parent_path());
        WritePng(golden, reduced, w, h);
        return;
    }
    const std::vector<std::uint8_t> bytes = TestSupport::ReadBytes(golden);
    int goldenWidth = 0;
    int goldenHeight = 0;
    int channels = 0;
    const std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &goldenWidth, &goldenHeight, &channels, 4),
        stbi_image_free);
    ASSERT_NE(rgba, nullptr) << "cannot read " << golden;
    ASSERT_EQ(goldenWidth, w);
    ASSERT_EQ(goldenHeight, h);

    std::vector<std::uint32_t> difference(reduced.size());
    int wrong = 0;
    for (std::size_t i = 0; i < reduced.size(); ++i) {
        int worst = 0;
        std::uint32_t diff = 0xFF000000u;
        for (int channel = 0; channel < 3; ++channel) {
            const int actual = static_cast<int>((reduced[i] >> (8 * channel)) & 0xFF);
            // Channel 0 is blue in our pixels, the third byte of stb's RGBA.
            const int wanted = rgba.get()[i * 4 + static_cast<std::size_t>(2 - channel)];
            const int delta = std::abs(actual - wanted);
            worst = std::max(worst, delta);
            diff |= static_cast<std::uint32_t>(std::min(255, delta * 8)) << (8 * channel);
        }
        difference[i] = diff;
        if (worst > kChannelTolerance) ++wrong;
    }
    if (wrong > kWrongShare * static_cast<double>(reduced.size())) {
        const std::filesystem::path out = DEMO_TEST_OUTPUT_DIR;
        WritePng(out / (name + ".actual.png"), std::vector<std::uint32_t>(pixels.begin(), pixels.end()), width, height);
        WritePng(out / (name + ".difference.png"), difference, w, h);
        ADD_FAILURE() << wrong << " of " << reduced.size() << " reduced pixels differ from " << golden
                      << "; actual frame and difference image written to " << out;
    }
}

}  // namespace DemoTest
