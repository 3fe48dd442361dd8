// One textured rectangle on the screen, with its quad slot in the image box's shared buffer, and
// the shared cache of file textures.
#pragma once

#include "renderer/ImageVertex.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <cstdint>
#include <string>
#include <vector>

namespace NVesk {
namespace NRenderer {

class Image {
public:
    // An empty name: the texture is set by the owner, never by the texture manager.
    explicit Image(const std::wstring& fileName);
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Draws the quad with the image effect: the result of DrawPrimitive. An image without a slot
    // draws nothing and yields D3DERR_INVALIDCALL.
    virtual HRESULT Draw();
    // Gives back a file texture still held.
    virtual ~Image();
    // Loads the file texture (a file image takes the file's size), takes the slot and writes the
    // whole quad at vertexData. 0, or the texture manager's nonzero result.
    virtual std::int32_t Restore(std::int32_t slot);
    // Gives back the file texture; the slot becomes -1.
    virtual void Release();
    // Rewrites the quad's positions at vertexData when position, size or rotation changed.
    // An image without a slot writes nothing.
    void UpdateVertices();

    // A file's texture shared by every image that shows it with the same colour key.
    struct TextureEntry {
        IDirect3DTexture9* texture;
        D3DXIMAGE_INFO info;
        D3DCOLOR colorKey;
        std::int32_t refCount;
        std::wstring fileName;
    };

    class TextureManager {
    public:
        // The entry of (fileName, colorKey), loading the file into a default-pool texture the first
        // time. 0 ok (outputs filled); 1 load failed (outputs untouched).
        static std::int32_t LoadTexture(const std::wstring& fileName, D3DCOLOR colorKey, D3DXIMAGE_INFO& info,
                                        IDirect3DTexture9*& texture);
        // One user fewer; the last one frees the texture and removes its entry. 0; 2 no entry
        // holds the texture.
        static std::int32_t ReleaseTexture(IDirect3DTexture9*& texture);

        static IDirect3DDevice9* device;
        static std::vector<TextureEntry> entries;
    };

    IDirect3DTexture9* texture;
    std::wstring fileName;
    float lastRotation;
    float lastWidth;
    float lastHeight;
    float lastX;
    float lastY;
    float rotation;
    float width;
    float height;
    float x;
    float y;
    std::int32_t index;
    D3DCOLOR colorKey;
    bool ownsFileTexture;

    // Filled by the image box: the device, the effect, and the locked buffer (null while unlocked).
    static IDirect3DDevice9* device;
    static ID3DXEffect* effect;
    static ImageVertex* vertexData;

protected:
    // The quad's four positions for the current geometry, in strip order.
    void ComputePositions(D3DXVECTOR3 (&positions)[4]) const;
    void RememberGeometry();
};

}  // namespace NRenderer
}  // namespace NVesk
