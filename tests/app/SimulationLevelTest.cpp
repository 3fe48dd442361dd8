// NVESK_SIMD: each level's name picks it where the processor runs it; unset or empty picks the
// widest; an unknown or unsupported name picks the widest with one error line.
#include "app/FireTexture.h"
#include "app/SimulationLevel.h"
#include "app/WaterTexture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using SimulationKernels::ChooseLevel;
using SimulationKernels::Level;

bool EveryLevel(Level) {
    return true;
}
bool PortableOnly(Level level) {
    return level == Level::Portable;
}
bool UpToAvx2(Level level) {
    return level != Level::Avx512Vbmi;
}

// Sets NVESK_SIMD (null: unsets it; Windows' C runtime cannot tell unset from empty).
void SetSimd(const char* value) {
#if defined(_WIN32)
    _putenv_s("NVESK_SIMD", value != nullptr ? value : "");
#else
    if (value != nullptr)
        setenv("NVESK_SIMD", value, 1);
    else
        unsetenv("NVESK_SIMD");
#endif
}

// NVESK_SIMD set (or unset) for one scope, and what was there put back.
class SimdVariable {
public:
    explicit SimdVariable(const char* value) {
        if (const char* old = std::getenv("NVESK_SIMD")) before = old;
        SetSimd(value);
    }
    ~SimdVariable() { SetSimd(before ? before->c_str() : nullptr); }
    SimdVariable(const SimdVariable&) = delete;
    SimdVariable& operator=(const SimdVariable&) = delete;

private:
    std::optional<std::string> before;
};

// What LevelFromEnvironment wrote to its error stream.
std::string ErrorsOf(Level& level) {
    // A file of its own in the working folder: Windows' tmpfile writes to the drive's root.
    constexpr char kName[] = "simulation-level-errors.txt";
    std::FILE* errors = std::fopen(kName, "w+");
    EXPECT_NE(errors, nullptr);
    if (errors == nullptr) return "";
    level = SimulationKernels::LevelFromEnvironment(errors);
    std::rewind(errors);
    std::string text;
    for (int c; (c = std::fgetc(errors)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(errors);
    std::remove(kName);
    return text;
}

}  // namespace

TEST(SimulationLevel, EachNamePicksItsLevelWhereItRuns) {
    for (Level level : {Level::Portable, Level::Avx2, Level::Avx512Vbmi}) {
        const auto choice = ChooseLevel(SimulationKernels::LevelName(level), EveryLevel);
        EXPECT_EQ(choice.level, level) << SimulationKernels::LevelName(level);
        EXPECT_EQ(choice.error, "");
    }
    EXPECT_STREQ(SimulationKernels::LevelName(Level::Portable), "portable");
    EXPECT_STREQ(SimulationKernels::LevelName(Level::Avx2), "avx2");
    EXPECT_STREQ(SimulationKernels::LevelName(Level::Avx512Vbmi), "avx512");
    EXPECT_EQ(ChooseLevel("portable", PortableOnly).level, Level::Portable);
    EXPECT_EQ(ChooseLevel("avx2", UpToAvx2).level, Level::Avx2);
}

TEST(SimulationLevel, UnsetOrEmptyPicksTheWidestWithoutComplaint) {
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(ChooseLevel(value, EveryLevel).level, Level::Avx512Vbmi);
        EXPECT_EQ(ChooseLevel(value, UpToAvx2).level, Level::Avx2);
        EXPECT_EQ(ChooseLevel(value, PortableOnly).level, Level::Portable);
        EXPECT_EQ(ChooseLevel(value, UpToAvx2).error, "");
    }
}

TEST(SimulationLevel, AnUnsupportedLevelFallsBackToTheWidestAndSaysSo) {
    const auto wide = ChooseLevel("avx512", UpToAvx2);
    EXPECT_EQ(wide.level, Level::Avx2);
    EXPECT_EQ(wide.error, "NVESK_SIMD=avx512: this processor does not run that level; using avx2");
    const auto narrow = ChooseLevel("avx2", PortableOnly);
    EXPECT_EQ(narrow.level, Level::Portable);
    EXPECT_EQ(narrow.error, "NVESK_SIMD=avx2: this processor does not run that level; using portable");
}

TEST(SimulationLevel, AnUnknownNameFallsBackToTheWidestAndSaysSo) {
    // Names are exact: other spellings, other instruction sets and stray spaces are not levels.
    for (const char* value : {"AVX2", "sse2", "avx", "avx512vbmi", " avx2", "portable ", "1"}) {
        const auto choice = ChooseLevel(value, UpToAvx2);
        EXPECT_EQ(choice.level, Level::Avx2) << value;
        EXPECT_EQ(choice.error,
                  std::string("NVESK_SIMD=") + value + ": not a level (portable, avx2 or avx512); using avx2");
    }
}

TEST(SimulationLevel, TheVariableIsReadWithOneErrorLineOnlyWhenItIsWrong) {
    Level level = Level::Portable;
    {
        const SimdVariable unset(nullptr);
        EXPECT_EQ(ErrorsOf(level), "");
        EXPECT_EQ(level, SimulationKernels::Best());
    }
    {
        const SimdVariable portable("portable");
        EXPECT_EQ(ErrorsOf(level), "");
        EXPECT_EQ(level, Level::Portable);
    }
    {
        const SimdVariable unknown("fastest");
        const std::string errors = ErrorsOf(level);
        EXPECT_EQ(errors, std::string("NVESK_SIMD=fastest: not a level (portable, avx2 or avx512); using ") +
                              SimulationKernels::LevelName(SimulationKernels::Best()) + "\n");
        EXPECT_EQ(level, SimulationKernels::Best());
    }
    // Every level this processor runs is taken as named; the others fall back with their line.
    for (Level named : {Level::Portable, Level::Avx2, Level::Avx512Vbmi}) {
        const SimdVariable variable(SimulationKernels::LevelName(named));
        const std::string errors = ErrorsOf(level);
        if (SimulationKernels::Supported(named)) {
            EXPECT_EQ(level, named);
            EXPECT_EQ(errors, "");
        } else {
            EXPECT_EQ(level, SimulationKernels::Best());
            EXPECT_NE(errors.find("does not run that level"), std::string::npos) << errors;
        }
    }
}

TEST(SimulationLevel, TheSimulationsStartWithTheConfiguredLevel) {
    const Level configured = SimulationKernels::ConfiguredLevel();
    EXPECT_TRUE(SimulationKernels::Supported(configured));
    // Read once: a later change of the variable does not move it.
    const SimdVariable changed("portable");
    EXPECT_EQ(SimulationKernels::ConfiguredLevel(), configured);
    const FireTexture fire;
    const WaterTexture water(L"water.bmp");
    EXPECT_EQ(fire.kernels, configured);
    EXPECT_EQ(water.kernels, configured);
}
