// Which level of vector instructions the simulations use: the one NVESK_SIMD names (portable, avx2
// or avx512) when this processor runs it, else the widest it runs.
#pragma once

#include "app/SimulationKernels.h"

#include <cstdio>
#include <string>

namespace SimulationKernels {

// The level's name as NVESK_SIMD spells it.
const char* LevelName(Level level);

// What a value of NVESK_SIMD picks where the processor runs the levels `supported` says it runs.
// Unset or empty picks the widest without complaint; an unknown or unsupported name picks the widest
// too, with `error` saying why.
struct LevelChoice {
    Level level;
    std::string error;
};
LevelChoice ChooseLevel(const char* value, bool (*supported)(Level));

// NVESK_SIMD's choice on this processor, its error (if any) written to `errors` as one line.
Level LevelFromEnvironment(std::FILE* errors);

// LevelFromEnvironment(stderr), read once per process: what the fire and water start with.
Level ConfiguredLevel();

}  // namespace SimulationKernels
