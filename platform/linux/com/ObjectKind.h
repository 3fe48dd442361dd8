// The kinds of COM object the platform layer hands out, as the live-object counts and the leak
// report tell them apart.
#pragma once

#include <windows.h>

namespace nvesk::com {

enum class Kind {
    // Direct3D 9
    Direct3D,
    Device,
    Texture,
    CubeTexture,
    Surface,
    VertexBuffer,
    IndexBuffer,
    VertexDeclaration,
    // D3DX 9
    Effect,
    Mesh,
    Buffer,
    // DirectInput 8
    DirectInput,
    InputDevice,
    Count
};

// The interface an object of the kind answers to ("IDirect3DTexture9").
const char* InterfaceName(Kind kind);

// What a call on an object of the kind returns after its last Release: D3DERR_INVALIDCALL for
// Direct3D and D3DX, DIERR_NOTINITIALIZED for DirectInput.
HRESULT StaleCallResult(Kind kind);

}  // namespace nvesk::com
