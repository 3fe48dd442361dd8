#include "VertexDeclaration.h"
#include "com/Diagnostics.h"

#include "Device.h"

#include <algorithm>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

constexpr WORD kEndStream = 0xFF;
constexpr WORD kMaxStreams = 16;

}  // namespace

UINT VertexDeclaration::TypeSize(BYTE type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return 4;
    case D3DDECLTYPE_FLOAT2:
        return 8;
    case D3DDECLTYPE_FLOAT3:
        return 12;
    case D3DDECLTYPE_FLOAT4:
        return 16;
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4:
    case D3DDECLTYPE_UBYTE4N:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
    case D3DDECLTYPE_FLOAT16_2:
        return 4;
    case D3DDECLTYPE_SHORT4:
    case D3DDECLTYPE_SHORT4N:
    case D3DDECLTYPE_USHORT4N:
    case D3DDECLTYPE_FLOAT16_4:
        return 8;
    default:
        return 0;
    }
}

VertexDeclaration::VertexDeclaration(Device* device, std::vector<D3DVERTEXELEMENT9> elements)
    : ComObject(com::Kind::VertexDeclaration), device_(device), elements_(std::move(elements)) {
    device_->AddRef();
}

HRESULT VertexDeclaration::Create(Device* device, const D3DVERTEXELEMENT9* elements, VertexDeclaration** declaration) {
    if (elements == nullptr || declaration == nullptr) {
        return Reject("elements or declaration is null");
    }
    std::vector<D3DVERTEXELEMENT9> list;
    for (const D3DVERTEXELEMENT9* element = elements; element->Stream != kEndStream; ++element) {
        if (list.size() >= MAXD3DDECLLENGTH) {
            return Reject("more than MAXD3DDECLLENGTH elements");
        }
        if (element->Stream >= kMaxStreams || element->Type >= D3DDECLTYPE_UNUSED ||
            element->Method > MAXD3DDECLMETHOD || element->Usage > MAXD3DDECLUSAGE ||
            element->UsageIndex > MAXD3DDECLUSAGEINDEX || element->Offset % 4 != 0) {
            return Reject(
                "element %u: stream, type, method, usage or usage index out of range, or an offset not a multiple of 4",
                static_cast<unsigned>(list.size()));
        }
        // Tessellator methods need the N-patch pipeline, which this device does not have.
        if (element->Method != D3DDECLMETHOD_DEFAULT) {
            return Reject("tessellator methods are not offered");
        }
        const bool repeated = std::any_of(list.begin(), list.end(), [element](const D3DVERTEXELEMENT9& other) {
            return other.Usage == element->Usage && other.UsageIndex == element->UsageIndex;
        });
        if (repeated) {
            return Reject("usage %u index %u appears twice", static_cast<unsigned>(element->Usage),
                          static_cast<unsigned>(element->UsageIndex));
        }
        list.push_back(*element);
    }
    *declaration = new VertexDeclaration(device, std::move(list));
    return D3D_OK;
}

HRESULT VertexDeclaration::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_IDirect3DVertexDeclaration9});
}

HRESULT VertexDeclaration::GetDevice(IDirect3DDevice9** device) {
    NVESK_ENTER("IDirect3DVertexDeclaration9::GetDevice");
    if (device == nullptr) {
        return Reject("device is null");
    }
    *device = device_;
    device_->AddRef();
    return D3D_OK;
}

HRESULT VertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) {
    NVESK_ENTER("IDirect3DVertexDeclaration9::GetDeclaration");
    if (count == nullptr) {
        return Reject("count is null");
    }
    // The count includes the end marker.
    *count = static_cast<UINT>(elements_.size() + 1);
    if (elements != nullptr) {
        std::copy(elements_.begin(), elements_.end(), elements);
        elements[elements_.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
    }
    return D3D_OK;
}

void VertexDeclaration::OnFinalRelease() {
    elements_.clear();
}

// While the application holds the declaration it holds the device; a binding holds neither.
void VertexDeclaration::OnPublicRelease() {
    device_->Release();
}

void VertexDeclaration::OnPublicRevival() {
    device_->AddRef();
}

}  // namespace nvesk::d3d9
