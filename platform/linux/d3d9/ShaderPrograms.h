// The GL programs the effect layer linked on one device, and the per-draw uniforms that carry
// Direct3D's half-pixel shift and alpha test into them.
#pragma once

#include "ShaderProgramBinding.h"

#include <map>

namespace nvesk::d3d9 {

class ShaderPrograms {
public:
    HRESULT Link(const ShaderProgramSource& source, ShaderProgramHandle* handle, std::string* log);
    HRESULT Use(ShaderProgramHandle handle);
    HRESULT Free(ShaderProgramHandle handle);
    void FreeAll();

    bool Has(ShaderProgramHandle handle) const { return programs_.count(handle) != 0; }
    unsigned int GlProgram(ShaderProgramHandle handle) const;
    bool HasCurrent() const { return current_ != 0; }

    // Binds the current program and brings its Direct3D uniforms up to date; the pixel offset is
    // in clip units, alphaFunction a D3DCMPFUNC (D3DCMP_ALWAYS when the test is off).
    void PrepareDraw(float offsetX, float offsetY, DWORD alphaFunction, float alphaReference);

private:
    struct Program {
        unsigned int name = 0;
        int pixelOffset = -1;
        int alphaFunction = -1;
        int alphaReference = -1;
        float lastOffset[2] = {0.0f, 0.0f};
        int lastAlphaFunction = 8;
        float lastAlphaReference = 0.0f;
    };

    std::map<ShaderProgramHandle, Program> programs_;
    ShaderProgramHandle next_ = 1;
    ShaderProgramHandle current_ = 0;
    unsigned int boundName_ = 0;
};

}  // namespace nvesk::d3d9
