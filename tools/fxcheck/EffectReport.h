// What fxcheck prints about a created effect: each technique with its passes and whether it
// validates on the device, and each parameter with its type, semantic and annotations.
#pragma once

#include <d3dx9.h>

#include <cstdio>

namespace FxCheck {

// Writes the techniques to `out`; returns how many of them fail ValidateTechnique.
int ReportTechniques(ID3DXEffect* effect, std::FILE* out);
void ReportParameters(ID3DXEffect* effect, std::FILE* out);

}  // namespace FxCheck
