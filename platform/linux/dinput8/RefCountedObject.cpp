#include "RefCountedObject.h"

#include <dinput.h>

#include <memory>
#include <mutex>
#include <vector>

namespace nvesk::dinput8 {
namespace {

struct Retired {
    std::mutex mutex;
    std::vector<std::unique_ptr<RefCountedObject>> shells;
};

void Retire(RefCountedObject* object) {
    static Retired retired;
    const std::lock_guard<std::mutex> lock(retired.mutex);
    retired.shells.emplace_back(object);
}

}  // namespace

ULONG RefCountedObject::AddReference() {
    if (released_) return 0;
    return ++count_;
}

ULONG RefCountedObject::ReleaseReference() {
    if (released_) return 0;
    const ULONG count = --count_;
    if (count == 0) {
        released_ = true;
        OnFinalRelease();
        Retire(this);
    }
    return count;
}

HRESULT RefCountedObject::QueryOwnInterface(REFIID asked, REFIID own, IUnknown* self, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (released_) return DIERR_NOTINITIALIZED;
    if (asked != IID_IUnknown && asked != own) return E_NOINTERFACE;
    AddReference();
    *object = self;
    return S_OK;
}

}  // namespace nvesk::dinput8
