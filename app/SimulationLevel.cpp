#include "app/SimulationLevel.h"

#include <cstdlib>
#include <cstring>

namespace SimulationKernels {

namespace {

constexpr Level kLevels[] = {Level::Portable, Level::Avx2, Level::Avx512Vbmi};

Level Widest(bool (*supported)(Level)) {
    Level widest = Level::Portable;
    for (Level level : kLevels) {
        if (supported(level)) widest = level;
    }
    return widest;
}

}  // namespace

const char* LevelName(Level level) {
    switch (level) {
    case Level::Portable:
        return "portable";
    case Level::Avx2:
        return "avx2";
    case Level::Avx512Vbmi:
        return "avx512";
    }
    return "?";
}

LevelChoice ChooseLevel(const char* value, bool (*supported)(Level)) {
    const Level widest = Widest(supported);
    if (value == nullptr || *value == '\0') return {widest, {}};
    for (Level level : kLevels) {
        if (std::strcmp(value, LevelName(level)) != 0) continue;
        if (supported(level)) return {level, {}};
        return {widest, std::string("NVESK_SIMD=") + value + ": this processor does not run that level; using " +
                            LevelName(widest)};
    }
    return {widest, std::string("NVESK_SIMD=") + value + ": not a level (portable, avx2 or avx512); using " +
                        LevelName(widest)};
}

Level LevelFromEnvironment(std::FILE* errors) {
    const LevelChoice choice = ChooseLevel(std::getenv("NVESK_SIMD"), Supported);
    if (!choice.error.empty()) std::fprintf(errors, "%s\n", choice.error.c_str());
    return choice.level;
}

Level ConfiguredLevel() {
    static const Level level = LevelFromEnvironment(stderr);
    return level;
}

}  // namespace SimulationKernels
