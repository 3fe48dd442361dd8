// The fast fire and water steps against the plain cell-by-cell ones, at every level of vector
// instructions this processor runs (the portable one, every other processor's, included), in parts
// and fused: the same grids, the same random numbers, thousands of steps, every byte of the grids
// and of the pixels compared.
#include "app/FireTexture.h"
#include "app/SimulationKernels.h"
#include "app/SimulationReference.h"
#include "app/WaterTexture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Level = ::SimulationKernels::Level;

constexpr int kSize = 256;

std::vector<Level> RunnableLevels() {
    std::vector<Level> levels;
    for (Level level : {Level::Portable, Level::Avx2, Level::Avx512Vbmi}) {
        if (::SimulationKernels::Supported(level)) levels.push_back(level);
    }
    return levels;
}

// Rows a little longer than the image, so pixels are found by the pitch.
std::int32_t PitchFor(int width) {
    return width * 4 + 12;
}

std::vector<std::uint8_t> Pixels(int size, std::uint8_t fill) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(PitchFor(size)) * size, fill);
}

template <typename T>
void FillUniform(std::vector<T>& values, std::mt19937& random, std::int64_t low, std::int64_t high) {
    std::uniform_int_distribution<std::int64_t> pick(low, high);
    for (T& value : values)
        value = static_cast<T>(pick(random));
}

// One simulation stepped the fast way at one level, in parts or in the fused pass.
template <typename Simulation>
struct FastStepper {
    Level level;
    bool fused;
    std::unique_ptr<Simulation> simulation;
    // Kept from step to step: a fresh image would cost a mapping and its page faults every time.
    std::vector<std::uint8_t> pixels;

    std::string Describe() const {
        return "level " + std::to_string(static_cast<int>(level)) + (fused ? ", fused" : ", in parts");
    }
};

// A simulation stepped the fused way at every level, and one stepped in parts at the widest level
// (the parts run the same kernels, a whole grid at a time), each made by `make`.
template <typename Simulation, typename Make>
std::vector<FastStepper<Simulation>> FastSteppers(const Make& make) {
    std::vector<FastStepper<Simulation>> steppers;
    for (Level level : RunnableLevels())
        steppers.push_back({level, true, make(), {}});
    steppers.push_back({::SimulationKernels::Best(), false, make(), {}});
    for (FastStepper<Simulation>& stepper : steppers)
        stepper.simulation->kernels = stepper.level;
    return steppers;
}

void Resize(FireTexture& fire, int size) {
    fire.size = static_cast<std::uint16_t>(size);
    fire.current.assign(static_cast<std::size_t>(size) * size, 0);
    fire.next.assign(static_cast<std::size_t>(size) * size, 0);
}

// Fires of `size` x `size` cells stepped every fast way and one stepped plainly.
void ExpectFireStepsAgree(int size, int cooling, unsigned seed, int steps) {
    std::mt19937 random(seed);
    FireTexture plain;
    Resize(plain, size);
    plain.cooling = cooling;
    std::vector<FastStepper<FireTexture>> fast = FastSteppers<FireTexture>([size, cooling] {
        auto fire = std::make_unique<FireTexture>();
        fire->cooling = cooling;
        Resize(*fire, size);
        return fire;
    });
    const std::int32_t pitch = PitchFor(size);
    std::vector<std::uint8_t> plainPixels = Pixels(size, 0);
    for (int step = 0; step < steps; ++step) {
        if (step % 400 == 0) {
            FillUniform(plain.current, random, 0, 255);
            for (auto& stepper : fast)
                stepper.simulation->current = plain.current;
        }
        // Different leftovers in `next`: a cell a fast step forgot would differ.
        std::fill(plain.next.begin(), plain.next.end(), static_cast<std::uint8_t>(step + 128));
        std::srand(seed + step);
        SimulationReference::FireSpread(plain);
        const int following = std::rand();
        plainPixels.assign(plainPixels.size(), 0x5A);
        SimulationReference::FireWritePixels(plain, plainPixels.data(), pitch);

        for (auto& stepper : fast) {
            FireTexture& fire = *stepper.simulation;
            std::fill(fire.next.begin(), fire.next.end(), static_cast<std::uint8_t>(step));
            // In an odd row the stir leaves the last bottom cell, a pair's first half, as it was.
            if (size % 2 != 0) fire.next.back() = plain.next.back();
            std::vector<std::uint8_t>& pixels = stepper.pixels;
            pixels.assign(plainPixels.size(), 0x5A);
            std::srand(seed + step);
            if (stepper.fused) {
                fire.SpreadAndWritePixels(pixels.data(), pitch);
            } else {
                fire.Spread();
                fire.WritePixels(pixels.data(), pitch);
            }
            const std::string where = stepper.Describe() + ", size " + std::to_string(size) + ", cooling " +
                                      std::to_string(cooling) + ", step " + std::to_string(step);
            // The stir drew as many numbers: the generator stands at the same place after both.
            ASSERT_EQ(std::rand(), following) << where;
            ASSERT_TRUE(fire.next == plain.next) << where;
            ASSERT_TRUE(pixels == plainPixels) << where;
            fire.Exchange();
        }
        plain.Exchange();
    }
}

void Resize(WaterTexture& water, int size) {
    water.size = static_cast<std::uint16_t>(size);
    water.current.assign(static_cast<std::size_t>(size) * size, 0);
    water.previous.assign(static_cast<std::size_t>(size) * size, 0);
}

// Where a step reads its picture: the picture's size, its first row and the pitch.
struct Source {
    int width;
    int height;
    const std::uint8_t* bits;
    std::int32_t pitch;
};

// The whole picture, a smaller part of it (read clamped to its edges) or the picture read
// bottom-up through a negative pitch, in turns.
Source SourceFor(const std::vector<std::uint8_t>& picture, int size, int step) {
    const std::int32_t pitch = PitchFor(size);
    switch (step % 16) {
    case 0:
        return {std::max(size * 3 / 4 - step % 7, 1), std::max(size / 2 + step % 5, 1), picture.data(), pitch};
    case 8:
        return {size, size, picture.data() + static_cast<std::ptrdiff_t>(size - 1) * pitch, -pitch};
    default:
        return {size, size, picture.data(), pitch};
    }
}

std::vector<std::uint8_t> RandomPicture(int size, std::mt19937& random) {
    std::vector<std::uint8_t> picture = Pixels(size, 0);
    FillUniform(picture, random, 0, 255);
    return picture;
}

// Water of `size` x `size` heights stepped every fast way and plainly, with drops, from heights of
// up to `magnitude` either way, refilled every `refill` steps so the sums stay within 32 bits.
void ExpectWaterStepsAgree(int size, std::int64_t magnitude, int refill, unsigned seed, int steps) {
    std::mt19937 random(seed);
    const std::vector<std::uint8_t> picture = RandomPicture(size, random);
    WaterTexture plain(L"water.bmp");
    Resize(plain, size);
    std::vector<FastStepper<WaterTexture>> fast = FastSteppers<WaterTexture>([size] {
        auto water = std::make_unique<WaterTexture>(L"water.bmp");
        Resize(*water, size);
        return water;
    });
    const std::int32_t pitch = PitchFor(size);
    std::vector<std::uint8_t> plainPixels = Pixels(size, 0);
    for (int step = 0; step < steps; ++step) {
        if (step % refill == 0) {
            FillUniform(plain.current, random, -magnitude, magnitude);
            FillUniform(plain.previous, random, -magnitude, magnitude);
            for (auto& stepper : fast) {
                stepper.simulation->current = plain.current;
                stepper.simulation->previous = plain.previous;
            }
        }
        const Source source = SourceFor(picture, size, step);
        const std::uint32_t counter = WaterTexture::dropCounter;
        std::srand(seed + step);
        plain.DropWhenDue();
        SimulationReference::WaterSpread(plain);
        plainPixels.assign(plainPixels.size(), 0xC3);
        SimulationReference::WaterRefract(plain, source.bits, source.pitch, source.width, source.height,
                                          plainPixels.data(), pitch);

        for (auto& stepper : fast) {
            WaterTexture& water = *stepper.simulation;
            std::vector<std::uint8_t>& pixels = stepper.pixels;
            pixels.assign(plainPixels.size(), 0xC3);
            WaterTexture::dropCounter = counter;
            std::srand(seed + step);
            water.DropWhenDue();
            if (stepper.fused) {
                water.SpreadAndRefract(source.bits, source.pitch, source.width, source.height, pixels.data(), pitch);
            } else {
                water.Spread();
                water.Refract(source.bits, source.pitch, source.width, source.height, pixels.data(), pitch);
            }
            const std::string where = stepper.Describe() + ", size " + std::to_string(size) + ", magnitude " +
                                      std::to_string(magnitude) + ", step " + std::to_string(step);
            ASSERT_TRUE(water.current == plain.current) << where;
            ASSERT_TRUE(pixels == plainPixels)
                << where << ", picture " << source.width << " x " << source.height << " at pitch " << source.pitch;
            water.Exchange();
        }
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
    ExpectFireStepsAgree(kSize, 1, 11, 2000);
    // Other coolings, down to none and up to one that empties every cell.
    for (int cooling : {0, 3, 200, 255})
        ExpectFireStepsAgree(kSize, cooling, 100 + cooling, 150);
    // Coolings beyond a byte go cell by cell; the results still agree.
    for (int cooling : {-7, 300})
        ExpectFireStepsAgree(kSize, cooling, 500, 20);
}

TEST_F(SimulationKernels, FastFireStepsOfOtherSizesMatchThePlainStep) {
    // Rows ending anywhere within the wide blocks, the narrowest grid the vector rows take, and
    // grids narrower than that, which go cell by cell.
    for (int size : {18, 19, 66, 81, 130, 300})
        ExpectFireStepsAgree(size, 1, 600 + size, 60);
    for (int size : {2, 5, 17})
        ExpectFireStepsAgree(size, 1, 700 + size, 30);
}

TEST_F(SimulationKernels, FastWaterStepsMatchThePlainStepByteForByte) {
    // Ripples of the demo's size, then heights well beyond the table's -256..255, then magnitudes
    // near the limit where the four neighbours' sum still fits 32 bits (one step from each fill).
    ExpectWaterStepsAgree(kSize, 300, 500, 21, 2000);
    ExpectWaterStepsAgree(kSize, 1 << 20, 250, 22, 300);
    ExpectWaterStepsAgree(kSize, (1 << 28) - 1, 1, 23, 100);
}

TEST_F(SimulationKernels, FastWaterStepsOfOtherSizesMatchThePlainStep) {
    // Rows ending anywhere within the wide blocks, and fields of one and two cells a side.
    for (int size : {1, 2, 9, 17, 18, 33, 100, 257})
        ExpectWaterStepsAgree(size, 300, 40, 800 + size, 40);
}

TEST_F(SimulationKernels, FireThenWaterOnOneGeneratorMatchesThePlainStepsAtEveryLevel) {
    // As the demo runs them: a fire burning for a while, then water with its drops, every random
    // number from the one runtime generator seeded once. Each level's run must make the same grids,
    // pixels and drops, and leave the generator where the plain run left it.
    constexpr int kFireSteps = 300;
    constexpr int kWaterSteps = 200;
    std::mt19937 random(61);
    const std::vector<std::uint8_t> picture = RandomPicture(kSize, random);
    const std::int32_t pitch = PitchFor(kSize);
    // Every step's pixels of one run, and the generator's next number after it.
    struct Run {
        std::vector<std::vector<std::uint8_t>> pixels;
        std::vector<std::uint8_t> fire;
        std::vector<std::int32_t> water;
        int following = 0;
    };
    const auto run = [&](const Level* level) {
        Run result;
        std::srand(77);
        WaterTexture::dropCounter = 0;
        FireTexture fire;
        WaterTexture water(L"water.bmp");
        if (level != nullptr) {
            fire.kernels = *level;
            water.kernels = *level;
        }
        std::vector<std::uint8_t> pixels = Pixels(kSize, 0);
        for (int step = 0; step < kFireSteps; ++step) {
            if (level != nullptr) {
                fire.SpreadAndWritePixels(pixels.data(), pitch);
            } else {
                SimulationReference::FireSpread(fire);
                SimulationReference::FireWritePixels(fire, pixels.data(), pitch);
            }
            fire.Exchange();
            if (step % 50 == 49) result.pixels.push_back(pixels);
        }
        for (int step = 0; step < kWaterSteps; ++step) {
            water.DropWhenDue();
            if (level != nullptr) {
                water.SpreadAndRefract(picture.data(), pitch, kSize, kSize, pixels.data(), pitch);
            } else {
                SimulationReference::WaterSpread(water);
                SimulationReference::WaterRefract(water, picture.data(), pitch, kSize, kSize, pixels.data(), pitch);
            }
            water.Exchange();
            if (step % 25 == 24) result.pixels.push_back(pixels);
        }
        result.fire = fire.current;
        result.water = water.previous;
        result.following = std::rand();
        return result;
    };
    const Run plain = run(nullptr);
    // The run did burn and ripple: a cold fire or still water would agree by default.
    EXPECT_GT(std::count_if(plain.fire.begin(), plain.fire.end(), [](std::uint8_t cell) { return cell > 0; }), 1000);
    EXPECT_GT(std::count_if(plain.water.begin(), plain.water.end(), [](std::int32_t h) { return h != 0; }), 1000);
    for (Level level : RunnableLevels()) {
        const Run fast = run(&level);
        const std::string where = "level " + std::to_string(static_cast<int>(level));
        EXPECT_TRUE(fast.fire == plain.fire) << where;
        EXPECT_TRUE(fast.water == plain.water) << where;
        ASSERT_EQ(fast.pixels.size(), plain.pixels.size()) << where;
        for (std::size_t i = 0; i < plain.pixels.size(); ++i)
            ASSERT_TRUE(fast.pixels[i] == plain.pixels[i]) << where << ", snapshot " << i;
        EXPECT_EQ(fast.following, plain.following) << where;
    }
}

// `fast`'s heights refracted at every level give the plain refraction's pixels of `plain`'s.
void ExpectRefractionsAgree(WaterTexture& fast, const WaterTexture& plain, const Source& source, int round) {
    std::vector<std::uint8_t> plainPixels = Pixels(kSize, 0xC3);
    SimulationReference::WaterRefract(plain, source.bits, source.pitch, source.width, source.height, plainPixels.data(),
                                      PitchFor(kSize));
    for (Level level : RunnableLevels()) {
        fast.kernels = level;
        std::vector<std::uint8_t> pixels = Pixels(kSize, 0xC3);
        fast.Refract(source.bits, source.pitch, source.width, source.height, pixels.data(), PitchFor(kSize));
        ASSERT_TRUE(pixels == plainPixels) << "level " << static_cast<int>(level) << ", round " << round << ", picture "
                                           << source.width << " x " << source.height;
    }
}

TEST_F(SimulationKernels, FastRefractionMatchesThePlainOneForAnyHeights) {
    // The differences of any two 32-bit heights, their wrap into the table and their sign.
    std::mt19937 random(31);
    const std::vector<std::uint8_t> picture = RandomPicture(kSize, random);
    WaterTexture fast(L"water.bmp");
    WaterTexture plain(L"water.bmp");
    for (int round = 0; round < 100; ++round) {
        const std::int64_t magnitude = round % 2 == 0 ? INT32_MAX : 600;
        FillUniform(fast.current, random, -magnitude - 1, magnitude);
        plain.current = fast.current;
        for (int turn : {1, 8, 16})
            ExpectRefractionsAgree(fast, plain, SourceFor(picture, kSize, turn), round);
    }
}

TEST_F(SimulationKernels, FastRefractionOfGentleSlopesMatchesThePlainOneWhateverTheTable) {
    // Mostly level fields with runs of small slopes, where the fast forms copy whole calm runs, under
    // tables whose offsets are zero over wider, narrower or no ranges around a level difference.
    std::mt19937 random(37);
    const std::vector<std::uint8_t> picture = RandomPicture(kSize, random);
    WaterTexture fast(L"water.bmp");
    WaterTexture plain(L"water.bmp");
    std::uint8_t table[512];
    std::memcpy(table, plain.refraction, sizeof table);
    const auto tableFor = [&](int round) {
        std::memcpy(plain.refraction, table, sizeof table);
        if (round % 4 == 1) plain.refraction[256] = 2;
        if (round % 4 == 2) std::fill(plain.refraction + 200, plain.refraction + 300, std::uint8_t {0});
        if (round % 4 == 3) plain.refraction[255] = 1;
        std::memcpy(fast.refraction, plain.refraction, sizeof table);
    };
    for (int round = 0; round < 40; ++round) {
        tableFor(round);
        std::int32_t height = 0;
        for (std::int32_t& cell : fast.current) {
            // A slope now and then, the rest level.
            if (random() % 16 == 0) height += static_cast<std::int32_t>(random() % 41) - 20;
            cell = height;
        }
        plain.current = fast.current;
        for (int turn : {0, 1, 8})
            ExpectRefractionsAgree(fast, plain, SourceFor(picture, kSize, turn + round), round);
    }
}

TEST_F(SimulationKernels, EveryWaterRowFormDampsEveryHeightAsTheDivisionDoes) {
    // With -2 above and nothing else around, a cell of older height h becomes (-1 - h) / 1.05f,
    // divided in double precision and truncated: any 32-bit value v is reached with h = -1 - v.
    constexpr int kWidth = 4099;
    const std::vector<std::int32_t> above(kWidth, -2);
    const std::vector<std::int32_t> nothing(kWidth, 0);
    const double damping = static_cast<double>(1.05f);
    std::mt19937 random(51);
    std::uniform_int_distribution<std::int64_t> anyValue(INT32_MIN, INT32_MAX);
    // Every value around zero and at both ends of the range, then values from all of it.
    const std::int64_t runs[][2] = {
        {-(1 << 22), 1 << 22}, {INT32_MIN, INT32_MIN + (1 << 20)}, {INT32_MAX - (1 << 20), INT32_MAX}, {0, -1}};
    std::vector<std::int64_t> values;
    for (const auto& run : runs) {
        for (std::int64_t v = run[0]; v <= run[1]; ++v)
            values.push_back(v);
    }
    for (int i = 0; i < (1 << 20); ++i)
        values.push_back(anyValue(random));
    for (Level level : RunnableLevels()) {
        std::vector<std::int32_t> row(kWidth);
        for (std::size_t start = 0; start < values.size(); start += kWidth) {
            const std::size_t count = std::min<std::size_t>(kWidth, values.size() - start);
            for (std::size_t i = 0; i < count; ++i)
                row[i] = static_cast<std::int32_t>(-1 - values[start + i]);
            ::SimulationKernels::WaterRow(level, above.data(), nothing.data(), nothing.data(), row.data(),
                                          static_cast<int>(count));
            for (std::size_t i = 0; i < count; ++i) {
                const std::int64_t v = values[start + i];
                ASSERT_EQ(row[i], static_cast<std::int32_t>(static_cast<double>(v) / damping))
                    << "level " << static_cast<int>(level) << ", v " << v;
            }
        }
    }
}

TEST_F(SimulationKernels, EveryPaletteFormThisProcessorRunsMatchesThePlainLookup) {
    // Any palette (alpha included, and one whose alpha is each colour's index, as the fire's is),
    // widths with and without a tail after the wide blocks, rows found by the pitch; the bytes
    // between rows stay as they were. Cells random, all equal, or equal but for one anywhere (the
    // forms store runs of equal cells as one colour).
    std::mt19937 random(41);
    std::uint32_t colours[2][256];
    for (int i = 0; i < 256; ++i) {
        colours[0][i] = static_cast<std::uint32_t>(random());
        colours[1][i] = (static_cast<std::uint32_t>(random()) & 0xFFFFFFu) | static_cast<std::uint32_t>(i) << 24;
    }
    int levelsRun = 0;
    for (Level level : RunnableLevels()) {
        ++levelsRun;
        for (const auto& palette : colours) {
            for (int width : {256, 200, 71, 64, 8, 5}) {
                for (int pattern = 0; pattern < 3; ++pattern) {
                    const int height = 9;
                    const std::int32_t pitch = PitchFor(width);
                    std::vector<std::uint8_t> cells(static_cast<std::size_t>(width) * height);
                    FillUniform(cells, random, 0, 255);
                    if (pattern > 0) std::fill(cells.begin(), cells.end(), cells[0]);
                    // One odd cell in each row, at a different column in each.
                    if (pattern == 2) {
                        for (int y = 0; y < height; ++y)
                            cells[y * width + (y * 29 + 3) % width] ^= 0x40;
                    }
                    std::vector<std::uint8_t> expected(static_cast<std::size_t>(pitch) * height, 0xA5);
                    for (int y = 0; y < height; ++y) {
                        for (int x = 0; x < width; ++x)
                            std::memcpy(&expected[static_cast<std::size_t>(y) * pitch + 4 * x],
                                        &palette[cells[y * width + x]], 4);
                    }
                    std::vector<std::uint8_t> pixels(expected.size(), 0xA5);
                    ::SimulationKernels::PalettePixels(level, palette, cells.data(), width, height, pixels.data(),
                                                       pitch);
                    ASSERT_TRUE(pixels == expected)
                        << "level " << static_cast<int>(level) << ", width " << width << ", pattern " << pattern
                        << ", alpha is index " << (&palette == &colours[1]);
                }
            }
        }
    }
    EXPECT_GE(levelsRun, 1);
    EXPECT_TRUE(::SimulationKernels::Supported(::SimulationKernels::Best()));
}
