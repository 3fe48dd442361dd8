// Base of every Direct3D object we hand out: COM reference counting, the live-object counts,
// and safe failure for calls on an object after its last Release.
//
// A released object frees its resources at once but its shell stays allocated for a while
// (a bounded quarantine), so a stale call finds it dead and fails with D3DERR_INVALIDCALL
// instead of touching freed memory, as the debug runtime reports such calls.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include "ObjectKind.h"

namespace nvesk::d3d9 {

class LiveObject {
public:
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;

    bool IsAlive() const { return alive_; }
    ULONG References() const { return references_; }

    // The object behind an interface pointer we handed out, if it is still alive and is a T.
    template <class T>
    static T* Find(IUnknown* identity) {
        return dynamic_cast<T*>(FindLive(identity));
    }

    // Live objects of a kind (counted ones only).
    static int Count(ObjectKind kind);

protected:
    // identity: the IUnknown of the object's main interface; counted: whether the object shows
    // in the live counts (texture levels live and die with their texture and are not).
    LiveObject(ObjectKind kind, IUnknown* identity, bool counted);
    virtual ~LiveObject();

    // D3D_OK when the call may go on: the object is alive and no failure is injected into
    // `operation` (for example "IDirect3DDevice9::CreateTexture").
    HRESULT Enter(const char* operation) const;

    ULONG AddReference();
    ULONG ReleaseReference();

    // Frees what the object owns; runs once, when the last reference goes.
    virtual void OnFinalRelease() = 0;

    // Ends the object's life now (resources already freed) and quarantines the shell.
    void Retire();

private:
    static LiveObject* FindLive(IUnknown* identity);

    ObjectKind kind_;
    IUnknown* identity_;
    bool counted_;
    bool alive_ = true;
    ULONG references_ = 1;
};

}  // namespace nvesk::d3d9
