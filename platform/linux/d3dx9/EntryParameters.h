// glslang's HLSL front end crashes (a null name) on an entry point that has a parameter without a
// name, `float4 VS(float4 : POSITION)`, in every stage; the compiler refuses such entries first.
#pragma once

#include "EffectLexer.h"

#include <string>

namespace nvesk::d3dx9 {

// True with `where` at the parameter when a definition of `entry` in `hlsl` has a parameter that
// is a type alone (modifiers, array sizes and a semantic aside). A lone `void` is no parameter.
bool FindUnnamedEntryParameter(const std::string& hlsl, const std::string& entry, SourcePosition& where);

}  // namespace nvesk::d3dx9
