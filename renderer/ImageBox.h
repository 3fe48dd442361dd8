// The engine's 2D layer: one dynamic vertex buffer with a quad per registered image, the quad's
// vertex declaration, the image effect and the pixel-to-clip-space projection.
#pragma once

#include "renderer/ImageVertex.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <cstdint>
#include <string>
#include <vector>

namespace NVesk {
namespace NRenderer {

class Image;

class ImageBox {
public:
    // Points device and caps at the renderer's published state; nothing else exists yet.
    ImageBox();
    // Leaves images and device objects alone: at exit the device they belong to is gone.
    ~ImageBox() = default;
    ImageBox(const ImageBox&) = delete;
    ImageBox& operator=(const ImageBox&) = delete;

    // Checks shader model 2.0 and creates the vertex declaration. 0; 6 no pixel shader 2.0;
    // 5 no vertex shader 2.0. An empty name selects the built-in effect.
    std::int32_t InitImageBox(std::wstring effectFileName);
    // Compiles the effect, builds the quad buffer and restores every image into its slot.
    // 0; 1 effect not created; 3 vertex buffer not usable; 4 an image's Restore failed.
    std::int32_t RestoreBox(float width, float height);
    // Releases the effect, the buffer and the images' device textures; slots become -1.
    void ReleaseBox();
    // Writes the quads of images that moved, resized or turned since they were last written.
    void ApplyChanges();
    // Binds the buffer and declaration, hands the projection to the effect, begins its pass 0.
    void BeginDraw();
    // Registers an image; the box owns it from now on. Its slot comes with the next RestoreBox.
    void AddImage(Image* image);
    // Creates and registers a plain image without a file (its owner sets its texture).
    void CreateImage(Image*& holder);
    // Unlists and destroys the holder's image, and nulls the holder; only while initialized.
    void RemoveImage(Image*& holder);
    // Releases the buffer, the effect and the declaration.
    void ShutdownBox();

    std::uint32_t currentIndex;
    std::vector<Image*> images;
    IDirect3DVertexBuffer9* vertexBuffer;
    IDirect3DDevice9** device;
    D3DCAPS9* caps;
    IDirect3DVertexDeclaration9* vertexDeclaration;
    ID3DXEffect* effect;
    D3DXMATRIX projection;
    std::wstring effectFileName;
    bool useBuiltInEffect;
    std::int32_t blendEffect;
    bool initialized;

    // The built-in effect texts, handed to the compiler with their terminating zero.
    static const char AlphaTestEffectSource[756];
    static const char AlphaBlendEffectSource[759];
};

// The process's one image box, constructed before the program's entry runs.
extern ImageBox TheImageBox;

}  // namespace NRenderer
}  // namespace NVesk
