// The GL programs the effect layer linked on one device, and the per-draw uniforms that carry
// Direct3D's half-pixel shift and alpha test into them.
#pragma once

#include "ShaderProgramBinding.h"

#include <map>
#include <unordered_map>
#include <vector>

namespace nvesk::d3d9 {

// Each program is linked twice: as given, and with the alpha test. Draws with the alpha test off
// use the first, because a fragment shader that may discard costs Mesa's software rasteriser its
// early depth test and a good part of its fill rate. Uniform locations are those of the first;
// uploads reach both through a table of the second's locations.
class ShaderPrograms {
public:
    // A GL program behind a handle and a uniform location translated into it.
    struct UniformTarget {
        unsigned int program = 0;
        int location = -1;
    };

    HRESULT Link(const ShaderProgramSource& source, ShaderProgramHandle* handle, std::string* log);
    HRESULT Use(ShaderProgramHandle handle);
    HRESULT Free(ShaderProgramHandle handle);
    void FreeAll();

    bool Has(ShaderProgramHandle handle) const { return programs_.count(handle) != 0; }
    // The program whose uniform locations the effect layer sees; 0 for an unknown handle.
    unsigned int GlProgram(ShaderProgramHandle handle) const;
    // Both GL programs of a handle with `location` (one of GlProgram's) in each; empty for an
    // unknown handle.
    std::vector<UniformTarget> UniformTargets(ShaderProgramHandle handle, int location) const;
    bool HasCurrent() const { return current_ != 0; }
    // The stage ("vertex" or "pixel") the current program leaves to the fixed-function pipeline;
    // null when it has both.
    const char* CurrentMissingStage() const;

    // Binds the current program's variant for the alpha test and brings its Direct3D uniforms up
    // to date; the pixel offset is in clip units, alphaFunction a D3DCMPFUNC (D3DCMP_ALWAYS when
    // the test is off).
    void PrepareDraw(float offsetX, float offsetY, DWORD alphaFunction, float alphaReference);

private:
    struct Variant {
        unsigned int name = 0;
        int pixelOffset = -1;
        float lastOffset[2] = {0.0f, 0.0f};
    };
    struct Program {
        Variant plain;
        Variant alphaTested;
        std::unordered_map<int, int> alphaTestedLocations;  // plain location -> alpha-tested one
        int alphaFunction = -1;
        int alphaReference = -1;
        int lastAlphaFunction = 8;
        float lastAlphaReference = 0.0f;
        // A program of one stage keeps its source for the fixed-function stage it is drawn with.
        const char* missingStage = nullptr;
        ShaderProgramSource partial;
    };

    static void Delete(const Program& program);
    HRESULT LinkOneStage(const ShaderProgramSource& source, ShaderProgramHandle* handle, std::string* log);

    std::map<ShaderProgramHandle, Program> programs_;
    ShaderProgramHandle next_ = 1;
    ShaderProgramHandle current_ = 0;
    unsigned int boundName_ = 0;
};

}  // namespace nvesk::d3d9
