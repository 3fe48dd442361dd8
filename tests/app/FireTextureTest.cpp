// The fire simulation without a device: the first step, the borders, cooling, the palette.
#include "app/FireTexture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int kSize = 256;

std::uint8_t& Cell(std::vector<std::uint8_t>& grid, int x, int y) {
    return grid[y * kSize + x];
}

}  // namespace

TEST(FireTexture, StartsBlackWithTheGridSizeAndCooling) {
    const FireTexture fire;
    EXPECT_EQ(fire.size, kSize);
    EXPECT_EQ(fire.cooling, 1);
    EXPECT_EQ(fire.texture, nullptr);
    EXPECT_EQ(fire.context, &NVesk::NRenderer::SceneContext);
    ASSERT_EQ(fire.current.size(), 256u * 256u);
    ASSERT_EQ(fire.next.size(), 256u * 256u);
    for (std::uint8_t value : fire.current)
        ASSERT_EQ(value, 0);
}

TEST(FireTexture, FirstStepLightsOnlyTheBottomRowInEqualPairsFromTheRuntimeGenerator) {
    FireTexture fire;
    std::srand(1);
    fire.Spread();
    for (int y = 0; y < kSize - 1; ++y) {
        for (int x = 0; x < kSize; ++x)
            ASSERT_EQ(Cell(fire.next, x, y), 0) << x << "," << y;
    }
    for (int x = 0; x < kSize; x += 2) {
        const int value = Cell(fire.next, x, kSize - 1);
        EXPECT_EQ(Cell(fire.next, x + 1, kSize - 1), value) << x;
        EXPECT_LE(value, 63) << x;
    }
    // 41, 18467, 6334 and 26500 take pairs 0 to 3 below zero; 19169 % 128 = 97 gives 33.
    const std::uint8_t firstPairs[] = {0, 0, 0, 0, 0, 0, 0, 0, 33, 33};
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(Cell(fire.next, x, kSize - 1), firstPairs[x]) << x;
}

TEST(FireTexture, BottomRowWalksFromItsLastValueAndStaysWithinTheByte) {
    FireTexture fire;
    for (int x = 0; x < kSize; ++x)
        Cell(fire.current, x, kSize - 1) = x < 128 ? 250 : 3;
    fire.Spread();
    for (int x = 0; x < kSize; x += 2) {
        const int value = Cell(fire.next, x, kSize - 1);
        if (x < 128) {
            EXPECT_GE(value, 250 - 64) << x;
        } else {
            EXPECT_LE(value, 3 + 63) << x;
        }
    }
}

TEST(FireTexture, ColumnsWrapAroundAndRowsAreClamped) {
    FireTexture fire;
    Cell(fire.current, 255, 10) = 200;  // right edge
    Cell(fire.current, 5, 255) = 100;   // bottom row
    fire.Spread();
    // Column 0's left neighbour is column 255; the value lands one row up.
    EXPECT_EQ(Cell(fire.next, 0, 9), 200 / 4 - 1);
    EXPECT_EQ(Cell(fire.next, 254, 9), 200 / 4 - 1);
    EXPECT_EQ(Cell(fire.next, 1, 9), 0);
    // The cells above and below see it as their neighbour too.
    EXPECT_EQ(Cell(fire.next, 255, 8), 200 / 4 - 1);
    EXPECT_EQ(Cell(fire.next, 255, 10), 200 / 4 - 1);
    // Row 255's neighbour below is row 255 itself.
    EXPECT_EQ(Cell(fire.next, 5, 254), 100 / 4 - 1);
    EXPECT_EQ(Cell(fire.next, 5, 253), 100 / 4 - 1);
}

TEST(FireTexture, CellWithNoLitNeighbourCoolsToZeroNotBelow) {
    FireTexture fire;
    Cell(fire.current, 100, 100) = 255;
    Cell(fire.current, 0, 0) = 255;
    fire.Spread();
    EXPECT_EQ(Cell(fire.next, 100, 99), 0);
    // Row 0 is written for y = 0 and again for y = 1; the second value stays.
    EXPECT_EQ(Cell(fire.next, 0, 0), 255 / 4 - 1);
    EXPECT_EQ(Cell(fire.next, 1, 0), 0);
    EXPECT_EQ(Cell(fire.next, 255, 0), 0);
}

TEST(FireTexture, PaletteWritesBlueGreenRedThenTheIntensityAsAlpha) {
    FireTexture fire;
    const std::uint8_t intensities[] = {0, 27, 28, 142, 175, 255};
    for (int i = 0; i < 6; ++i)
        Cell(fire.next, i, 3) = intensities[i];
    const int pitch = kSize * 4 + 64;  // rows are found by the pitch, not by the width
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pitch) * kSize, 0xAB);
    fire.WritePixels(pixels.data(), pitch);

    const std::uint8_t expected[6][4] = {{0, 0, 0, 0},       {0, 0, 0, 27},       {0, 0, 4, 28},
                                         {2, 104, 224, 142}, {12, 163, 248, 175}, {44, 240, 248, 255}};
    for (int i = 0; i < 6; ++i) {
        for (int channel = 0; channel < 4; ++channel)
            EXPECT_EQ(pixels[3 * pitch + 4 * i + channel], expected[i][channel])
                << int(intensities[i]) << ":" << channel;
    }
    // The padding at the end of a row is left alone.
    EXPECT_EQ(pixels[3 * pitch + kSize * 4], 0xAB);
}

TEST(FireTexture, ExchangeMakesTheStepCurrent) {
    FireTexture fire;
    std::srand(1);
    fire.Spread();
    const std::vector<std::uint8_t> step = fire.next;
    fire.Exchange();
    EXPECT_EQ(fire.current, step);
    // The fire rises: the bottom pair of 33 feeds the cell above on the next step.
    fire.Spread();
    EXPECT_EQ(Cell(fire.next, 8, 254), (33 + 33) / 4 - 1);
}
