// COM reference counting for the D3DX objects: created with one reference, destroyed by the
// Release that takes the count to zero.
#pragma once

#include <unknwn.h>

#include <atomic>
#include <initializer_list>

namespace nvesk::d3dx9 {

template <typename Interface>
class ReferenceCounted : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ReferenceCounted() = default;
    virtual ~ReferenceCounted() = default;

    // QueryInterface for an object that answers to `Interface` and the IIDs given.
    HRESULT Answer(REFIID riid, void** object, std::initializer_list<const IID*> iids) {
        if (object == nullptr) return E_POINTER;
        for (const IID* iid : iids) {
            if (IsEqualGUID(riid, *iid)) {
                *object = static_cast<Interface*>(this);
                AddRef();
                return S_OK;
            }
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::atomic<ULONG> references_ {1};
};

}  // namespace nvesk::d3dx9
