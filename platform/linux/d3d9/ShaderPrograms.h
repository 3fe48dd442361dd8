// The GL programs the effect layer linked on one device, those the device generates for
// fixed-function state, and the per-draw uniforms that carry Direct3D's half-pixel shift, alpha
// test and fixed-function values into them.
#pragma once

#include "AttributeLocations.h"
#include "FixedFunction.h"
#include "ShaderProgramBinding.h"

#include <map>
#include <unordered_map>
#include <vector>

namespace nvesk::d3d9 {

// Each program has two variants: as given, and with the alpha test. Draws with the alpha test off
// use the first, because a fragment shader that may discard costs Mesa's software rasteriser its
// early depth test and a good part of its fill rate. The second is linked on the first draw with
// the alpha test (most programs never see one), from the values the first holds then. Uniform
// locations are those of the first; uploads reach both through a table of the second's locations.
class ShaderPrograms {
public:
    // A GL program behind a handle and a uniform location translated into it.
    struct UniformTarget {
        unsigned int program = 0;
        int location = -1;
    };

    HRESULT Link(const ShaderProgramSource& source, ShaderProgramHandle* handle, std::string* log);
    // What Link refuses before the driver sees the texts (inputs, varyings, the wrapping of both
    // stages); D3D_OK leaves only the driver's compiler and linker to refuse the program.
    static HRESULT Check(const ShaderProgramSource& source, std::string* log);
    HRESULT Use(ShaderProgramHandle handle);
    HRESULT Free(ShaderProgramHandle handle);
    void FreeAll();

    bool Has(ShaderProgramHandle handle) const { return programs_.count(handle) != 0; }
    // The program whose uniform locations the effect layer sees; 0 for an unknown handle.
    unsigned int GlProgram(ShaderProgramHandle handle) const;
    // Every GL program behind a handle with `location` (one of GlProgram's) in each; empty for an
    // unknown handle.
    std::vector<UniformTarget> UniformTargets(ShaderProgramHandle handle, int location) const;

    // The stages the current program brings (none without one), and its varyings when it brings one.
    bool CurrentHasVertex() const;
    bool CurrentHasPixel() const;
    const std::vector<ShaderVarying>& CurrentVaryings() const;
    // Where the declaration's elements go for the current program's vertex stage, or for the
    // generated one.
    const AttributeLocations& CurrentAttributeLocations() const;

    // Binds the program for a draw: the current one, completed with (or, without one, made of) the
    // stages `key` generates, linked on first use and kept; then its variant for the alpha test,
    // with the Direct3D uniforms up to date. The pixel offset is in clip units, alphaFunction a
    // D3DCMPFUNC (D3DCMP_ALWAYS when the test is off). Fails only if a generated stage does not link.
    HRESULT PrepareDraw(const FixedFunctionKey& key, const FixedFunctionUniforms& fixed, float offsetX, float offsetY,
                        DWORD alphaFunction, float alphaReference);

    // How many programs with a generated stage were linked (test hook: a cache hit links none).
    unsigned FixedFunctionLinks() const { return fixedFunctionLinks_; }

private:
    struct Variant {
        unsigned int name = 0;
        int pixelOffset = -1;
        float lastOffset[2] = {0.0f, 0.0f};
        // The generated stages' uniforms; -1 where the program has none.
        int transform = -1;
        int screen = -1;
        int depth = -1;
        int factor = -1;
        int lighting = -1;
        int texTransform = -1;
    };
    // What the alpha-tested variant is linked from; emptied once it is.
    struct Deferred {
        std::string vertexSource;
        std::string testedSource;
        AttributeBindings attributes;
    };
    // One link of a program: as given, and with the alpha test (name 0 until a draw needs it).
    struct Linked {
        Variant plain;
        Variant alphaTested;
        Deferred deferred;
        // The program whose uniform locations the effect layer sees (the handle's reference).
        unsigned int locationsFrom = 0;
        // From the locations handed out (the reference link's plain ones) to this link's; the
        // plain map is empty for the reference itself.
        std::unordered_map<int, int> plainLocations;
        std::unordered_map<int, int> alphaTestedLocations;
        int alphaFunction = -1;
        int alphaReference = -1;
        int lastAlphaFunction = 8;
        float lastAlphaReference = 0.0f;
    };
    struct Program {
        Linked reference;
        AttributeLocations locations;  // of the vertex shader's inputs
        // With a stage left to the device: the source, the generated stage the reference was
        // linked with, and the links made since for other fixed-function state.
        ShaderProgramSource source;
        FixedFunctionKey referenceKey;
        std::map<FixedFunctionKey, Linked> completed;
    };

    // The texts a program is linked from: `source` with the stages `key` generates.
    struct PairSource {
        std::string vertexGlsl;
        std::string fragmentGlsl;
        std::string colorOutput;
    };
    static PairSource CompletedSource(const ShaderProgramSource& source, const FixedFunctionKey& key);
    // The checks before any compile: the inputs' locations, the varyings, and the fixed-function
    // choice for the stage left empty.
    static HRESULT Validate(const ShaderProgramSource& source, AttributeLocations* locations,
                            FixedFunctionKey* referenceKey, std::string* log);
    static HRESULT LinkPair(const std::string& vertexGlsl, const std::string& fragmentGlsl,
                            const std::string& colorOutput, const AttributeBindings& attributes,
                            const FixedFunctionKey& generated, Linked* linked, std::string* log);
    static HRESULT LinkAlphaTested(Linked& linked);
    static void ReadLocations(Variant& variant);
    // Links `source` with the stages `key` generates for what it leaves empty.
    HRESULT LinkCompleted(const ShaderProgramSource& source, const AttributeLocations& locations,
                          const FixedFunctionKey& key, Linked* linked, std::string* log);
    Linked* LinkedFor(const FixedFunctionKey& key, HRESULT* result);
    static void Delete(const Linked& linked);
    void Unbind(const Linked& linked);

    std::map<ShaderProgramHandle, Program> programs_;
    // Programs of generated stages only, for draws without a program.
    std::map<FixedFunctionKey, Linked> fixedFunction_;
    ShaderProgramHandle next_ = 1;
    ShaderProgramHandle current_ = 0;
    unsigned int boundName_ = 0;
    unsigned fixedFunctionLinks_ = 0;
};

}  // namespace nvesk::d3d9
