#include "VertexInput.h"

#include "IndexBuffer.h"
#include "ShaderProgramBinding.h"
#include "VertexBuffer.h"
#include "VertexDeclaration.h"

#include <epoxy/gl.h>

namespace nvesk::d3d9 {
namespace {

struct AttributeFormat {
    GLint size;
    GLenum type;
    GLboolean normalized;
};

AttributeFormat FormatOf(BYTE type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return {1, GL_FLOAT, GL_FALSE};
    case D3DDECLTYPE_FLOAT2:
        return {2, GL_FLOAT, GL_FALSE};
    case D3DDECLTYPE_FLOAT3:
        return {3, GL_FLOAT, GL_FALSE};
    case D3DDECLTYPE_FLOAT4:
        return {4, GL_FLOAT, GL_FALSE};
    // B, G, R, A bytes: GL's BGRA size swaps them into place.
    case D3DDECLTYPE_D3DCOLOR:
        return {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE};
    case D3DDECLTYPE_UBYTE4:
        return {4, GL_UNSIGNED_BYTE, GL_FALSE};
    case D3DDECLTYPE_UBYTE4N:
        return {4, GL_UNSIGNED_BYTE, GL_TRUE};
    case D3DDECLTYPE_SHORT2:
        return {2, GL_SHORT, GL_FALSE};
    case D3DDECLTYPE_SHORT4:
        return {4, GL_SHORT, GL_FALSE};
    case D3DDECLTYPE_SHORT2N:
        return {2, GL_SHORT, GL_TRUE};
    case D3DDECLTYPE_SHORT4N:
        return {4, GL_SHORT, GL_TRUE};
    case D3DDECLTYPE_USHORT2N:
        return {2, GL_UNSIGNED_SHORT, GL_TRUE};
    case D3DDECLTYPE_USHORT4N:
        return {4, GL_UNSIGNED_SHORT, GL_TRUE};
    case D3DDECLTYPE_UDEC3:
        return {4, GL_UNSIGNED_INT_2_10_10_10_REV, GL_FALSE};
    case D3DDECLTYPE_DEC3N:
        return {4, GL_INT_2_10_10_10_REV, GL_TRUE};
    case D3DDECLTYPE_FLOAT16_2:
        return {2, GL_HALF_FLOAT, GL_FALSE};
    default:
        return {4, GL_HALF_FLOAT, GL_FALSE};
    }
}

}  // namespace

void VertexInput::Create() {
    glCreateVertexArrays(1, &vertexArray_);
    dirty_ = true;
    enabledMask_ = 0;
}

void VertexInput::Destroy() {
    if (vertexArray_ != 0) {
        glBindVertexArray(0);
        glDeleteVertexArrays(1, &vertexArray_);
        vertexArray_ = 0;
    }
}

void VertexInput::Bind(const VertexDeclaration& declaration, const StreamSources& streams, const IndexBuffer* indices,
                       const AttributeLocations& locations) {
    glBindVertexArray(vertexArray_);
    if (!dirty_ && locations == locations_) {
        return;
    }
    locations_ = locations;
    unsigned int enabled = 0;
    for (const D3DVERTEXELEMENT9& element : declaration.Elements()) {
        const int location = locations.Location(element.Usage, element.UsageIndex);
        if (location < 0) {
            continue;
        }
        const AttributeFormat format = FormatOf(element.Type);
        glVertexArrayAttribFormat(vertexArray_, static_cast<GLuint>(location), format.size, format.type,
                                  format.normalized, element.Offset);
        glVertexArrayAttribBinding(vertexArray_, static_cast<GLuint>(location), element.Stream);
        enabled |= 1u << location;
    }
    for (GLuint location = 0; location < AttributeLocations::kLocationCount; ++location) {
        const bool wanted = (enabled & (1u << location)) != 0;
        if (wanted != ((enabledMask_ & (1u << location)) != 0)) {
            if (wanted) {
                glEnableVertexArrayAttrib(vertexArray_, location);
            } else {
                glDisableVertexArrayAttrib(vertexArray_, location);
            }
        }
    }
    enabledMask_ = enabled;
    for (GLuint stream = 0; stream < kStreamCount; ++stream) {
        const StreamSource& source = streams[stream];
        const GLuint buffer = source.buffer != nullptr ? source.buffer->Storage().GlBuffer() : 0;
        glVertexArrayVertexBuffer(vertexArray_, stream, buffer, source.offset, static_cast<GLsizei>(source.stride));
    }
    glVertexArrayElementBuffer(vertexArray_, indices != nullptr ? indices->Storage().GlBuffer() : 0);
    dirty_ = false;
}

void VertexInput::BindUserStream(unsigned int buffer, size_t vertexOffset, UINT stride, bool indexed) {
    glVertexArrayVertexBuffer(vertexArray_, 0, buffer, static_cast<GLintptr>(vertexOffset),
                              static_cast<GLsizei>(stride));
    glVertexArrayElementBuffer(vertexArray_, indexed ? buffer : 0);
    dirty_ = true;
}

}  // namespace nvesk::d3d9
