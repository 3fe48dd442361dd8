// How the effect layer (D3DX) hands its compiled GLSL programs and their constants to our
// Direct3D 9 device. Internal to the Linux platform layer: the engine never includes this.
//
// Contract, stable:
// - Programs belong to the device they were linked on; they survive Reset and device loss
//   (as Direct3D shaders do) and are freed with ReleaseShaderProgram or with the device.
// - Vertex inputs are bound by Direct3D declaration usage and usage index: an input named in
//   ShaderProgramSource::attributes reads the declaration element with that usage/index, for
//   every usage and index 0..15, up to 16 inputs a program (AttributeLocations.h).
// - The device wraps both shaders before compiling: the vertex stage gets the Direct3D 9
//   half-pixel shift (63/64 of a pixel, from the current viewport), the fragment stage the
//   alpha test (D3DRS_ALPHATESTENABLE/ALPHAFUNC/ALPHAREF; a second link of the program, drawn
//   with only while the test is on). Sources must not use identifiers that begin with "nvesk_".
// - Draws (DrawPrimitive, DrawIndexedPrimitive) use the program made current with
//   UseShaderProgram; without one (or for the stage a program leaves empty) they use the
//   fixed-function stages the device generates (FixedFunction.h), or fail with
//   D3DERR_NOTAVAILABLE when the state is outside that subset.
// - Fragment stages see Direct3D 9's target: gl_FragCoord counts rows from its top (a program
//   that reads it keeps the device drawing into the back buffer's own image), and gl_FrontFacing
//   is true on its front faces: clockwise triangles, counterclockwise ones under D3DCULL_CW.
// - Textures: a sampler uniform names a unit with SetSamplerUnit; the texture and the sampler
//   states of that unit are IDirect3DDevice9::SetTexture(unit, ...) and SetSamplerState(unit, ...),
//   exactly as for Direct3D sampler registers s0..s15.
// - Every function returns D3D_OK or a failure HRESULT: D3DERR_INVALIDCALL for a device or
//   program that is not ours/alive or a bad argument, E_FAIL for a GLSL compile or link error
//   (the log then holds the driver's message).
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

namespace nvesk::d3d9 {

// 0 is never a program.
typedef UINT ShaderProgramHandle;

// One vertex shader input and the declaration element it reads.
struct ShaderAttribute {
    std::string name;  // the GLSL input variable
    BYTE usage;        // D3DDECLUSAGE
    BYTE usageIndex;
};

// A value one stage hands the other, by its Direct3D 9 semantic.
struct ShaderVarying {
    BYTE usage;  // D3DDECLUSAGE_COLOR or D3DDECLUSAGE_TEXCOORD reach the fixed-function side
    BYTE usageIndex;
    UINT location;    // its layout location in the given stage
    UINT components;  // 1..4: float, vec2, vec3, vec4
};

struct ShaderProgramSource {
    // Complete shaders, "#version 450" (or any 330+ core) first. One of them may be empty: the
    // device then generates that stage from its fixed-function state at each draw (D3DFVF_XYZ /
    // XYZRHW transform, or the texture stages), as Direct3D 9 does for a null vertex or pixel shader.
    std::string vertexGlsl;
    std::string fragmentGlsl;
    // With one stage empty: the given stage's outputs (vertex) or inputs (fragment) other than the
    // position, each declared with layout(location = ...); the generated stage matches them.
    std::vector<ShaderVarying> varyings;
    std::vector<ShaderAttribute> attributes;
    // The fragment output written as COLOR0 (the alpha test reads it). Empty: the only
    // "out vec4" of the fragment shader.
    std::string colorOutput;
};

// The GL vertex attribute location the generated fixed-function stages read a declaration
// usage/usage index from; -1 when they read nothing from it. A program's own inputs may take others.
int VertexAttributeLocation(BYTE usage, BYTE usageIndex);

// Everything LinkShaderProgram checks before the driver compiles: the inputs, the varyings and the
// device's wrapping of both stages; on failure *log says why. D3D_OK leaves only the driver's
// compiler and linker to refuse the program (as a Direct3D 9 driver may refuse a shader at its
// first draw). A pixel stage that reads its window position settles the frame's place now.
HRESULT CheckShaderProgram(IDirect3DDevice9* device, const ShaderProgramSource& source, std::string* log);

// Compiles and links; on failure *log receives the compiler's or linker's text.
HRESULT LinkShaderProgram(IDirect3DDevice9* device, const ShaderProgramSource& source, ShaderProgramHandle* program,
                          std::string* log);

// Makes the program current for the following draws; 0 unbinds (draws then use fixed function).
HRESULT UseShaderProgram(IDirect3DDevice9* device, ShaderProgramHandle program);

// Frees the program; it is unbound first if it was current.
HRESULT ReleaseShaderProgram(IDirect3DDevice9* device, ShaderProgramHandle program);

// Location of a uniform (arrays: "name[0]"); -1 when the linker removed or never had it.
INT GetUniformLocation(IDirect3DDevice9* device, ShaderProgramHandle program, const char* name);

// Uniform uploads; they work whether or not the program is current. A location of -1 is
// accepted and ignored, as in GL.
// float, vec2, vec3, vec4 (components 1..4), `count` array elements.
HRESULT SetUniformFloats(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT components,
                         UINT count, const float* values);
// int/bool, ivec2..ivec4.
HRESULT SetUniformInts(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT components, UINT count,
                       const INT* values);
// matColumnsxRows as GLSL spells it (2..4 each), `count` matrices of column-major floats;
// transpose = TRUE reads row-major floats (a D3DXMATRIX as stored).
HRESULT SetUniformMatrices(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT columns, UINT rows,
                           UINT count, BOOL transpose, const float* values);

// Points a sampler uniform at texture unit `unit` (0..15, the SetTexture stage).
HRESULT SetSamplerUnit(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT unit);

}  // namespace nvesk::d3d9
