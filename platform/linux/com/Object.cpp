#include "Object.h"

#include "Diagnostics.h"
#include "FaultInjection.h"

#include <d3d9.h>
#include <dinput.h>

#include <array>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <unordered_map>

namespace nvesk::com {
namespace {

// How many destroyed shells stay allocated so that stale calls fail cleanly.
constexpr size_t kQuarantineSize = 4096;

struct KindInfo {
    const char* interfaceName;
    HRESULT staleResult;
};

constexpr std::array<KindInfo, static_cast<size_t>(Kind::Count)> kKinds {{
    {"IDirect3D9", D3DERR_INVALIDCALL},
    {"IDirect3DDevice9", D3DERR_INVALIDCALL},
    {"IDirect3DTexture9", D3DERR_INVALIDCALL},
    {"IDirect3DCubeTexture9", D3DERR_INVALIDCALL},
    {"IDirect3DSurface9", D3DERR_INVALIDCALL},
    {"IDirect3DVertexBuffer9", D3DERR_INVALIDCALL},
    {"IDirect3DIndexBuffer9", D3DERR_INVALIDCALL},
    {"IDirect3DVertexDeclaration9", D3DERR_INVALIDCALL},
    {"ID3DXEffect", D3DERR_INVALIDCALL},
    {"ID3DXMesh", D3DERR_INVALIDCALL},
    {"ID3DXBuffer", D3DERR_INVALIDCALL},
    {"IDirectInput8W", DIERR_NOTINITIALIZED},
    {"IDirectInputDevice8W", DIERR_NOTINITIALIZED},
}};

void ReportLiveObjectsAtExit();

struct Registry {
    Registry() { std::atexit(ReportLiveObjectsAtExit); }

    std::recursive_mutex mutex;
    std::unordered_map<IUnknown*, Object*> existing;
    std::array<int, static_cast<size_t>(Kind::Count)> counts {};
    std::deque<Object*> quarantine;
    std::uint64_t nextSerial = 1;
};

Registry& TheRegistry() {
    // Never destroyed: objects may be released from static destructors of the program.
    static Registry* registry = new Registry();
    return *registry;
}

void ReportLiveObjectsAtExit() {
    if (!DebugOutputEnabled()) {
        return;
    }
    const std::string report = Object::LiveObjectReport();
    if (report.empty()) {
        return;
    }
    WriteDebugLine("objects still alive at exit:");
    size_t start = 0;
    while (start < report.size()) {
        const size_t end = report.find('\n', start);
        WriteDebugLine("  " + report.substr(start, end - start));
        start = end + 1;
    }
}

thread_local const char* innermostName = nullptr;
thread_local const char* outermostName = nullptr;

}  // namespace

const char* InterfaceName(Kind kind) {
    return kKinds[static_cast<size_t>(kind)].interfaceName;
}

HRESULT StaleCallResult(Kind kind) {
    return kKinds[static_cast<size_t>(kind)].staleResult;
}

Entry::Entry(const Object* object, const char* operation) : outer_(innermostName) {
    innermostName = operation;
    if (outer_ == nullptr) {
        outermostName = operation;
    }
    result_ = S_OK;
    if (object != nullptr && !object->IsAlive()) {
        result_ = Refuse(StaleCallResult(object->ObjectKind()), "called after the object's last Release");
        return;
    }
    HRESULT injected;
    if (TakeInjectedFailure(operation, &injected)) {
        result_ = injected;
    }
}

Entry::~Entry() {
    innermostName = outer_;
    if (outer_ == nullptr) {
        outermostName = nullptr;
    }
}

const char* CurrentOperation() {
    return innermostName;
}

const char* OutermostOperation() {
    return outermostName;
}

Object::Object(Kind kind, IUnknown* identity, bool counted, ULONG references)
    : kind_(kind), identity_(identity), counted_(counted), references_(references) {
    const char* creator = OutermostOperation();
    creator_ = creator != nullptr ? creator : "an internal call";
    Registry& registry = TheRegistry();
    std::lock_guard<std::recursive_mutex> guard(registry.mutex);
    serial_ = registry.nextSerial++;
    registry.existing[identity_] = this;
    if (counted_) {
        ++registry.counts[static_cast<size_t>(kind_)];
    }
}

Object::~Object() {
    if (!destroyed_) {
        // Never handed out (a failed creation deletes it directly) or deleted without a Retire.
        Registry& registry = TheRegistry();
        std::lock_guard<std::recursive_mutex> guard(registry.mutex);
        registry.existing.erase(identity_);
        if (counted_) {
            --registry.counts[static_cast<size_t>(kind_)];
        }
    }
}

int Object::Count(Kind kind) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::recursive_mutex> guard(registry.mutex);
    return registry.counts[static_cast<size_t>(kind)];
}

std::string Object::LiveObjectReport() {
    Registry& registry = TheRegistry();
    std::lock_guard<std::recursive_mutex> guard(registry.mutex);
    std::map<std::uint64_t, const Object*> oldestFirst;
    for (const auto& [identity, object] : registry.existing) {
        if (object->counted_) {
            oldestFirst.emplace(object->serial_, object);
        }
    }
    std::string report;
    for (const auto& [serial, object] : oldestFirst) {
        report += std::string(InterfaceName(object->kind_)) + " created by " + object->creator_ + ", " +
                  std::to_string(object->references_.load()) + " references";
        if (object->holds_ > 0) {
            report += " (and held by a binding)";
        }
        report += '\n';
    }
    return report;
}

Object* Object::FindLive(IUnknown* identity) {
    if (identity == nullptr) {
        return nullptr;
    }
    Registry& registry = TheRegistry();
    std::lock_guard<std::recursive_mutex> guard(registry.mutex);
    auto found = registry.existing.find(identity);
    return found == registry.existing.end() || !found->second->IsAlive() ? nullptr : found->second;
}

HRESULT Object::Enter(const char* operation) const {
    return Entry(this, operation).Result();
}

ULONG Object::AddReference() {
    if (!IsAlive()) {
        return 0;
    }
    return ++references_;
}

ULONG Object::ReleaseReference() {
    if (!IsAlive()) {
        return 0;
    }
    const ULONG left = --references_;
    if (left == 0) {
        if (holds_ > 0) {
            OnPublicRelease();
        } else {
            // Storage first: letting go of the device may end the device.
            OnFinalRelease();
            OnPublicRelease();
            Retire();
        }
    }
    return left;
}

void Object::Hold() {
    ++holds_;
}

void Object::DropHold() {
    if (holds_ > 0 && --holds_ == 0 && references_ == 0 && !destroyed_) {
        OnFinalRelease();
        Retire();
    }
}

void Object::HandOut() {
    if (destroyed_) {
        return;
    }
    if (references_++ == 0) {
        OnPublicRevival();
    }
}

HRESULT Object::AnswerQuery(REFIID riid, void** object, void* self, std::initializer_list<const IID*> interfaces) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!IsAlive()) {
        return Refuse(StaleCallResult(kind_), "%s::QueryInterface called after the object's last Release",
                      InterfaceName(kind_));
    }
    if (IsEqualGUID(riid, IID_IUnknown)) {
        *object = identity_;
        AddReference();
        return S_OK;
    }
    for (const IID* candidate : interfaces) {
        if (IsEqualGUID(riid, *candidate)) {
            *object = self;
            AddReference();
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

void Object::Retire() {
    if (destroyed_) {
        return;
    }
    Registry& registry = TheRegistry();
    std::lock_guard<std::recursive_mutex> guard(registry.mutex);
    registry.existing.erase(identity_);
    if (counted_) {
        --registry.counts[static_cast<size_t>(kind_)];
    }
    destroyed_ = true;
    references_ = 0;
    holds_ = 0;
    registry.quarantine.push_back(this);
    if (registry.quarantine.size() > kQuarantineSize) {
        Object* oldest = registry.quarantine.front();
        registry.quarantine.pop_front();
        delete oldest;
    }
}

}  // namespace nvesk::com
