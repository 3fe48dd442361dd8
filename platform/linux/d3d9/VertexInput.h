// The GL vertex array that feeds draws from the current declaration, stream sources and
// index buffer, rebuilt only when one of them changed.
#pragma once

#include "AttributeLocations.h"

#include <d3d9.h>

#include <array>
#include <cstddef>

namespace nvesk::d3d9 {

class VertexBuffer;
class VertexDeclaration;
class IndexBuffer;

struct StreamSource {
    VertexBuffer* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
};

inline constexpr UINT kStreamCount = 16;
using StreamSources = std::array<StreamSource, kStreamCount>;

class VertexInput {
public:
    void Create();
    void Destroy();
    void Invalidate() { dirty_ = true; }

    // Binds the vertex array, reconfigured if the inputs or the locations they feed changed
    // since the last call.
    void Bind(const VertexDeclaration& declaration, const StreamSources& streams, const IndexBuffer* indices,
              const AttributeLocations& locations);
    // After Bind: stream 0 (and the indices) from `buffer` instead, until the next Bind.
    void BindUserStream(unsigned int buffer, size_t vertexOffset, UINT stride, bool indexed);

private:
    unsigned int vertexArray_ = 0;
    bool dirty_ = true;
    unsigned int enabledMask_ = 0;
    AttributeLocations locations_;
};

}  // namespace nvesk::d3d9
