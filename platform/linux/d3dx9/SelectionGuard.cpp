#include "SelectionGuard.h"

#include <glslang/Include/Common.h>

namespace glslang {
class TIntermediate;
class TIntermTyped;
}  // namespace glslang

// The wrapped member function, called as the free function the x86-64 ABI makes of it.
#define NVESK_ADD_SELECTION _ZN7glslang13TIntermediate12addSelectionEPNS_12TIntermTypedES2_S2_RKNS_10TSourceLocE
#define NVESK_CONCAT(a, b) a##b
#define NVESK_WRAPPED(prefix, name) NVESK_CONCAT(prefix, name)

extern "C" glslang::TIntermTyped* NVESK_WRAPPED(__real_, NVESK_ADD_SELECTION)(glslang::TIntermediate* self,
                                                                              glslang::TIntermTyped* condition,
                                                                              glslang::TIntermTyped* whenTrue,
                                                                              glslang::TIntermTyped* whenFalse,
                                                                              const glslang::TSourceLoc& location);

namespace {

struct GuardState {
    int active = 0;
    bool failed = false;
    nvesk::d3dx9::SourcePosition where;
};

thread_local GuardState g_guard;

}  // namespace

extern "C" glslang::TIntermTyped* NVESK_WRAPPED(__wrap_, NVESK_ADD_SELECTION)(glslang::TIntermediate* self,
                                                                              glslang::TIntermTyped* condition,
                                                                              glslang::TIntermTyped* whenTrue,
                                                                              glslang::TIntermTyped* whenFalse,
                                                                              const glslang::TSourceLoc& location) {
    glslang::TIntermTyped* node =
        NVESK_WRAPPED(__real_, NVESK_ADD_SELECTION)(self, condition, whenTrue, whenFalse, location);
    if (node != nullptr || g_guard.active == 0) return node;
    if (!g_guard.failed) {
        g_guard.failed = true;
        g_guard.where = {location.line, location.column > 0 ? location.column : 1};
    }
    return whenFalse != nullptr ? whenFalse : whenTrue;
}

namespace nvesk::d3dx9 {

SelectionGuard::SelectionGuard() {
    if (g_guard.active++ == 0) g_guard.failed = false;
}

SelectionGuard::~SelectionGuard() {
    --g_guard.active;
}

bool SelectionGuard::Failed(SourcePosition& where) const {
    if (g_guard.failed) where = g_guard.where;
    return g_guard.failed;
}

}  // namespace nvesk::d3dx9
