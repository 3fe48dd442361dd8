// `compile vs_2_0 VS(true, 2)`: the arguments fill VS's uniform parameters. The compiled entry is
// a function of ours, appended to the effect's HLSL, that takes VS's other parameters and calls
// VS with the arguments in place, so each distinct argument list is a program of its own.
#pragma once

#include "EffectDescription.h"

#include <string>

namespace nvesk::d3dx9 {

// Appends to `hlsl` the entry that binds request's arguments and points `bound` at it (under
// `entryName`); with no arguments `bound` is the request itself. False with `error` set when the
// function is unknown or the arguments do not match its uniform parameters.
bool BindShaderArguments(const EffectDescription& description, const ShaderCompileRequest& request,
                         const std::string& entryName, std::string& hlsl, ShaderCompileRequest& bound,
                         std::string& error);

}  // namespace nvesk::d3dx9
