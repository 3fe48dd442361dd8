#include "ShaderProgramBinding.h"
#include "com/Diagnostics.h"

#include "Device.h"

#include <epoxy/gl.h>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

// A pixel stage that sees window rows (its position, y derivatives, offsets in pixels) counts them
// from the top only in the back buffer's own image, not in the window.
bool ReadsWindowRows(const std::string& fragmentGlsl) {
    for (const char* name : {"gl_FragCoord", "dFdy", "interpolateAtOffset", "gl_SamplePosition"}) {
        if (fragmentGlsl.find(name) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The live device behind an interface pointer, with its context current; null if not ours.
Device* Enter(IDirect3DDevice9* device, const char* operation, HRESULT* result) {
    Device* ours = Device::FromInterface(device);
    if (ours == nullptr) {
        *result = Reject("not a live device of ours");
        return nullptr;
    }
    if (HRESULT hr = ours->EnterInternal(operation); FAILED(hr)) {
        *result = hr;
        return nullptr;
    }
    ours->MakeCurrent();
    // Errors left by earlier work must not be blamed on this call.
    while (glGetError() != GL_NO_ERROR) {}
    *result = D3D_OK;
    return ours;
}

// The GL name of a program of this device; 0 when it is not one.
GLuint ProgramOf(Device* device, ShaderProgramHandle program) {
    return device->Programs().GlProgram(program);
}

// The common path of the uniform uploads: enter the device, check the program and the arguments
// (`valid`), then run upload(glProgram, glLocation) on every GL program behind the handle.
template <typename Upload>
HRESULT SetUniform(IDirect3DDevice9* device, const char* operation, ShaderProgramHandle program, INT location,
                   bool valid, Upload upload) {
    HRESULT result;
    Device* ours = Enter(device, operation, &result);
    if (ours == nullptr) {
        return result;
    }
    if (!ours->Programs().Has(program) || !valid) {
        return Reject("not a program of this device, or the values are invalid");
    }
    for (const ShaderPrograms::UniformTarget& target : ours->Programs().UniformTargets(program, location)) {
        upload(target.program, target.location);
    }
    return glGetError() == GL_NO_ERROR ? D3D_OK : Reject("OpenGL refused the values for this uniform");
}

// Float or int vectors of 1..4 components, through the GL entry for each component count.
template <typename Value, typename Setter>
HRESULT SetVectors(IDirect3DDevice9* device, const char* operation, ShaderProgramHandle program, INT location,
                   UINT components, UINT count, const Value* values, const Setter (&byComponents)[4]) {
    return SetUniform(device, operation, program, location,
                      components >= 1 && components <= 4 && count > 0 && values != nullptr,
                      [&](GLuint glProgram, GLint glLocation) {
                          byComponents[components - 1](glProgram, glLocation, static_cast<GLsizei>(count), values);
                      });
}

}  // namespace

int VertexAttributeLocation(BYTE usage, BYTE usageIndex) {
    if (usage == D3DDECLUSAGE_TEXCOORD) {
        return usageIndex < 8 ? 8 + usageIndex : -1;
    }
    if (usage == D3DDECLUSAGE_COLOR) {
        return usageIndex == 0 ? 7 : usageIndex == 1 ? 4 : -1;
    }
    if (usageIndex != 0) {
        return -1;
    }
    switch (usage) {
    // A pretransformed position takes the place of the untransformed one.
    case D3DDECLUSAGE_POSITION:
    case D3DDECLUSAGE_POSITIONT:
        return 0;
    case D3DDECLUSAGE_BLENDWEIGHT:
        return 1;
    case D3DDECLUSAGE_BLENDINDICES:
        return 2;
    case D3DDECLUSAGE_NORMAL:
        return 3;
    case D3DDECLUSAGE_TANGENT:
        return 5;
    case D3DDECLUSAGE_BINORMAL:
        return 6;
    default:
        return -1;
    }
}

HRESULT CheckShaderProgram(IDirect3DDevice9* device, const ShaderProgramSource& source, std::string* log) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::CheckShaderProgram", &result);
    if (ours == nullptr) {
        return result;
    }
    const HRESULT checked = ShaderPrograms::Check(source, log);
    if (SUCCEEDED(checked) && ReadsWindowRows(source.fragmentGlsl)) {
        ours->KeepFrameOutOfWindow();
    }
    return checked;
}

HRESULT LinkShaderProgram(IDirect3DDevice9* device, const ShaderProgramSource& source, ShaderProgramHandle* program,
                          std::string* log) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::LinkShaderProgram", &result);
    if (ours == nullptr) {
        return result;
    }
    const HRESULT linked = ours->Programs().Link(source, program, log);
    if (SUCCEEDED(linked) && ReadsWindowRows(source.fragmentGlsl)) {
        ours->KeepFrameOutOfWindow();
    }
    return linked;
}

HRESULT UseShaderProgram(IDirect3DDevice9* device, ShaderProgramHandle program) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::UseShaderProgram", &result);
    if (ours == nullptr) {
        return result;
    }
    return ours->Programs().Use(program);
}

HRESULT ReleaseShaderProgram(IDirect3DDevice9* device, ShaderProgramHandle program) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::ReleaseShaderProgram", &result);
    if (ours == nullptr) {
        return result;
    }
    return ours->Programs().Free(program);
}

INT GetUniformLocation(IDirect3DDevice9* device, ShaderProgramHandle program, const char* name) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::GetUniformLocation", &result);
    if (ours == nullptr || name == nullptr) {
        return -1;
    }
    const GLuint glProgram = ProgramOf(ours, program);
    return glProgram == 0 ? -1 : glGetUniformLocation(glProgram, name);
}

HRESULT SetUniformFloats(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT components,
                         UINT count, const float* values) {
    const PFNGLPROGRAMUNIFORM1FVPROC byComponents[4] = {glProgramUniform1fv, glProgramUniform2fv, glProgramUniform3fv,
                                                        glProgramUniform4fv};
    return SetVectors(device, "ShaderProgramBinding::SetUniformFloats", program, location, components, count, values,
                      byComponents);
}

HRESULT SetUniformInts(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT components, UINT count,
                       const INT* values) {
    const PFNGLPROGRAMUNIFORM1IVPROC byComponents[4] = {glProgramUniform1iv, glProgramUniform2iv, glProgramUniform3iv,
                                                        glProgramUniform4iv};
    return SetVectors(device, "ShaderProgramBinding::SetUniformInts", program, location, components, count, values,
                      byComponents);
}

HRESULT SetUniformMatrices(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT columns, UINT rows,
                           UINT count, BOOL transpose, const float* values) {
    // [columns - 2][rows - 2], as GLSL's matCxR.
    const PFNGLPROGRAMUNIFORMMATRIX2FVPROC bySize[3][3] = {
        {glProgramUniformMatrix2fv, glProgramUniformMatrix2x3fv, glProgramUniformMatrix2x4fv},
        {glProgramUniformMatrix3x2fv, glProgramUniformMatrix3fv, glProgramUniformMatrix3x4fv},
        {glProgramUniformMatrix4x2fv, glProgramUniformMatrix4x3fv, glProgramUniformMatrix4fv}};
    return SetUniform(device, "ShaderProgramBinding::SetUniformMatrices", program, location,
                      columns >= 2 && columns <= 4 && rows >= 2 && rows <= 4 && count > 0 && values != nullptr,
                      [&](GLuint glProgram, GLint glLocation) {
                          bySize[columns - 2][rows - 2](glProgram, glLocation, static_cast<GLsizei>(count),
                                                        transpose ? GL_TRUE : GL_FALSE, values);
                      });
}

HRESULT SetSamplerUnit(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT unit) {
    return SetUniform(device, "ShaderProgramBinding::SetSamplerUnit", program, location, unit < 20,
                      [&](GLuint glProgram, GLint glLocation) {
                          glProgramUniform1i(glProgram, glLocation, static_cast<GLint>(unit));
                      });
}

}  // namespace nvesk::d3d9
