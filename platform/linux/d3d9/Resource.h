// The IUnknown and IDirect3DResource9 half of every resource class, written once.
#pragma once

#include <d3d9.h>

#include "LiveObject.h"
#include "ResourceCore.h"

#include <initializer_list>

namespace nvesk::d3d9 {

template <class Interface>
class Resource : public Interface, public LiveObject {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
        if (HRESULT hr = Enter("IDirect3DResource9::GetDevice"); FAILED(hr)) {
            return hr;
        }
        return core_.GetDevice(device);
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override { return IsAlive() ? core_.SetPriority(priority) : 0; }
    DWORD STDMETHODCALLTYPE GetPriority() override { return IsAlive() ? core_.GetPriority() : 0; }
    // Resources are always resident on the GL side already.
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return core_.Type(); }

    Device* OwnerDevice() const { return core_.OwnerDevice(); }
    D3DPOOL Pool() const { return core_.Pool(); }
    IUnknown* Identity() { return static_cast<IUnknown*>(static_cast<Interface*>(this)); }

protected:
    Resource(Device* device, ObjectKind kind, D3DRESOURCETYPE type, D3DPOOL pool, bool counted, bool holdsDevice)
        : LiveObject(kind, static_cast<IUnknown*>(static_cast<Interface*>(this)), counted),
          core_(device, type, pool, holdsDevice) {}

    // Hands out this object for any of `interfaces` (IUnknown is always among them).
    HRESULT QueryInterfaceAmong(REFIID riid, void** object, std::initializer_list<const IID*> interfaces) {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (!IsAlive()) {
            return D3DERR_INVALIDCALL;
        }
        if (IsEqualGUID(riid, IID_IUnknown)) {
            *object = Identity();
            AddRef();
            return S_OK;
        }
        for (const IID* candidate : interfaces) {
            if (IsEqualGUID(riid, *candidate)) {
                *object = static_cast<Interface*>(this);
                AddRef();
                return S_OK;
            }
        }
        return E_NOINTERFACE;
    }

    // Frees GL objects and memory; the detach from the device follows.
    virtual void FreeResources() = 0;

    void OnFinalRelease() override {
        FreeResources();
        core_.Detach(Identity());
    }

    ResourceCore core_;
};

}  // namespace nvesk::d3d9
