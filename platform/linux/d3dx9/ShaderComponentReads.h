// Which components of a source register an instruction reads: its swizzle applied to the lanes
// the instruction uses (those its write mask names for per-component arithmetic; x, y and z for
// dp3; the coordinates a sampler's texture type takes; ...), as a mask of the register's own
// components.
#pragma once

#include "ShaderAssembly.h"
#include "ShaderInstructionTable.h"

#include <cstdint>

namespace nvesk::d3dx9 {

// Where the reference leaves the components open (a scalar instruction without a replicate
// swizzle, a sampler of unknown type): any written component will do.
constexpr std::uint8_t kAnyComponent = 0x10;

// Source `position` of `instruction`; `samplerType` is the declared type of its sampler (0 when
// none or unknown). For the matrix of m4x4 ..., the components of each of its rows.
std::uint8_t ComponentsRead(const AssemblyInstruction& instruction, const InstructionInfo& info, int position,
                            int samplerType);

}  // namespace nvesk::d3dx9
