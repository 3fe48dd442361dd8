#include "ShaderProgramBinding.h"

#include "Device.h"

#include <epoxy/gl.h>

namespace nvesk::d3d9 {
namespace {

// The live device behind an interface pointer, with its context current; null if not ours.
Device* Enter(IDirect3DDevice9* device, const char* operation, HRESULT* result) {
    Device* ours = Device::FromInterface(device);
    if (ours == nullptr) {
        *result = D3DERR_INVALIDCALL;
        return nullptr;
    }
    if (HRESULT hr = ours->EnterInternal(operation); FAILED(hr)) {
        *result = hr;
        return nullptr;
    }
    ours->MakeCurrent();
    // Errors left by earlier work must not be blamed on this call.
    while (glGetError() != GL_NO_ERROR) {
    }
    *result = D3D_OK;
    return ours;
}

// The GL name of a program of this device; 0 when it is not one.
GLuint ProgramOf(Device* device, ShaderProgramHandle program) {
    return device->Programs().GlProgram(program);
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
    case D3DDECLUSAGE_POSITION: return 0;
    case D3DDECLUSAGE_BLENDWEIGHT: return 1;
    case D3DDECLUSAGE_BLENDINDICES: return 2;
    case D3DDECLUSAGE_NORMAL: return 3;
    case D3DDECLUSAGE_TANGENT: return 5;
    case D3DDECLUSAGE_BINORMAL: return 6;
    default: return -1;
    }
}

HRESULT LinkShaderProgram(IDirect3DDevice9* device, const ShaderProgramSource& source, ShaderProgramHandle* program,
                          std::string* log) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::LinkShaderProgram", &result);
    if (ours == nullptr) {
        return result;
    }
    return ours->Programs().Link(source, program, log);
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
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::SetUniformFloats", &result);
    if (ours == nullptr) {
        return result;
    }
    const GLuint glProgram = ProgramOf(ours, program);
    if (glProgram == 0 || components < 1 || components > 4 || count == 0 || values == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const GLsizei n = static_cast<GLsizei>(count);
    switch (components) {
    case 1: glProgramUniform1fv(glProgram, location, n, values); break;
    case 2: glProgramUniform2fv(glProgram, location, n, values); break;
    case 3: glProgramUniform3fv(glProgram, location, n, values); break;
    default: glProgramUniform4fv(glProgram, location, n, values); break;
    }
    return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SetUniformInts(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT components,
                       UINT count, const INT* values) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::SetUniformInts", &result);
    if (ours == nullptr) {
        return result;
    }
    const GLuint glProgram = ProgramOf(ours, program);
    if (glProgram == 0 || components < 1 || components > 4 || count == 0 || values == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const GLsizei n = static_cast<GLsizei>(count);
    switch (components) {
    case 1: glProgramUniform1iv(glProgram, location, n, values); break;
    case 2: glProgramUniform2iv(glProgram, location, n, values); break;
    case 3: glProgramUniform3iv(glProgram, location, n, values); break;
    default: glProgramUniform4iv(glProgram, location, n, values); break;
    }
    return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SetUniformMatrices(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT columns,
                           UINT rows, UINT count, BOOL transpose, const float* values) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::SetUniformMatrices", &result);
    if (ours == nullptr) {
        return result;
    }
    const GLuint glProgram = ProgramOf(ours, program);
    if (glProgram == 0 || columns < 2 || columns > 4 || rows < 2 || rows > 4 || count == 0 || values == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const GLsizei n = static_cast<GLsizei>(count);
    const GLboolean t = transpose ? GL_TRUE : GL_FALSE;
    switch (columns * 10 + rows) {
    case 22: glProgramUniformMatrix2fv(glProgram, location, n, t, values); break;
    case 23: glProgramUniformMatrix2x3fv(glProgram, location, n, t, values); break;
    case 24: glProgramUniformMatrix2x4fv(glProgram, location, n, t, values); break;
    case 32: glProgramUniformMatrix3x2fv(glProgram, location, n, t, values); break;
    case 33: glProgramUniformMatrix3fv(glProgram, location, n, t, values); break;
    case 34: glProgramUniformMatrix3x4fv(glProgram, location, n, t, values); break;
    case 42: glProgramUniformMatrix4x2fv(glProgram, location, n, t, values); break;
    case 43: glProgramUniformMatrix4x3fv(glProgram, location, n, t, values); break;
    default: glProgramUniformMatrix4fv(glProgram, location, n, t, values); break;
    }
    return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SetSamplerUnit(IDirect3DDevice9* device, ShaderProgramHandle program, INT location, UINT unit) {
    HRESULT result;
    Device* ours = Enter(device, "ShaderProgramBinding::SetSamplerUnit", &result);
    if (ours == nullptr) {
        return result;
    }
    const GLuint glProgram = ProgramOf(ours, program);
    if (glProgram == 0 || unit >= 20) {
        return D3DERR_INVALIDCALL;
    }
    glProgramUniform1i(glProgram, location, static_cast<GLint>(unit));
    return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
}

}  // namespace nvesk::d3d9
