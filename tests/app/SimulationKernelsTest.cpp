// The fast fire and water steps against the plain cell-by-cell ones: the same grids, the same
// random numbers, thousands of steps, every byte of the grids and of the pixels compared.
#include "app/FireTexture.h"
#include "app/SimulationKernels.h"
#include "app/SimulationReference.h"
#include "app/WaterTexture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kSize = 256;
// Rows a little longer than the image, so pixels are found by the pitch.
constexpr int kPitch = kSize * 4 + 12;

std::vector<std::uint8_t> Pixels(std::uint8_t fill) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(kPitch) * kSize, fill);
}

template <typename T>
void FillUniform(std::vector<T>& values, std::mt19937& random, std::int64_t low, std::int64_t high) {
    std::uniform_int_distribution<std::int64_t> pick(low, high);
    for (T& value : values)
        value = static_cast<T>(pick(random));
}

// One fire stepped fast and one stepped plainly, from the same grids and the same random numbers.
void ExpectFireStepsAgree(int cooling, unsigned seed, int steps) {
    std::mt19937 random(seed);
    FireTexture fast;
    FireTexture plain;
    fast.cooling = plain.cooling = cooling;
    for (int step = 0; step < steps; ++step) {
        if (step % 400 == 0) {
            FillUniform(fast.current, random, 0, 255);
            plain.current = fast.current;
        }
        // Different leftovers in `next`: a cell the fast step forgot would differ.
        std::fill(fast.next.begin(), fast.next.end(), static_cast<std::uint8_t>(step));
        std::fill(plain.next.begin(), plain.next.end(), static_cast<std::uint8_t>(step + 128));
        std::srand(seed + step);
        fast.Spread();
        const int fastFollowing = std::rand();
        std::srand(seed + step);
        SimulationReference::FireSpread(plain);
        ASSERT_TRUE(fast.next == plain.next) << "cooling " << cooling << ", step " << step;
        // The stir drew as many numbers: the generator stands at the same place after both.
        ASSERT_EQ(fastFollowing, std::rand()) << "step " << step;

        std::vector<std::uint8_t> fastPixels = Pixels(0x5A);
        std::vector<std::uint8_t> plainPixels = Pixels(0x5A);
        fast.WritePixels(fastPixels.data(), kPitch);
        SimulationReference::FireWritePixels(plain, plainPixels.data(), kPitch);
        ASSERT_TRUE(fastPixels == plainPixels) << "cooling " << cooling << ", step " << step;
        fast.Exchange();
        plain.Exchange();
    }
}

// A picture of random bytes, `width` x `height` pixels at the test's pitch.
std::vector<std::uint8_t> RandomPicture(std::mt19937& random) {
    std::vector<std::uint8_t> picture = Pixels(0);
    FillUniform(picture, random, 0, 255);
    return picture;
}

void ExpectRefractionsAgree(const WaterTexture& fast, const WaterTexture& plain,
                            const std::vector<std::uint8_t>& source, int width, int height, int step) {
    std::vector<std::uint8_t> fastPixels = Pixels(0xC3);
    std::vector<std::uint8_t> plainPixels = Pixels(0xC3);
    fast.Refract(source.data(), kPitch, width, height, fastPixels.data(), kPitch);
    SimulationReference::WaterRefract(plain, source.data(), kPitch, width, height, plainPixels.data(), kPitch);
    ASSERT_TRUE(fastPixels == plainPixels) << width << " x " << height << ", step " << step;
}

// Water stepped fast and plainly with drops, from heights of up to `magnitude` either way, refilled
// every `refill` steps so the sums stay within 32 bits.
void ExpectWaterStepsAgree(std::int64_t magnitude, int refill, unsigned seed, int steps) {
    std::mt19937 random(seed);
    const std::vector<std::uint8_t> source = RandomPicture(random);
    WaterTexture fast(L"water.bmp");
    WaterTexture plain(L"water.bmp");
    for (int step = 0; step < steps; ++step) {
        if (step % refill == 0) {
            FillUniform(fast.current, random, -magnitude, magnitude);
            FillUniform(fast.previous, random, -magnitude, magnitude);
            plain.current = fast.current;
            plain.previous = fast.previous;
        }
        const std::uint32_t counter = WaterTexture::dropCounter;
        std::srand(seed + step);
        fast.DropWhenDue();
        fast.Spread();
        WaterTexture::dropCounter = counter;
        std::srand(seed + step);
        plain.DropWhenDue();
        SimulationReference::WaterSpread(plain);
        ASSERT_TRUE(fast.current == plain.current) << "magnitude " << magnitude << ", step " << step;

        ExpectRefractionsAgree(fast, plain, source, kSize, kSize, step);
        // A smaller picture is read clamped to its edges.
        if (step % 16 == 0) ExpectRefractionsAgree(fast, plain, source, 200 - step % 7, 131 + step % 5, step);
        fast.Exchange();
        plain.Exchange();
    }
}

class SimulationKernels : public ::testing::Test {
protected:
    void SetUp() override { WaterTexture::dropCounter = 0; }
    void TearDown() override { WaterTexture::dropCounter = 0; }
};

}  // namespace

TEST_F(SimulationKernels, FastFireStepsMatchThePlainStepByteForByte) {
    ExpectFireStepsAgree(1, 11, 2000);
    // Other coolings, down to none and up to one that empties every cell.
    for (int cooling : {0, 3, 200, 255})
        ExpectFireStepsAgree(cooling, 100 + cooling, 300);
    // Coolings beyond a byte go cell by cell; the results still agree.
    for (int cooling : {-7, 300})
        ExpectFireStepsAgree(cooling, 500, 20);
}

TEST_F(SimulationKernels, FastWaterStepsMatchThePlainStepByteForByte) {
    // Ripples of the demo's size, then heights well beyond the table's -256..255, then magnitudes
    // near the limit where the four neighbours' sum still fits 32 bits (one step from each fill).
    ExpectWaterStepsAgree(300, 500, 21, 2000);
    ExpectWaterStepsAgree(1 << 20, 250, 22, 500);
    ExpectWaterStepsAgree((1 << 28) - 1, 1, 23, 100);
}

TEST_F(SimulationKernels, FastRefractionMatchesThePlainOneForAnyHeights) {
    // The differences of any two 32-bit heights, their wrap into the table and their sign.
    std::mt19937 random(31);
    const std::vector<std::uint8_t> source = RandomPicture(random);
    WaterTexture fast(L"water.bmp");
    WaterTexture plain(L"water.bmp");
    for (int round = 0; round < 200; ++round) {
        const std::int64_t magnitude = round % 2 == 0 ? INT32_MAX : 600;
        FillUniform(fast.current, random, -magnitude - 1, magnitude);
        plain.current = fast.current;
        ExpectRefractionsAgree(fast, plain, source, kSize, kSize, round);
        ExpectRefractionsAgree(fast, plain, source, 77, 255, round);
    }
}

TEST_F(SimulationKernels, EveryPaletteFormThisProcessorRunsMatchesThePlainLookup) {
    // Any palette (alpha included), widths with and without a tail after the wide blocks, rows
    // found by the pitch; the bytes between rows stay as they were.
    std::mt19937 random(41);
    std::uint32_t colours[256];
    for (std::uint32_t& colour : colours)
        colour = static_cast<std::uint32_t>(random());
    using Level = ::SimulationKernels::Level;
    int levelsRun = 0;
    for (Level level : {Level::Portable, Level::Avx2, Level::Avx512Vbmi}) {
        if (!::SimulationKernels::Supported(level)) continue;
        ++levelsRun;
        for (int width : {256, 200, 71, 64, 8, 5}) {
            const int height = 9;
            const std::int32_t pitch = width * 4 + 12;
            std::vector<std::uint8_t> cells(static_cast<std::size_t>(width) * height);
            FillUniform(cells, random, 0, 255);
            std::vector<std::uint8_t> expected(static_cast<std::size_t>(pitch) * height, 0xA5);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x)
                    std::memcpy(&expected[static_cast<std::size_t>(y) * pitch + 4 * x], &colours[cells[y * width + x]],
                                4);
            }
            std::vector<std::uint8_t> pixels(expected.size(), 0xA5);
            ::SimulationKernels::PalettePixels(level, colours, cells.data(), width, height, pixels.data(), pitch);
            ASSERT_TRUE(pixels == expected) << "level " << static_cast<int>(level) << ", width " << width;
        }
    }
    EXPECT_GE(levelsRun, 1);
    EXPECT_TRUE(::SimulationKernels::Supported(::SimulationKernels::Best()));
}
