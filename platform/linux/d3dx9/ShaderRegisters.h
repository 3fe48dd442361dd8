// The register files of an assembled Direct3D 9 shader as GLSL globals: which files, inputs,
// outputs and constants the program touches (one scan ahead of translation, ShaderRegisters.cpp),
// how a source operand reads (swizzle, modifier, relative address, constants a `def` fixes) and how
// a result reaches its destination (shift, saturation, the ps_1_x range, write mask, predicate:
// ShaderOperands.cpp), and the uniforms, varyings and copies in and out (ShaderStageInterface.cpp).
#pragma once

#include "ShaderAssembly.h"

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// A vertex input, a varying or a pixel output by Direct3D 9 usage.
struct UsageRegister {
    int usage = 0;  // D3DDECLUSAGE
    int usageIndex = 0;
    int index = 0;            // the v# or o# register it sits in
    std::uint8_t mask = 0xF;  // the components of that register it takes (vs_3_0, ps_3_0 packing)
};

// D3DDECLUSAGE_POSITION -> "POSITION"; empty for a usage Direct3D 9 does not have.
std::string UsageName(int usage);
// The rows of m4x4, m4x3, m3x4, m3x3 and m3x2 (registers from the second source on); 0 for any
// other instruction.
int MatrixRows(const std::string& name);

// The letters of a write mask: 0x5 -> "xz".
std::string MaskComponents(std::uint8_t mask);

enum class SamplerKind { Texture2D, Cube, Volume };
// The kind of a declaration's sampler type: 2 (2D), 3 (cube), 4 (volume), as `dcl_2d`, `dcl_cube`
// and `dcl_volume` give them (D3DSTT_* shifted down by 27; the unshifted values mean the same).
SamplerKind SamplerKindOf(int samplerType);

// The sampler type of each texture stage for ps_1_x, which declares none: 0 where unknown, which
// reads a 2D texture, or a cube map where the stage is read with three coordinates.
struct PixelShader1xTextures {
    std::array<int, 8> types {};
};

class ShaderRegisters {
public:
    ShaderRegisters(const AssembledShader& shader, const PixelShader1xTextures& textures);

    // A fault the scan found (an operand the translation has no GLSL for), or empty.
    const std::string& Error() const { return error_; }
    SourcePosition ErrorPosition() const { return errorPosition_; }

    bool Vertex() const { return version_.stage == ShaderStage::Vertex; }
    bool PixelShader1x() const { return !Vertex() && version_.major == 1; }
    // ps_1_1 to ps_1_3, whose t# registers are texture results and whose coordinates come apart.
    bool TextureRegistersHoldResults() const { return PixelShader1x() && version_.minor < 4; }
    const ShaderVersion& Version() const { return version_; }

    // The value a source operand reads, as a GLSL vec4 expression.
    std::string Read(const SourceOperand& source) const;
    // Its first component (scalar instructions read the x of the swizzled value).
    std::string ReadScalar(const SourceOperand& source) const { return "(" + Read(source) + ").x"; }
    // A bool (b#, p0 with its swizzle, either with `!`) or int (i#) operand of flow control.
    std::string ReadBool(const SourceOperand& source) const;
    std::string ReadInt(const SourceOperand& source) const;
    // The texture coordinates of stage `stage` (ps_1_x texture addressing).
    std::string TextureCoordinates(int stage) const;

    // Statements that store the vec4 `value` (a GLSL variable) to `destination`, as the
    // instruction's modifiers and the instruction's predicate say. `rangeClamp` false skips the
    // ps_1_x register range (texcrd moves coordinates, which keep their own range).
    std::string Write(const AssemblyInstruction& instruction, const std::string& value, bool rangeClamp = true) const;

    // GLSL globals ahead of the program's own code, and the functions operands read through.
    std::string Declarations() const;
    std::string AccessHelpers() const;
    // Statements that load the inputs before the program runs, and store the outputs after.
    std::string LoadInputs() const;
    std::string StoreOutputs() const;

    // The interface the stage has with the device and the other stage.
    const std::vector<UsageRegister>& VertexInputs() const { return vertexInputs_; }
    const std::vector<UsageRegister>& Varyings() const { return varyings_; }
    std::string ConstantsName(char file) const;  // 'c', 'i', 'b'
    int ConstantCount(char file) const;
    // Samplers by stage (s#, or the texture stage for ps_1_x) and their kind.
    const std::map<int, SamplerKind>& Samplers() const { return samplerTypes_; }
    std::string SamplerName(int stage) const;
    bool UsesBumpEnvironment() const { return usesBumpEnvironment_; }
    bool WritesDepth() const { return writesDepth_; }
    // oC# written, with oC0 (ps_1_x: r0) always there for the device's alpha test.
    std::set<int> ColorOutputsWithZero() const;
    static std::string VertexInputName(const UsageRegister& input);

    // GLSL names of the uniforms the device fills for texbem, texbeml and bem: per texture stage,
    // vec4(BUMPENVMAT00, BUMPENVMAT01, BUMPENVMAT10, BUMPENVMAT11) and vec2(LSCALE, LOFFSET).
    static const char* BumpMatrixName() { return "fx_bump_env_matrix"; }
    static const char* BumpLuminanceName() { return "fx_bump_env_luminance"; }
    // The uniform the device fills for ps_1_1-1_3's tex: bit N set where texture stage N has
    // D3DTTFF_PROJECTED, whose coordinates are divided by their w before the lookup.
    static const char* ProjectedStagesName() { return "fx_projected_stages"; }

private:
    void Scan(const AssembledShader& shader, const PixelShader1xTextures& textures);
    void Fail(SourcePosition position, const std::string& message);
    void NoteSource(const SourceOperand& source);
    void NoteDestination(const DestinationOperand& destination);
    void NoteDeclaration(const AssemblyInstruction& instruction);
    void NoteTextures(const AssemblyInstruction& instruction, const PixelShader1xTextures& textures);
    std::string RegisterValue(const SourceOperand& source) const;
    std::string RelativeIndex(const SourceOperand& source) const;
    std::string DestinationName(const DestinationOperand& destination) const;
    std::string ConstantRead(int index) const;
    const char* StagePrefix() const { return Vertex() ? "fx_vs_" : "fx_ps_"; }

    ShaderVersion version_;
    std::string error_;
    SourcePosition errorPosition_;

    int temps_ = 0;          // r#: highest index + 1
    int inputs_ = 0;         // v#
    int textures_ = 0;       // t# as registers (ps_1_1 to ps_1_3)
    int constants_ = 0;      // c# read directly
    int intConstants_ = 0;   // i#
    int boolConstants_ = 0;  // b#
    bool relativeConstants_ = false;
    bool relativeInputs_ = false;
    bool relativeOutputs_ = false;
    std::set<int> textureCoordinates_;  // TEXCOORD# the pixel stage reads (tc#)
    std::set<int> colorInputs_;         // v# of ps_1_x and ps_2_x: COLOR#
    std::set<int> rastOutputs_;         // oPos 0, oFog 1, oPts 2
    std::set<int> attributeOutputs_;    // oD#
    std::set<int> texCoordOutputs_;     // oT#
    std::set<int> colorOutputs_;        // oC#
    bool writesDepth_ = false;
    bool usesPosition_ = false;  // vPos
    bool usesFace_ = false;      // vFace
    bool usesBumpEnvironment_ = false;
    bool usesProjection_ = false;
    std::map<int, std::array<float, 4>> floatDefinitions_;
    std::map<int, std::array<int, 4>> intDefinitions_;
    std::map<int, bool> boolDefinitions_;
    std::set<int> readInputs_;                     // v# read directly
    int positionOutput_ = -1;                      // vs_3_0: the o# declared POSITION0
    UsageRegister pointSizeOutput_ {-1, 0, 0, 0};  // vs_3_0: the o# declared PSIZE
    std::map<int, SamplerKind> samplerTypes_;
    std::vector<UsageRegister> vertexInputs_;
    std::vector<UsageRegister> varyings_;
};

}  // namespace nvesk::d3dx9
