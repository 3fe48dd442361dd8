// A 2D or a cube texture as the device uses it: what SetTexture binds to a sampler unit, and the
// images UpdateTexture copies.
#pragma once

#include <d3d9.h>

namespace nvesk::d3d9 {

class Device;
class Surface;

class SampledTexture {
public:
    virtual Device* DeviceOfTexture() const = 0;
    // The interface the application set, and gets back from GetTexture.
    virtual IDirect3DBaseTexture9* BaseTexture() = 0;
    // GL texture name; 0 for CPU-only pools, which cannot be sampled.
    virtual unsigned int GlTexture() const = 0;
    virtual bool IsCube() const = 0;
    // Faces in D3DCUBEMAP_FACES order (one for a 2D texture), each of LevelCount levels.
    virtual UINT FaceCount() const = 0;
    virtual UINT LevelCount() const = 0;
    // Level `level` of face `face`; null where there is no such face or level.
    virtual Surface* FaceLevel(UINT face, UINT level) const = 0;

protected:
    virtual ~SampledTexture() = default;
};

}  // namespace nvesk::d3d9
