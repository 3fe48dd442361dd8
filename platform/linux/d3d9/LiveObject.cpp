#include "LiveObject.h"

#include "com/FaultInjection.h"

#include <d3d9.h>

#include <array>
#include <deque>
#include <memory>
#include <unordered_map>

namespace nvesk::d3d9 {
namespace {

// How many released shells stay allocated so that stale calls fail cleanly.
constexpr size_t kQuarantineSize = 4096;

struct Registry {
    std::unordered_map<IUnknown*, LiveObject*> live;
    std::array<int, static_cast<size_t>(ObjectKind::Count)> counts {};
    std::deque<LiveObject*> quarantine;
};

Registry& TheRegistry() {
    // Never destroyed: objects may be released from static destructors of the program.
    static Registry* registry = new Registry();
    return *registry;
}

}  // namespace

LiveObject::LiveObject(ObjectKind kind, IUnknown* identity, bool counted)
    : kind_(kind), identity_(identity), counted_(counted) {
    Registry& registry = TheRegistry();
    registry.live[identity_] = this;
    if (counted_) {
        ++registry.counts[static_cast<size_t>(kind_)];
    }
}

LiveObject::~LiveObject() {
    if (alive_) {
        Registry& registry = TheRegistry();
        registry.live.erase(identity_);
        if (counted_) {
            --registry.counts[static_cast<size_t>(kind_)];
        }
    }
}

int LiveObject::Count(ObjectKind kind) {
    return TheRegistry().counts[static_cast<size_t>(kind)];
}

LiveObject* LiveObject::FindLive(IUnknown* identity) {
    if (identity == nullptr) {
        return nullptr;
    }
    Registry& registry = TheRegistry();
    auto found = registry.live.find(identity);
    return found == registry.live.end() ? nullptr : found->second;
}

HRESULT LiveObject::Enter(const char* operation) const {
    if (!alive_) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT injected;
    if (com::TakeInjectedFailure(operation, &injected)) {
        return injected;
    }
    return D3D_OK;
}

ULONG LiveObject::AddReference() {
    if (!alive_) {
        return 0;
    }
    return ++references_;
}

ULONG LiveObject::ReleaseReference() {
    if (!alive_ || references_ == 0) {
        return 0;
    }
    if (--references_ == 0) {
        OnFinalRelease();
        Retire();
    }
    return references_;
}

void LiveObject::Retire() {
    if (!alive_) {
        return;
    }
    Registry& registry = TheRegistry();
    registry.live.erase(identity_);
    if (counted_) {
        --registry.counts[static_cast<size_t>(kind_)];
    }
    alive_ = false;
    references_ = 0;
    registry.quarantine.push_back(this);
    if (registry.quarantine.size() > kQuarantineSize) {
        LiveObject* oldest = registry.quarantine.front();
        registry.quarantine.pop_front();
        delete oldest;
    }
}

}  // namespace nvesk::d3d9
