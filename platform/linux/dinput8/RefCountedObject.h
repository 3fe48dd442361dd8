// Reference counting for the DirectInput objects. After the last Release the object frees what it
// holds but its shell stays until the process ends, so a call through a stale pointer fails with
// DIERR_NOTINITIALIZED instead of touching freed memory.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <atomic>

namespace nvesk::dinput8 {

class RefCountedObject {
public:
    virtual ~RefCountedObject() = default;

protected:
    RefCountedObject() = default;

    // 0 once released: a released object does not come back.
    ULONG AddReference();
    ULONG ReleaseReference();
    bool Released() const { return released_; }
    // QueryInterface for an object with one interface besides IUnknown, `self` being that interface.
    HRESULT QueryOwnInterface(REFIID asked, REFIID own, IUnknown* self, void** object);

    // Frees what the object holds; runs once, at the last Release.
    virtual void OnFinalRelease() = 0;

private:
    std::atomic<ULONG> count_ {1};
    std::atomic<bool> released_ {false};
};

}  // namespace nvesk::dinput8
