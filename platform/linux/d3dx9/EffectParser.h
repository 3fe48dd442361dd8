// The effect front end: reads parameters (with defaults, semantics and annotations), samplers with
// their sampler_state blocks, and techniques with their passes, and leaves the plain HLSL behind.
#pragma once

#include "EffectDescription.h"

#include <string>

namespace nvesk::d3dx9 {

struct ParseResult {
    bool ok = false;
    EffectDescription description;
    SourcePosition errorPosition;
    std::string error;
};

ParseResult ParseEffect(const std::string& source);

// `text` in ASCII lower case, as effect keywords, types and states compare.
std::string Lower(std::string text);

}  // namespace nvesk::d3dx9
