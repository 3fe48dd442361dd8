// Base of every COM object the platform layer hands out (Direct3D 9, D3DX 9, DirectInput 8):
// reference counting, the live-object registry, and safe failure for calls after the last Release.
//
// Lifetime:
// - public references are the application's (AddRef, Release, hand-outs by Get... methods);
// - private holds are a device's bindings that keep an object's storage without showing in its
//   count (stream sources, indices, declarations, the back buffer in its swap chain);
// - when the last public reference goes the object is dead to the application: every call on it
//   fails with its interface's stale-call result (StaleCallResult) and Find no longer sees it;
// - when no public reference and no hold is left, the object frees what it owns and its shell
//   stays allocated in a bounded quarantine, so a stale call finds it dead instead of touching
//   freed memory.
//
// Every method starts with NVESK_ENTER: it refuses calls on dead objects, takes injected failures
// and counts calls under the name "Interface::Method", and names the call for refusal reasons and
// for the creator the leak report shows.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include "ObjectKind.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace nvesk::com {

class Object {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // The application may call the object: it has public references and was not destroyed.
    bool IsAlive() const { return !destroyed_ && references_ > 0; }
    ULONG References() const { return references_; }
    Kind ObjectKind() const { return kind_; }

    // The object behind an interface pointer we handed out, if the application may still use it
    // and it is a T.
    template <class T>
    static T* Find(IUnknown* identity) {
        return dynamic_cast<T*>(FindLive(identity));
    }

    // Objects of a kind that exist (counted ones only: texture levels and back buffers live
    // and die with their container).
    static int Count(Kind kind);
    // One line per counted object still existing, oldest first: kind, creating call, references.
    static std::string LiveObjectReport();

    // A binding's private hold: keeps the object (not its public life) until dropped.
    void Hold();
    void DropHold();
    // Hands the object out once more (Get... of a binding): a public reference, bringing back an
    // object only bindings still held.
    void HandOut();

    // D3D_OK when a call may go on; see NVESK_ENTER.
    HRESULT Enter(const char* operation) const;

protected:
    // identity: the IUnknown of the object's main interface; references: 1 for objects created
    // for the application, 0 for those a container holds until it hands them out.
    Object(Kind kind, IUnknown* identity, bool counted, ULONG references = 1);
    virtual ~Object();

    ULONG AddReference();
    ULONG ReleaseReference();

    // Hands out this object (`self`, one of its interfaces) for any of `interfaces`; `identity`
    // for IUnknown.
    HRESULT AnswerQuery(REFIID riid, void** object, void* self, std::initializer_list<const IID*> interfaces);

    // Frees what the object owns; runs once, when no reference and no hold is left.
    virtual void OnFinalRelease() = 0;
    // The application's last reference went (after OnFinalRelease when no hold remains), and a
    // hand-out brought back an object only holds kept.
    virtual void OnPublicRelease() {}
    virtual void OnPublicRevival() {}

    // Ends the object's life now (resources already freed) and quarantines the shell.
    void Retire();

private:
    static Object* FindLive(IUnknown* identity);

    Kind kind_;
    IUnknown* identity_;
    bool counted_;
    const char* creator_;
    std::uint64_t serial_;
    bool destroyed_ = false;
    std::atomic<ULONG> references_;
    std::atomic<ULONG> holds_ {0};
};

// The COM face of an Object for one main interface.
template <class Interface>
class ComObject : public Interface, public Object {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }

    IUnknown* Identity() { return static_cast<IUnknown*>(static_cast<Interface*>(this)); }

protected:
    explicit ComObject(Kind kind, bool counted = true, ULONG references = 1)
        : Object(kind, static_cast<IUnknown*>(static_cast<Interface*>(this)), counted, references) {}

    // QueryInterface for an object answering to `interfaces` besides IUnknown.
    HRESULT QueryInterfaceAmong(REFIID riid, void** object, std::initializer_list<const IID*> interfaces) {
        return AnswerQuery(riid, object, static_cast<Interface*>(this), interfaces);
    }
};

// One entered call on this thread: the name refusals and new objects are told.
class Entry {
public:
    // `object` null for free functions (D3DXCreateEffect, DirectInput8Create, ...).
    Entry(const Object* object, const char* operation);
    ~Entry();
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    HRESULT Result() const { return result_; }

private:
    const char* outer_;  // the call this one is inside of; null for the outermost
    HRESULT result_;
};

// The innermost and outermost calls entered on this thread; null outside any.
const char* CurrentOperation();
const char* OutermostOperation();

}  // namespace nvesk::com

// The one line at the top of every method: returns the stale-call result or an injected failure
// (`orElse` for methods that return no HRESULT), otherwise the call goes on under this name.
#define NVESK_ENTER(operation) NVESK_ENTER_OR(operation, nveskEntry.Result())
#define NVESK_ENTER_OR(operation, orElse)                  \
    const ::nvesk::com::Entry nveskEntry(this, operation); \
    if (FAILED(nveskEntry.Result())) {                     \
        return orElse;                                     \
    }                                                      \
    static_assert(true, "")
// The same for free functions, which have no object to be alive.
#define NVESK_ENTER_FUNCTION(operation)                       \
    const ::nvesk::com::Entry nveskEntry(nullptr, operation); \
    if (FAILED(nveskEntry.Result())) {                        \
        return nveskEntry.Result();                           \
    }                                                         \
    static_assert(true, "")
