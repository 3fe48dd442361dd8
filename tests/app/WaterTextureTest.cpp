// The water simulation without a device: the refraction table, drops, the spread, refraction.
#include "app/WaterTexture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int kSize = 256;

std::int32_t& Height(std::vector<std::int32_t>& field, int x, int y) {
    return field[y * kSize + x];
}

// A picture whose every pixel tells where it came from: B = x, G = y, R = x ^ y, A = 0xFF
// (x and y taken modulo 256).
struct Picture {
    Picture(int width, int height, int pitch)
        : width(width), height(height), pitch(pitch), bytes(static_cast<std::size_t>(pitch) * height, 0) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint8_t* pixel = &bytes[y * pitch + 4 * x];
                pixel[0] = static_cast<std::uint8_t>(x);
                pixel[1] = static_cast<std::uint8_t>(y);
                pixel[2] = static_cast<std::uint8_t>(x ^ y);
                pixel[3] = 0xFF;
            }
        }
    }
    std::uint32_t At(int x, int y) const {
        const std::uint8_t* pixel = &bytes[y * pitch + 4 * x];
        return pixel[0] | pixel[1] << 8 | pixel[2] << 16 | static_cast<std::uint32_t>(pixel[3]) << 24;
    }
    int width, height, pitch;
    std::vector<std::uint8_t> bytes;
};

// The water's output over a picture, as a picture.
Picture Refracted(const WaterTexture& water, const Picture& source) {
    Picture output(kSize, kSize, kSize * 4);
    water.Refract(source.bytes.data(), source.pitch, source.width, source.height, output.bytes.data(), output.pitch);
    return output;
}

class WaterTextureTest : public ::testing::Test {
protected:
    void SetUp() override { WaterTexture::dropCounter = 0; }
    void TearDown() override { WaterTexture::dropCounter = 0; }
};

}  // namespace

TEST_F(WaterTextureTest, RefractionTableHasTheSinglePrecisionValues) {
    const WaterTexture water(L"water.bmp");
    const struct {
        int difference;
        int offset;
    } telling[] = {{0, 0},   {1, 0},    {2, 0},     {5, 2},     {10, 5},   {20, 11},
                   {50, 28}, {100, 56}, {200, 113}, {254, 144}, {255, 144}};
    for (const auto& entry : telling) {
        EXPECT_EQ(water.refraction[256 + entry.difference], entry.offset) << entry.difference;
        EXPECT_EQ(water.refraction[256 - entry.difference], entry.offset) << -entry.difference;
    }
    EXPECT_EQ(water.refraction[0], 145);  // -256
    EXPECT_EQ(water.fileName, L"water.bmp");
    EXPECT_EQ(water.texture, nullptr);
    EXPECT_EQ(water.source, nullptr);
}

TEST_F(WaterTextureTest, DifferencesBeyondTheTableWrapAroundIt) {
    const WaterTexture water(L"water.bmp");
    EXPECT_EQ(water.RefractionOffset(256), water.refraction[0]);
    EXPECT_EQ(water.RefractionOffset(-257), water.refraction[511]);
    EXPECT_EQ(water.RefractionOffset(300), water.refraction[44]);
    EXPECT_EQ(water.RefractionOffset(-300), water.refraction[468]);
    EXPECT_EQ(water.RefractionOffset(-256 - 512 * 1000), water.refraction[0]);
    EXPECT_EQ(water.RefractionOffset(4000000000LL), water.refraction[(4000000000LL + 256) % 512]);
}

TEST_F(WaterTextureTest, FlatWaterShowsTheSourceUnchanged) {
    const WaterTexture water(L"water.bmp");
    const Picture source(300, 280, 300 * 4 + 16);
    const Picture output = Refracted(water, source);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x)
            ASSERT_EQ(output.At(x, y), source.At(x, y)) << x << "," << y;
    }
}

TEST_F(WaterTextureTest, SlopesMoveTheSampleByTheTableTowardsTheirSign) {
    WaterTexture water(L"water.bmp");
    Height(water.current, 100, 100) = 5;
    const Picture source(kSize, kSize, kSize * 4);
    const Picture output = Refracted(water, source);
    // At the raised cell both differences are -5: two pixels towards smaller x and y.
    EXPECT_EQ(output.At(100, 100), source.At(98, 98));
    // Left of it the difference in x is +5; above it the difference in y is +5.
    EXPECT_EQ(output.At(99, 100), source.At(101, 100));
    EXPECT_EQ(output.At(100, 99), source.At(100, 101));
    EXPECT_EQ(output.At(101, 101), source.At(101, 101));
}

TEST_F(WaterTextureTest, SamplesOutsideTheFieldTakeTheTopLeftPixel) {
    WaterTexture water(L"water.bmp");
    Height(water.current, 1, 40) = 5;     // at it, -5 in x: the sample column is -1
    Height(water.current, 255, 60) = 5;   // left of it, +5 in x: column 256
    Height(water.current, 70, 254) = 50;  // above it, +50 in y: row 253 + 28
    const Picture source(kSize, kSize, kSize * 4);
    const Picture output = Refracted(water, source);
    EXPECT_EQ(output.At(1, 40), source.At(0, 0));
    EXPECT_EQ(output.At(254, 60), source.At(0, 0));
    EXPECT_EQ(output.At(70, 253), source.At(0, 0));
    // Samples that stay inside are taken where they fall.
    EXPECT_EQ(output.At(255, 60), source.At(255, 58));
    EXPECT_EQ(output.At(69, 254), source.At(97, 254));
}

TEST_F(WaterTextureTest, LastRowAndColumnRefractWithNoDifferenceBeyondTheEdge) {
    WaterTexture water(L"water.bmp");
    for (int i = 0; i < kSize; ++i) {
        Height(water.current, kSize - 1, i) = 100;
        Height(water.current, i, kSize - 1) = 100;
    }
    const Picture source(kSize, kSize, kSize * 4);
    const Picture output = Refracted(water, source);
    for (int i = 0; i < kSize; ++i) {
        EXPECT_EQ(output.At(kSize - 1, i), source.At(kSize - 1, i)) << i;
        EXPECT_EQ(output.At(i, kSize - 1), source.At(i, kSize - 1)) << i;
    }
}

TEST_F(WaterTextureTest, SmallerSourceIsReadClampedToItsEdges) {
    WaterTexture water(L"water.bmp");
    Height(water.current, 60, 10) = 20;  // left of it, +20 in x: 11 pixels right, column 70
    const Picture source(64, 32, 64 * 4);
    const Picture output = Refracted(water, source);
    EXPECT_EQ(output.At(10, 10), source.At(10, 10));
    EXPECT_EQ(output.At(200, 20), source.At(63, 20));
    EXPECT_EQ(output.At(20, 200), source.At(20, 31));
    EXPECT_EQ(output.At(255, 255), source.At(63, 31));
    EXPECT_EQ(output.At(59, 10), source.At(63, 10));
}

TEST_F(WaterTextureTest, DropOfStrengthTwentyRaisesAConeZeroAtTheCentre) {
    WaterTexture water(L"water.bmp");
    water.AddDrop(100, 120, 5, 20);
    EXPECT_EQ(Height(water.current, 100, 120), 0);
    EXPECT_EQ(Height(water.current, 105, 120), 100);
    EXPECT_EQ(Height(water.current, 100, 115), 100);
    EXPECT_EQ(Height(water.current, 103, 124), 100);  // 3-4-5
    EXPECT_EQ(Height(water.current, 101, 121), 28);   // sqrt(2) * 20 = 28.28
    EXPECT_EQ(Height(water.current, 104, 124), 0);    // beyond the radius
    EXPECT_EQ(Height(water.current, 106, 120), 0);
    // Drops add to what is there, and a drop at the corner stays inside the field.
    water.AddDrop(100, 120, 5, 20);
    EXPECT_EQ(Height(water.current, 105, 120), 200);
    water.AddDrop(0, 255, 14, 24);
    EXPECT_EQ(Height(water.current, 0, 255), 0);
    EXPECT_EQ(Height(water.current, 14, 255), 14 * 24);
    EXPECT_EQ(Height(water.current, 0, 241), 14 * 24);
}

TEST_F(WaterTextureTest, DropsFallOnEveryTwelfthUpdateCountedForTheWholeProgram) {
    WaterTexture water(L"water.bmp");
    std::srand(1);
    for (int update = 1; update <= 11; ++update)
        water.DropWhenDue();
    for (std::int32_t height : water.current)
        ASSERT_EQ(height, 0);
    EXPECT_EQ(WaterTexture::dropCounter, 11u);
    // Update 12 draws 41, 18467, 6334, 26500: centre (41, 35), radius 9, strength 20.
    water.DropWhenDue();
    EXPECT_EQ(WaterTexture::dropCounter, 0u);
    EXPECT_EQ(Height(water.current, 41, 35), 0);
    EXPECT_EQ(Height(water.current, 46, 35), 100);
    EXPECT_EQ(Height(water.current, 50, 35), 180);
    EXPECT_EQ(Height(water.current, 51, 35), 0);
    EXPECT_EQ(std::rand(), 19169);  // the drop took exactly four numbers

    // The count is shared: another surface's updates bring the next drop closer.
    WaterTexture other(L"other.bmp");
    std::srand(1);
    for (int update = 13; update <= 23; ++update)
        (update % 2 ? water : other).DropWhenDue();
    EXPECT_EQ(std::rand(), 41);  // no drop yet
    std::srand(1);
    other.DropWhenDue();  // update 24
    EXPECT_EQ(Height(other.current, 46, 35), 100);
    EXPECT_EQ(WaterTexture::dropCounter, 0u);
}

TEST_F(WaterTextureTest, SpreadAveragesTheLastHeightsAgainstTheOlderOnesAndDamps) {
    WaterTexture water(L"water.bmp");
    Height(water.previous, 49, 50) = 42;
    Height(water.previous, 149, 50) = -42;
    Height(water.previous, 10, 10) = 100;
    Height(water.current, 10, 10) = 30;
    Height(water.previous, 0, 0) = 9;
    water.Spread();
    // 21 / 1.04999995 is just above 20; a division by the double 1.05 would give 19.
    EXPECT_EQ(Height(water.current, 50, 50), 20);
    EXPECT_EQ(Height(water.current, 150, 50), -20);
    // A cell's own older height is subtracted: 0 - 30 at the cell, 100 / 2 around it.
    EXPECT_EQ(Height(water.current, 10, 10), static_cast<std::int32_t>(-30 / static_cast<double>(1.05f)));
    EXPECT_EQ(Height(water.current, 11, 10), static_cast<std::int32_t>(50 / static_cast<double>(1.05f)));
    // At the corner the clamped neighbours are the cell itself: 9 + 9 of the four.
    EXPECT_EQ(Height(water.current, 0, 0), static_cast<std::int32_t>(9 / static_cast<double>(1.05f)));
    EXPECT_EQ(Height(water.current, 1, 0), static_cast<std::int32_t>(4 / static_cast<double>(1.05f)));
}

TEST_F(WaterTextureTest, ExchangeMakesTheNewHeightsTheLastOnes) {
    WaterTexture water(L"water.bmp");
    water.AddDrop(30, 30, 5, 10);
    const std::vector<std::int32_t> heights = water.current;
    water.Exchange();
    EXPECT_EQ(water.previous, heights);
    for (std::int32_t height : water.current)
        ASSERT_EQ(height, 0);
}
