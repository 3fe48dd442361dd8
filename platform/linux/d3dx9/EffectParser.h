// The effect front end: reads parameters (with defaults, semantics and annotations), samplers with
// their sampler_state blocks, and techniques with their passes, and leaves the plain HLSL behind.
#pragma once

#include "EffectDescription.h"

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

struct ParseResult {
    bool ok = false;
    EffectDescription description;
    SourcePosition errorPosition;
    std::string error;
};

// `backwardsCompatible`: compiled with D3DXSHADER_ENABLE_BACKWARDS_COMPATIBILITY, where shader code
// may write to uniform globals (each invocation then works on its own copy).
ParseResult ParseEffect(const std::string& source, bool backwardsCompatible = false);

// `(float[4])v` in a function body becomes a call of ArrayCastFunction("float", 4), which the HLSL
// compiler defines for each of these element types and 1 to kMaxArrayCast elements.
constexpr int kMaxArrayCast = 4;
const std::vector<std::string>& ArrayCastTypes();
std::string ArrayCastFunction(const std::string& type, int count);

// `text` in ASCII lower case, as effect keywords, types and states compare.
std::string Lower(std::string text);

}  // namespace nvesk::d3dx9
