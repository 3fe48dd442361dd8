// IUnknown: reference counting and interface queries, the base of every COM interface.
#pragma once

#include "guiddef.h"
#include "windef.h"
#include "winerror.h"

// {00000000-0000-0000-C000-000000000046}
DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    // Objects are destroyed by Release, never through an interface pointer.
    ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;
