// What SetTexture binds to a sampler unit: a 2D or a cube texture held in GL.
#pragma once

#include <d3d9.h>

namespace nvesk::d3d9 {

class Device;

class SampledTexture {
public:
    virtual Device* DeviceOfTexture() const = 0;
    // The interface the application set, and gets back from GetTexture.
    virtual IDirect3DBaseTexture9* BaseTexture() = 0;
    // GL texture name; 0 for CPU-only pools, which cannot be sampled.
    virtual unsigned int GlTexture() const = 0;
    virtual bool IsCube() const = 0;

protected:
    virtual ~SampledTexture() = default;
};

}  // namespace nvesk::d3d9
