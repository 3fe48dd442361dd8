// The fire and water steps write inside their fields and images only: guard rows below every field
// and guard cells around every image and row, at every level of vector instructions this processor
// runs, with drops at every edge and corner.
#include "GuardRows.h"

#include "app/FireTexture.h"
#include "app/SimulationKernels.h"
#include "app/WaterTexture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using SimulationTest::AddGuardRows;
using SimulationTest::GuardRowsIntact;
using SimulationTest::Padded;
using Level = ::SimulationKernels::Level;

namespace {

std::vector<Level> RunnableLevels() {
    std::vector<Level> levels;
    for (Level level : {Level::Portable, Level::Avx2, Level::Avx512Vbmi}) {
        if (::SimulationKernels::Supported(level)) levels.push_back(level);
    }
    return levels;
}

std::string Where(Level level, int size) {
    return "level " + std::to_string(static_cast<int>(level)) + ", size " + std::to_string(size);
}

// A water of `size` x `size` heights whose fields carry guard rows.
void GuardWater(WaterTexture& water, int size) {
    water.size = static_cast<std::uint16_t>(size);
    water.current.assign(static_cast<std::size_t>(size) * size, 0);
    water.previous.assign(static_cast<std::size_t>(size) * size, 0);
    AddGuardRows(water.current, static_cast<std::size_t>(size));
    AddGuardRows(water.previous, static_cast<std::size_t>(size));
}

class SimulationGuards : public ::testing::Test {
protected:
    void SetUp() override { WaterTexture::dropCounter = 0; }
    void TearDown() override { WaterTexture::dropCounter = 0; }
};

}  // namespace

TEST_F(SimulationGuards, DropsAtEveryEdgeAndCornerStayInsideTheField) {
    for (int size : {256, 17, 1}) {
        WaterTexture water(L"water.bmp");
        GuardWater(water, size);
        const int last = size - 1;
        const int middle = size / 2;
        const int places[][2] = {{0, 0},      {last, 0},      {0, last},   {last, last},
                                 {middle, 0}, {middle, last}, {0, middle}, {last, middle}};
        for (const auto& place : places) {
            for (int radius : {1, 5, 14, size + 3}) {
                water.AddDrop(place[0], place[1], radius, 24);
                ASSERT_TRUE(GuardRowsIntact(water.current, static_cast<std::size_t>(size) * size))
                    << "drop at (" << place[0] << ", " << place[1] << ") of radius " << radius << ", size " << size;
            }
        }
        // The cone's rim reached the last row: the field's edge itself was written.
        if (size > 1) {
            EXPECT_NE(water.current[static_cast<std::size_t>(last) * size + 1], 0);
        }
    }
}

TEST_F(SimulationGuards, WaterStepsWriteOnlyTheirFieldAndImage) {
    std::mt19937 random(7);
    for (Level level : RunnableLevels()) {
        for (int size : {256, 257, 33, 18, 17, 9, 2, 1}) {
            WaterTexture water(L"water.bmp");
            GuardWater(water, size);
            water.kernels = level;
            const std::int32_t pitch = size * 4 + 12;
            const std::size_t imageBytes = static_cast<std::size_t>(pitch) * size;
            const Padded<std::uint8_t> picture(imageBytes, 0x40);
            Padded<std::uint8_t> pixels(imageBytes, 0xC3);
            for (int step = 0; step < 30; ++step) {
                std::srand(static_cast<unsigned>(step));
                water.AddDrop(static_cast<int>(random() % size), size - 1, 6, 20);
                water.DropWhenDue();
                if (step % 2 == 0) {
                    water.SpreadAndRefract(picture.data(), pitch, size, size, pixels.data(), pitch);
                } else {
                    water.Spread();
                    water.Refract(picture.data(), pitch, size, size, pixels.data(), pitch);
                }
                const std::size_t cells = static_cast<std::size_t>(size) * size;
                ASSERT_TRUE(GuardRowsIntact(water.current, cells)) << Where(level, size) << ", step " << step;
                ASSERT_TRUE(GuardRowsIntact(water.previous, cells)) << Where(level, size) << ", step " << step;
                ASSERT_TRUE(pixels.Intact()) << Where(level, size) << ", step " << step;
                water.Exchange();
            }
        }
    }
}

TEST_F(SimulationGuards, FireStepsWriteOnlyTheirGridsAndImage) {
    for (Level level : RunnableLevels()) {
        for (int size : {256, 300, 81, 19, 18, 17, 5, 2}) {
            FireTexture fire;
            fire.kernels = level;
            fire.size = static_cast<std::uint16_t>(size);
            fire.current.assign(static_cast<std::size_t>(size) * size, 0);
            fire.next.assign(static_cast<std::size_t>(size) * size, 0);
            AddGuardRows(fire.current, static_cast<std::size_t>(size));
            AddGuardRows(fire.next, static_cast<std::size_t>(size));
            const std::int32_t pitch = size * 4 + 12;
            Padded<std::uint8_t> pixels(static_cast<std::size_t>(pitch) * size, 0x5A);
            std::srand(3);
            for (int step = 0; step < 30; ++step) {
                if (step % 2 == 0) {
                    fire.SpreadAndWritePixels(pixels.data(), pitch);
                } else {
                    fire.Spread();
                    fire.WritePixels(pixels.data(), pitch);
                }
                const std::size_t cells = static_cast<std::size_t>(size) * size;
                ASSERT_TRUE(GuardRowsIntact(fire.current, cells)) << Where(level, size) << ", step " << step;
                ASSERT_TRUE(GuardRowsIntact(fire.next, cells)) << Where(level, size) << ", step " << step;
                ASSERT_TRUE(pixels.Intact()) << Where(level, size) << ", step " << step;
                fire.Exchange();
            }
        }
    }
}

TEST_F(SimulationGuards, EveryKernelWritesOnlyItsOwnCells) {
    std::mt19937 random(9);
    for (Level level : RunnableLevels()) {
        for (int n : {18, 19, 31, 64, 65, 130, 256, 257}) {
            SCOPED_TRACE(Where(level, n));
            const std::size_t cellCount = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
            Padded<std::uint8_t> current(cellCount), next(cellCount);
            for (std::size_t i = 0; i < cellCount; ++i)
                current.data()[i] = static_cast<std::uint8_t>(random());
            ::SimulationKernels::FireSpread(level, {current.data(), next.data(), n, 1});
            EXPECT_TRUE(next.Intact());

            Padded<std::int32_t> heightsAbove(static_cast<std::size_t>(n), 3), heights(static_cast<std::size_t>(n), -5),
                heightsBelow(static_cast<std::size_t>(n), 7), older(static_cast<std::size_t>(n), 11);
            ::SimulationKernels::WaterRow(level, heightsAbove.data(), heights.data(), heightsBelow.data(), older.data(),
                                          n);
            EXPECT_TRUE(older.Intact());

            std::uint32_t colours[256];
            for (std::uint32_t& colour : colours)
                colour = static_cast<std::uint32_t>(random());
            const int height = 3;
            const std::int32_t pitch = n * 4 + 4;
            Padded<std::uint8_t> cells(static_cast<std::size_t>(n) * height, 200);
            Padded<std::uint8_t> bits(static_cast<std::size_t>(pitch) * height, 0);
            ::SimulationKernels::PalettePixels(level, colours, cells.data(), n, height, bits.data(), pitch);
            EXPECT_TRUE(bits.Intact());

            // The spread with its pixels drawn band by band: rows 0 .. n - 2 of both.
            Padded<std::uint8_t> spread(cellCount);
            Padded<std::uint8_t> image(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(n - 1), 0);
            ::SimulationKernels::FireSpreadAndPixels(level, {current.data(), spread.data(), n, 1}, colours,
                                                     image.data(), pitch);
            EXPECT_TRUE(spread.Intact());
            EXPECT_TRUE(image.Intact());
        }
    }
}
